// A program for the Win32 launch tests: writes one line into the file HANDLE_REPORT_FILE names,
// "ran N handle H": N, the number of arguments after the program's name in its command line;
// H, 1 when the handle whose number HANDLE_REPORT_PROBE gives is a file handle of this process
// (inherited from the caller), else 0.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    const char* report = std::getenv("HANDLE_REPORT_FILE");
    if (!report) return 2;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments) LocalFree(arguments);
    int inherited = 0;
    if (const char* probe = std::getenv("HANDLE_REPORT_PROBE")) {
        HANDLE handle = reinterpret_cast<HANDLE>(
            static_cast<std::uintptr_t>(std::strtoull(probe, nullptr, 10)));
        DWORD flags = 0;
        inherited = GetHandleInformation(handle, &flags) && GetFileType(handle) == FILE_TYPE_DISK;
    }
    std::string temporary = std::string(report) + ".tmp";
    FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) return 2;
    std::fprintf(out, "ran %d handle %d\n", count > 0 ? count - 1 : -1, inherited);
    std::fclose(out);
    return MoveFileExA(temporary.c_str(), report, MOVEFILE_REPLACE_EXISTING) ? 0 : 2;
}
