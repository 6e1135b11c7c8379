#include "platform/process.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_lean.h"

namespace vtl::platform {

// The process and thread handles are closed at once: the system neither waits for the
// program nor watches it, and nothing is left to reap.
bool launch_detached(const std::string& path) {
    std::wstring application = utf8_to_wide(path);
    if (application.empty()) return false;
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created;
    ZeroMemory(&created, sizeof created);
    if (!CreateProcessW(application.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &created))
        return false;
    CloseHandle(created.hProcess);
    CloseHandle(created.hThread);
    return true;
}

} // namespace vtl::platform
