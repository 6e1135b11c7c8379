#pragma once
// Records in the registry export format, written into the Windows registry for a test: the
// sections and values the record file reader takes from the text.
#ifdef _WIN32

#include "platform/registry_records.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_lean.h"

#include <string>

namespace test_support {

// The keys the tests record under; removed before and after each test.
inline const wchar_t* const kTestRecordKeys[] = {L"SOFTWARE\\Vantel", L"K", L"C", L"H"};

inline void clear_records(HKEY root) {
    for (const wchar_t* key : kTestRecordKeys)
        RegDeleteTreeW(root, key), RegDeleteKeyW(root, key);
}

inline void clear_test_records() {
    clear_records(HKEY_CURRENT_USER);
    clear_records(HKEY_LOCAL_MACHINE);
}

// Replaces the test records of a root by the sections of body that belong to it.
inline void replace_records(HKEY root, const std::string& body) {
    using vtl::platform::RegistryValue;
    using vtl::platform::utf8_to_wide;
    clear_records(root);
    for (const vtl::platform::RegistrySection& section : vtl::platform::parse_registry_records(
             body, root == HKEY_CURRENT_USER ? vtl::platform::RegistryRoot::current_user
                                             : vtl::platform::RegistryRoot::local_machine)) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(root, utf8_to_wide(section.path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            continue;
        for (const RegistryValue& value : section.values) {
            const std::wstring name = utf8_to_wide(value.name);
            const std::wstring text = utf8_to_wide(value.text);
            if (value.type == RegistryValue::Type::removed)
                RegDeleteValueW(key, name.c_str());
            else if (value.type == RegistryValue::Type::number)
                RegSetValueExW(key, name.c_str(), 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&value.number), sizeof value.number);
            else
                RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        }
        RegCloseKey(key);
    }
}

} // namespace test_support

#endif
