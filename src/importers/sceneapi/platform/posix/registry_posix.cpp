#include "platform/registry.h"

#include "platform/registry_records.h"

#include "platform/posix/unique_fd.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

// The installation records are kept in text files in the registry export format, one file per
// root, so that an installer or an administrator can write them and a person can read them:
//
//     Windows Registry Editor Version 5.00
//
//     [HKEY_CURRENT_USER\SOFTWARE\Vantel\Photara 8]
//     "BinName"="/opt/photara8/bin/photara"
//     "LiveLinkPort"=dword:00002328
//
// The format is read by registry_records.cpp. Key and value names compare case-insensitively,
// as in the registry; a key exists when a section names it or a key below it. The file is read
// once per store
// (RegistryStore::load), so that it may change while the process runs and one lookup still
// sees one version of it. Only a regular file is read: a file that is missing, cannot be read,
// is larger than 16 MiB, or is a folder, a named pipe or a device is an empty root.

namespace vtl::platform {

namespace {

constexpr off_t kRecordFileMaxBytes = 16 * 1024 * 1024;
constexpr char kKeySeparator = '\\';

// Returns the variable's value; empty when it is not set.
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Returns the path of the record file of a root; empty when there is none.
std::string record_file(RegistryRoot root) {
    if (root == RegistryRoot::local_machine) {
        std::string path = environment("SCENEAPI_HKLM_REG");
        return path.empty() ? std::string("/etc/vantel/registry.reg") : path;
    }
    std::string path = environment("SCENEAPI_HKCU_REG");
    if (!path.empty()) return path;
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') {
        std::string home = environment("HOME");
        if (home.empty()) return std::string();
        config = home + "/.config";
    }
    return config + "/vantel/registry.reg";
}

// Returns the key path without the separators that end it.
std::string strip_trailing_separators(std::string path) {
    while (!path.empty() && path.back() == kKeySeparator)
        path.pop_back();
    return path;
}

// Appends one code point as UTF-8.
void append_utf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Returns UTF-16LE bytes (after their byte order mark) as UTF-8; unpaired surrogates become
// U+FFFD.
std::string utf16le_to_utf8(const std::string& bytes, std::size_t start) {
    std::string out;
    std::size_t i = start;
    auto unit_at = [&bytes](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    while (i + 1 < bytes.size()) {
        std::uint32_t unit = unit_at(i);
        i += 2;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < bytes.size()) {
            std::uint32_t low = unit_at(i);
            if (low >= 0xDC00 && low < 0xE000) {
                i += 2;
                append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                continue;
            }
        }
        append_utf8(out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return out;
}

// Returns the record file's text as UTF-8; regedit writes UTF-16LE with a byte order mark.
// Only a regular file is read; the result tells what became of the file.
RegistryStore::State read_record_file(const std::string& path, std::string& text) {
    using State = RegistryStore::State;
    if (path.empty()) return State::missing;
    // The type is asked before opening, so that opening a device has no effect, and again
    // after it (non-blocking, so that a named pipe put in its place does not hold us up).
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? State::missing : State::unreadable;
    if (!S_ISREG(info.st_mode)) return State::not_regular_file;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return errno == ENOENT || errno == ENOTDIR ? State::missing : State::unreadable;
    if (::fstat(fd.get(), &info) != 0) return State::unreadable;
    if (!S_ISREG(info.st_mode)) return State::not_regular_file;
    if (info.st_size > kRecordFileMaxBytes) return State::unreadable;

    std::string bytes;
    char chunk[64 * 1024];
    for (;;) {
        ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return State::unreadable;
        if (got == 0) break;
        bytes.append(chunk, static_cast<std::size_t>(got));
        if (bytes.size() > static_cast<std::size_t>(kRecordFileMaxBytes)) return State::unreadable;
    }
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        text = utf16le_to_utf8(bytes, 2);
    } else {
        if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
        text = std::move(bytes);
    }
    return State::read;
}

// Returns the number of UTF-16 units the UTF-8 text takes.
std::size_t utf16_length(const std::string& text) {
    std::size_t units = 0;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) == 0x80) continue; // continuation byte
        units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

} // namespace

struct RegistryKey::Data {
    enum class Type { text, number };
    struct Value {
        Type type;
        std::string text;
        std::uint32_t number;
    };
    std::map<std::string, Value> values; // by case-folded name
    std::vector<std::string> subkeys;    // names as first written
};

struct RegistryStore::Data {
    // One key named by sections, with the values of all its sections.
    struct Key {
        std::string path; // as first written, without trailing separators
        RegistryKey::Data values;
    };
    RegistryRoot root = RegistryRoot::current_user;
    std::string location;
    State state = State::missing;
    std::map<std::string, Key> keys; // by case-folded path
};

