#include "platform/registry_records.h"

#include <sstream>

// A section names a key by its root and path; the lines after it are its values: a quoted text
// (with "\\" and "\"" escapes), a 32-bit number "dword:" in hexadecimal, or "-" to remove the
// value. "@" names the default value. Blanks around a line and around its "=" are ignored.

namespace vtl::platform {

namespace {

constexpr const char* kCurrentUserNames[] = {"hkey_current_user", "hkcu"};
constexpr const char* kLocalMachineNames[] = {"hkey_local_machine", "hklm"};

// Returns the line without blanks, tabs and carriage returns around it.
std::string trim(const std::string& line) {
    const char* blanks = " \t\r";
    std::size_t first = line.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    std::size_t last = line.find_last_not_of(blanks);
    return line.substr(first, last - first + 1);
}

// Reads a quoted text starting at line[at] == '"'; at ends after the closing quote.
bool parse_quoted(const std::string& line, std::size_t& at, std::string& out) {
    if (at >= line.size() || line[at] != '"') return false;
    std::string text;
    for (std::size_t i = at + 1; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            out = text;
            at = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= line.size()) return false;
            char escaped = line[++i];
            if (escaped != '\\' && escaped != '"') return false;
            text += escaped;
        } else {
            text += c;
        }
    }
    return false; // no closing quote
}

// Reads 1 to 8 hexadecimal digits that make up the whole text.
bool parse_hex_number(const std::string& digits, std::uint32_t& out) {
    if (digits.empty() || digits.size() > 8) return false;
    std::uint32_t value = 0;
    for (char c : digits) {
        std::uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return false;
        value = value << 4 | digit;
    }
    out = value;
    return true;
}

// Reads one value line ("name"=data); false when it does not fit.
bool parse_value_line(const std::string& line, RegistryValue& value) {
    std::size_t at = 0;
    if (line[0] == '@') {
        at = 1;
    } else if (!parse_quoted(line, at, value.name)) {
        return false;
    }
    std::string rest = trim(line.substr(at));
    if (rest.empty() || rest[0] != '=') return false;
    rest = trim(rest.substr(1));
    if (rest == "-") {
        value.type = RegistryValue::Type::removed;
        return true;
    }
    if (!rest.empty() && rest[0] == '"') {
        std::size_t end = 0;
        return parse_quoted(rest, end, value.text) && trim(rest.substr(end)).empty();
    }
    value.type = RegistryValue::Type::number;
    return fold_registry_case(rest.substr(0, 6)) == "dword:" &&
           parse_hex_number(rest.substr(6), value.number);
}

// Splits a section name into its root and key path; false when the root is unknown.
bool parse_section(const std::string& section, RegistryRoot& root, std::string& path) {
    std::size_t separator = section.find('\\');
    std::string root_name = fold_registry_case(section.substr(0, separator));
    path = separator == std::string::npos ? std::string() : section.substr(separator + 1);
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    for (const char* name : kCurrentUserNames)
        if (root_name == name) {
            root = RegistryRoot::current_user;
            return true;
        }
    for (const char* name : kLocalMachineNames)
        if (root_name == name) {
            root = RegistryRoot::local_machine;
            return true;
        }
    return false;
}

} // namespace

std::string fold_registry_case(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::vector<RegistrySection> parse_registry_records(const std::string& text, RegistryRoot root) {
    std::vector<RegistrySection> sections;
    bool in_root = false; // whether the value lines belong to the last section
    std::istringstream lines(text);
    std::string raw;
    while (std::getline(lines, raw)) {
        std::string line = trim(raw);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            in_root = false;
            if (line.size() < 2 || line.back() != ']' || line[1] == '-') continue;
            RegistryRoot section_root;
            RegistrySection section;
            if (!parse_section(line.substr(1, line.size() - 2), section_root, section.path) ||
                section_root != root)
                continue;
            sections.push_back(std::move(section));
            in_root = true;
            continue;
        }
        RegistryValue value;
        if (in_root && parse_value_line(line, value))
            sections.back().values.push_back(std::move(value));
    }
    return sections;
}

} // namespace vtl::platform
