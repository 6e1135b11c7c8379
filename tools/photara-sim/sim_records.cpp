#include "sim_records.h"

#include "platform/registry.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace photara_sim {

namespace {

// The installation record's names, as the library's installation records read them.
constexpr const char* kVersionKeyPrefix = "SOFTWARE\\Vantel\\Photara ";
constexpr const char* kBinNameValue = "BinName";
constexpr const char* kResourceFolderValue = "ResourceFolder";
constexpr const char* kHeaderLine = "Windows Registry Editor Version 5.00";
constexpr const char* kRootName = "HKEY_CURRENT_USER";
// The longest record text read back.
constexpr std::size_t kTextLimit = 2048;

// The running executable, with links resolved; empty when it cannot be found.
std::filesystem::path own_executable() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}

// The version key of a major version under `root`; not open when there is none.
vtl::platform::RegistryKey version_key(vtl::platform::RegistryRoot root, int major) {
    return vtl::platform::RegistryKey::open(root, kVersionKeyPrefix + std::to_string(major));
}

// True when the key's "BinName" is the executable `self`.
bool names(const vtl::platform::RegistryKey& key, const std::filesystem::path& self) {
    std::string bin_name;
    std::error_code error;
    return key.read_text(kBinNameValue, kTextLimit, bin_name) &&
           std::filesystem::equivalent(bin_name, self, error);
}

// Reads a port stored as a 32-bit number or as decimal text; false when it is missing.
bool read_port(const vtl::platform::RegistryKey& key, const char* name, int& port) {
    std::uint32_t number = 0;
    std::string text;
    if (key.read_number(name, number)) {
        port = static_cast<int>(number);
        return true;
    }
    if (!key.read_text(name, kTextLimit, text)) return false;
    port = static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
    return true;
}

// Returns the text with ASCII letters in lower case.
std::string folded(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Returns the line without blanks, tabs and carriage returns around it.
std::string trimmed(const std::string& line) {
    const char* blanks = " \t\r";
    const std::size_t first = line.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return line.substr(first, line.find_last_not_of(blanks) - first + 1);
}

// Returns a text quoted as a record file keeps it: "\\" and "\"" escaped.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Returns the major version a section line names as a version key of the current user; -1 for
// any other line.
int section_major(const std::string& line) {
    std::string text = trimmed(line);
    if (text.size() < 2 || text.front() != '[' || text.back() != ']') return -1;
    text = folded(text.substr(1, text.size() - 2));
    while (!text.empty() && text.back() == '\\')
        text.pop_back();
    const std::string key = folded(kVersionKeyPrefix);
    for (const std::string& root : {folded(kRootName), std::string("hkcu")}) {
        const std::string prefix = root + "\\" + key;
        if (text.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = text.substr(prefix.size());
        if (digits.empty() || digits.size() > 9 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        return std::stoi(digits);
    }
    return -1;
}

// Reads the "BinName" text of a value line; false when the line holds another value.
bool bin_name_of(const std::string& line, std::string& out) {
    const std::string text = trimmed(line);
    const std::string name = std::string("\"") + kBinNameValue + "\"";
    if (folded(text.substr(0, name.size())) != folded(name)) return false;
    std::size_t at = text.find('=', name.size());
    if (at == std::string::npos) return false;
    at = text.find('"', at);
    if (at == std::string::npos) return false;
    std::string value;
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            out = value;
            return true;
        }
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        value += text[i];
    }
    return false;
}

// One part of a record file: a section with its lines, or the lines before the first section.
struct Part {
    int major = -1; // the version key of the current user this part is; -1 for anything else
    std::vector<std::string> lines;
};

// Splits a record file's text into its parts.
std::vector<Part> parts_of(const std::string& text) {
    std::vector<Part> parts(1);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!trimmed(line).empty() && trimmed(line)[0] == '[') {
            parts.emplace_back();
            parts.back().major = section_major(line);
        }
        parts.back().lines.push_back(line);
    }
    return parts;
}

// Reads the file; a missing file is empty. False with the reason when it cannot be read or is
// not a text this program can rewrite.
bool read_records(const std::string& file, std::string& text, std::string& error) {
    std::error_code code;
    if (!std::filesystem::exists(file, code)) {
        text.clear();
        return true;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot read \"" + file + "\": " + std::strerror(errno);
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    if (text.size() >= 2 && text[0] == '\xFF' && text[1] == '\xFE') {
        error = "\"" + file + "\" is UTF-16 text; save it as UTF-8 first";
        return false;
    }
    return true;
}

// Replaces the file with the text (written aside, then renamed), creating its folder.
bool write_records(const std::string& file, const std::string& text, std::string& error) {
    std::error_code code;
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, code);
    const std::string pending = file + ".pending-" + std::to_string(::getpid());
    {
        std::ofstream out(pending, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            error = "cannot write \"" + pending + "\": " + std::strerror(errno);
            std::remove(pending.c_str());
            return false;
        }
    }
    if (std::rename(pending.c_str(), file.c_str()) != 0) {
        error = "cannot replace \"" + file + "\": " + std::strerror(errno);
        std::remove(pending.c_str());
        return false;
    }
    return true;
}

