#pragma once
// Records in the registry export format, written into the Windows registry for a test: the
// well-formed lines of a section "[HKEY_...\\path]" with "name"="text" and "name"=dword:hex values
// (malformed lines are left out, as the record file reader leaves them out).
#ifdef _WIN32

#include "platform/win32/windows_lean.h"

#include <cctype>
#include <sstream>
#include <string>

namespace test_support {

// The keys the tests record under; removed before and after each test.
inline const wchar_t* const kTestRecordKeys[] = {L"SOFTWARE\\Vantel", L"K", L"C", L"H"};

inline std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int units =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), units);
    return text;
}

inline void clear_records(HKEY root) {
    for (const wchar_t* key : kTestRecordKeys)
        RegDeleteTreeW(root, key), RegDeleteKeyW(root, key);
}

inline void clear_test_records() {
    clear_records(HKEY_CURRENT_USER);
    clear_records(HKEY_LOCAL_MACHINE);
}

// Reads a quoted text starting at text[at] == '"'; false when it is not well formed.
inline bool quoted(const std::string& text, std::size_t& at, std::string& out) {
    if (at >= text.size() || text[at] != '"') return false;
    out.clear();
    for (++at; at < text.size(); ++at) {
        char c = text[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c == '\\') {
            if (++at >= text.size() || (text[at] != '"' && text[at] != '\\')) return false;
            c = text[at];
        }
        out += c;
    }
    return false;
}

// Replaces the test records of a root by the sections of body that belong to it.
inline void replace_records(HKEY root, const std::string& body) {
    clear_records(root);
    const std::string own = root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
    std::istringstream lines(body);
    std::string line;
    HKEY key = nullptr;
    auto close = [&key] {
        if (key) RegCloseKey(key);
        key = nullptr;
    };
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            close();
            if (line.back() != ']') continue;
            std::string path = line.substr(1, line.size() - 2);
            std::string upper = path.substr(0, own.size());
            for (char& c : upper)
                c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
            if (upper != own || (path.size() > own.size() && path[own.size()] != '\\')) continue;
            std::string sub = path.size() > own.size() ? path.substr(own.size() + 1) : "";
            RegCreateKeyExW(root, wide(sub).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr);
            continue;
        }
        if (!key) continue;
        std::size_t at = 0;
        std::string name;
        if (line[0] == '@') {
            at = 1;
        } else if (!quoted(line, at, name)) {
            continue;
        }
        if (at >= line.size() || line[at] != '=') continue;
        ++at;
        std::string text;
        if (line.compare(at, 6, "dword:") == 0) {
            std::string digits = line.substr(at + 6);
            if (digits.empty() || digits.size() > 8 ||
                digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                continue;
            DWORD value = static_cast<DWORD>(std::stoul(digits, nullptr, 16));
            RegSetValueExW(key, wide(name).c_str(), 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&value), sizeof value);
        } else if (line.compare(at, std::string::npos, "-") == 0) {
            RegDeleteValueW(key, wide(name).c_str());
        } else if (quoted(line, at, text) && at == line.size()) {
            std::wstring value = wide(text);
            RegSetValueExW(key, wide(name).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        }
    }
    close();
}

} // namespace test_support

#endif
