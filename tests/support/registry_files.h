#pragma once
// Installation records for a test: a temporary folder whose user.reg and machine.reg the library
// reads instead of the system's records while this object lives.

#include "support/temp_folder.h"

#include <stdlib.h>
#include <string>
#ifdef _WIN32
#include "support/windows_registry.h"
#endif

namespace test_support {

inline constexpr const char* kRegistryHeader = "Windows Registry Editor Version 5.00\n\n";

// A text value of a registry key, or "<unread>" when the key refuses it (`limit` counts the
// bytes of the text and its terminator as UTF-16).
template <typename Key>
std::string text_of(const Key& key, const std::string& name, std::size_t limit = 2048) {
    std::string value = "<unread>";
    key.read_text(name, limit, value);
    return value;
}

#ifdef _WIN32
// On Windows the library reads the registry itself: the same records are written into it (under
// the test program's private Wine prefix) and removed again when this object goes. The files
// are written as well, for tests that look at them.
class RegistryFiles {
public:
    RegistryFiles() { clear_test_records(); }
    ~RegistryFiles() { clear_test_records(); }
    RegistryFiles(const RegistryFiles&) = delete;
    RegistryFiles& operator=(const RegistryFiles&) = delete;

    void write_user(const std::string& body) {
        folder.write("user.reg", kRegistryHeader + body);
        replace_records(HKEY_CURRENT_USER, body);
    }
    void write_machine(const std::string& body) {
        folder.write("machine.reg", kRegistryHeader + body);
        replace_records(HKEY_LOCAL_MACHINE, body);
    }

    TempFolder folder;
};
#else

class RegistryFiles {
public:
    RegistryFiles() {
        ::setenv("SCENEAPI_HKCU_REG", folder.file("user.reg").c_str(), 1);
        ::setenv("SCENEAPI_HKLM_REG", folder.file("machine.reg").c_str(), 1);
    }
    ~RegistryFiles() {
        ::unsetenv("SCENEAPI_HKCU_REG");
        ::unsetenv("SCENEAPI_HKLM_REG");
    }
    RegistryFiles(const RegistryFiles&) = delete;
    RegistryFiles& operator=(const RegistryFiles&) = delete;

    // Writes the records under the current user and the local machine, after the header line.
    void write_user(const std::string& body) { folder.write("user.reg", kRegistryHeader + body); }
    void write_machine(const std::string& body) {
        folder.write("machine.reg", kRegistryHeader + body);
    }

    TempFolder folder;
};
#endif

} // namespace test_support