// Returns the parts joined back into a file's text; a file without the header line gets one.
std::string text_of(const std::vector<Part>& parts) {
    std::string text;
    for (const Part& part : parts)
        for (const std::string& line : part.lines)
            text += line + "\n";
    if (text.find(kHeaderLine) == std::string::npos)
        text = std::string(kHeaderLine) + "\n\n" + text;
    return text;
}

std::string key_name(int major) {
    return std::string(kRootName) + "\\" + kVersionKeyPrefix + std::to_string(major);
}

} // namespace

bool find_own_installation(Installation& out) {
    const std::filesystem::path self = own_executable();
    if (self.empty()) return false;
    for (vtl::platform::RegistryRoot root :
         {vtl::platform::RegistryRoot::current_user, vtl::platform::RegistryRoot::local_machine}) {
        for (int version = 99; version >= 1; --version) {
            const vtl::platform::RegistryKey key = version_key(root, version);
            if (!names(key, self)) continue;
            out = Installation{};
            out.version = version;
            if (read_port(key, "LiveLinkPort", out.lowest_port) &&
                !read_port(key, "LiveLinkMaxPort", out.highest_port))
                out.highest_port = out.lowest_port;
            return true;
        }
    }
    return false;
}

bool own_record(int major, StandInRecord& out) {
    const std::filesystem::path self = own_executable();
    if (self.empty()) return false;
    out.major = major;
    out.bin_name = self.string();
    out.bin_folder = self.parent_path().string();
    // "resources" beside the program folder; where the user cannot write (an installed
    // package), "vantel/photara-sim" in the user's state folder.
    const std::filesystem::path beside = self.parent_path().parent_path();
    const std::filesystem::path resources = beside / "resources";
    std::error_code ignored;
    if (::access(std::filesystem::exists(resources, ignored) ? resources.c_str() : beside.c_str(),
                 W_OK) == 0) {
        out.resource_folder = resources.string();
        return true;
    }
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    if (state && state[0] == '/')
        out.resource_folder = std::string(state) + "/vantel/photara-sim";
    else if (home && home[0] == '/')
        out.resource_folder = std::string(home) + "/.local/state/vantel/photara-sim";
    else
        out.resource_folder = resources.string();
    return true;
}

std::string default_record_file() {
    return vtl::platform::RegistryStore::load(vtl::platform::RegistryRoot::current_user).location();
}

std::string recorded_resource_folder(int major) {
    StandInRecord self;
    if (!own_record(major, self)) return std::string();
    for (vtl::platform::RegistryRoot root :
         {vtl::platform::RegistryRoot::current_user, vtl::platform::RegistryRoot::local_machine}) {
        const vtl::platform::RegistryKey key = version_key(root, major);
        std::string folder;
        if (names(key, self.bin_name) && key.read_text(kResourceFolderValue, kTextLimit, folder))
            return folder;
    }
    return std::string();
}

std::string record_text(const StandInRecord& record) {
    return "[" + key_name(record.major) + "]\n" + "\"" + kBinNameValue +
           "\"=" + quoted(record.bin_name) + "\n\"BinFolder\"=" + quoted(record.bin_folder) +
           "\n\"" + kResourceFolderValue + "\"=" + quoted(record.resource_folder) + "\n";
}

bool write_record(const std::string& file, const StandInRecord& record, std::string& error) {
    std::string text;
    if (!read_records(file, text, error)) return false;
    std::vector<Part> parts = parts_of(text);
    std::vector<Part> kept;
    for (Part& part : parts)
        if (part.major != record.major) kept.push_back(std::move(part));
    // The new key goes last, after one empty line.
    if (!kept.back().lines.empty() && !trimmed(kept.back().lines.back()).empty())
        kept.back().lines.emplace_back();
    Part key;
    std::istringstream lines(record_text(record));
    for (std::string line; std::getline(lines, line);)
        key.lines.push_back(line);
    kept.push_back(std::move(key));
    std::error_code code;
    std::filesystem::create_directories(record.resource_folder, code);
    if (code) {
        error = "cannot create \"" + record.resource_folder + "\": " + code.message();
        return false;
    }
    return write_records(file, text_of(kept), error);
}

bool remove_records(const std::string& file, const std::string& bin_name, int major,
                    std::string& removed, std::string& error) {
    std::string text;
    if (!read_records(file, text, error)) return false;
    if (text.empty()) return true;
    std::vector<Part> kept;
    bool changed = false;
    for (Part& part : parts_of(text)) {
        bool ours = false;
        if (part.major > 0 && (major <= 0 || part.major == major)) {
            std::string named;
            for (const std::string& line : part.lines)
                if (bin_name_of(line, named)) {
                    std::error_code code;
                    ours = named == bin_name || std::filesystem::equivalent(named, bin_name, code);
                }
        }
        if (ours) {
            removed += (removed.empty() ? "" : ", ") + key_name(part.major);
            changed = true;
        } else {
            kept.push_back(std::move(part));
        }
    }
    return !changed || write_records(file, text_of(kept), error);
}

} // namespace photara_sim
