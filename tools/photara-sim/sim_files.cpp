#include "sim_protocol.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include "platform/win32/wide_text.h"

#include <cwchar>
#include <system_error>
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <unistd.h>
#endif

namespace photara_sim {

namespace {

// The path of a UTF-8 file name.
std::filesystem::path file_path(const std::string& path) {
    return std::filesystem::u8path(path);
}

} // namespace

#ifdef _WIN32
// The variable's value as UTF-8: the Windows environment holds UTF-16 text.
std::string environment(const char* name) {
    const std::wstring wide_name = vtl::platform::utf8_to_wide(name);
    const wchar_t* value = wide_name.empty() ? nullptr : ::_wgetenv(wide_name.c_str());
    return value ? vtl::platform::wide_to_utf8(value, std::wcslen(value)) : "";
}

// The user's temporary folder holds the instances of all the user's sessions.
std::string instances_folder() {
    std::string folder = environment(kInstancesVariable);
    if (!folder.empty()) return folder;
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) return "";
    return (temporary / "photara-sim").u8string();
}
#else
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string instances_folder() {
    std::string folder = environment(kInstancesVariable);
    if (!folder.empty()) return folder;
    folder = environment(kTemporaryFolderVariable);
    if (folder.empty()) folder = kDefaultTemporaryFolder;
    return folder + kDefaultInstancesFolder + std::to_string(::getuid());
}
#endif

bool read_whole_file(const std::string& path, std::string& out) {
    std::ifstream in(file_path(path), std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

bool replace_file(const std::string& path, const std::string& content) {
    const std::string pending = path + kPendingSuffix;
    {
        std::ofstream out(file_path(pending), std::ios::binary | std::ios::trunc);
        if (!(out << content) || !out.flush()) return false;
    }
    return std::rename(pending.c_str(), path.c_str()) == 0;
}

#ifdef _WIN32
bool process_alive(long long process_id) {
    if (process_id <= 0 || process_id > MAXDWORD) return false;
    HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process_id));
    if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
    DWORD exit_code = 0;
    const bool running = ::GetExitCodeProcess(process, &exit_code) && exit_code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}
#else
bool process_alive(long long process_id) {
    if (process_id <= 0) return false;
    return ::kill(static_cast<pid_t>(process_id), 0) == 0 || errno == EPERM;
}
#endif

} // namespace photara_sim