namespace {

// Keeps the sections of the root out of the record file's text; a key named by several sections
// holds the values of all of them, the later line of a name winning.
void parse_records(const std::string& text, RegistryStore::Data& store) {
    for (RegistrySection& section : parse_registry_records(text, store.root)) {
        RegistryStore::Data::Key& key = store.keys[fold_registry_case(section.path)];
        if (key.path.empty()) key.path = section.path;
        for (RegistryValue& value : section.values) {
            std::string name = fold_registry_case(value.name);
            if (value.type == RegistryValue::Type::removed)
                key.values.values.erase(name);
            else
                key.values.values[name] = {value.type == RegistryValue::Type::number
                                               ? RegistryKey::Data::Type::number
                                               : RegistryKey::Data::Type::text,
                                           std::move(value.text), value.number};
        }
    }
}

} // namespace

RegistryKey::RegistryKey() noexcept = default;
RegistryKey::RegistryKey(std::unique_ptr<Data> data) noexcept : data_(std::move(data)) {}
RegistryKey::RegistryKey(RegistryKey&& other) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept = default;
RegistryKey::~RegistryKey() = default;

void RegistryKey::close() noexcept {
    data_.reset();
}

RegistryKey RegistryKey::open(RegistryRoot root, const std::string& path) {
    return RegistryStore::load(root).open(path);
}

bool RegistryKey::read_text(const std::string& name, std::size_t max_bytes,
                            std::string& out) const {
    if (!data_) return false;
    auto found = data_->values.find(fold_registry_case(name));
    if (found == data_->values.end() || found->second.type != Data::Type::text) return false;
    // The same limit as a UTF-16 buffer of max_bytes, terminator included.
    if ((utf16_length(found->second.text) + 1) * 2 > max_bytes) return false;
    out = found->second.text;
    return true;
}

bool RegistryKey::read_number(const std::string& name, std::uint32_t& out) const {
    if (!data_) return false;
    auto found = data_->values.find(fold_registry_case(name));
    if (found == data_->values.end() || found->second.type != Data::Type::number) return false;
    out = found->second.number;
    return true;
}

std::vector<std::string> RegistryKey::subkey_names() const {
    return data_ ? data_->subkeys : std::vector<std::string>();
}

RegistryStore::RegistryStore(std::unique_ptr<Data> data) noexcept : data_(std::move(data)) {}
RegistryStore::RegistryStore(RegistryStore&& other) noexcept = default;
RegistryStore& RegistryStore::operator=(RegistryStore&& other) noexcept = default;
RegistryStore::~RegistryStore() = default;

RegistryStore RegistryStore::load(RegistryRoot root) {
    auto data = std::make_unique<Data>();
    data->root = root;
    data->location = record_file(root);
    std::string text;
    data->state = read_record_file(data->location, text);
    if (data->state == State::read) parse_records(text, *data);
    return RegistryStore(std::move(data));
}

RegistryKey RegistryStore::open(const std::string& path) const {
    if (!data_) return RegistryKey();
    const std::string wanted = fold_registry_case(strip_trailing_separators(path));
    // Keys below the one wanted sort right after this prefix; their names are the next part.
    const std::string prefix = wanted.empty() ? std::string() : wanted + kKeySeparator;
    auto data = std::make_unique<RegistryKey::Data>();
    bool exists = wanted.empty();
    auto named = data_->keys.find(wanted);
    if (named != data_->keys.end()) {
        exists = true;
        *data = named->second.values;
    }
    std::set<std::string> seen;
    for (auto below = data_->keys.lower_bound(prefix);
         below != data_->keys.end() && below->first.compare(0, prefix.size(), prefix) == 0;
         ++below) {
        if (below->first.size() == prefix.size()) continue; // the key itself, when at the root
        exists = true;                                      // a key below the one wanted implies it
        std::size_t end = below->first.find(kKeySeparator, prefix.size());
        if (end == std::string::npos) end = below->first.size();
        if (end == prefix.size()) continue; // an empty part between two separators
        if (seen.insert(below->first.substr(prefix.size(), end - prefix.size())).second)
            data->subkeys.push_back(below->second.path.substr(prefix.size(), end - prefix.size()));
    }
    if (!exists) return RegistryKey();
    return RegistryKey(std::move(data));
}

RegistryRoot RegistryStore::root() const noexcept {
    return data_->root;
}

const std::string& RegistryStore::location() const noexcept {
    return data_->location;
}

RegistryStore::State RegistryStore::state() const noexcept {
    return data_->state;
}

} // namespace vtl::platform
