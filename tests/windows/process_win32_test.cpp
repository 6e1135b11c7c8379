// Starting another program on Windows: CreateProcessW with the program alone (no command line
// of arguments), no inherited handles, nothing left open. The Win32 counterpart of the POSIX
// launch tests, which count descriptors and look for zombies.
#include "platform/process.h"

#include "support/temp_folder.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

using test_support::TempFolder;
using test_support::wait_for_line;

namespace {

// The report program, copied under a name with non-ASCII letters and a space.
std::string report_program(const TempFolder& folder) {
    std::string copy = folder.file("r\xC3\xA9port app.exe");
    std::filesystem::copy_file(std::filesystem::u8path(HANDLE_REPORT_PROGRAM),
                               std::filesystem::u8path(copy));
    return copy;
}

TEST(LaunchDetachedWin32, StartsTheProgramWithoutArgumentsOrInheritedHandlesAndKeepsNoHandle) {
    TempFolder folder;
    std::string report = folder.file("report");
    std::string probe_path = folder.write("probe", "probe");
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE probe = CreateFileA(probe_path.c_str(), GENERIC_READ, FILE_SHARE_READ, &inheritable,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(probe, INVALID_HANDLE_VALUE);
    ::setenv("HANDLE_REPORT_FILE", report.c_str(), 1);
    ::setenv("HANDLE_REPORT_PROBE", std::to_string(reinterpret_cast<std::uintptr_t>(probe)).c_str(),
             1);
    std::string program = report_program(folder);
    DWORD before = 0;
    DWORD after = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
    ASSERT_TRUE(vtl::platform::launch_detached(program));
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
    ::unsetenv("HANDLE_REPORT_FILE");
    ::unsetenv("HANDLE_REPORT_PROBE");
    EXPECT_EQ(wait_for_line(report), "ran 0 handle 0\n");
    // The process and thread handles are closed at once: nothing is left to wait for.
    EXPECT_EQ(after, before);
    CloseHandle(probe);
}

TEST(LaunchDetachedWin32, ReportsWhatCannotBeStarted) {
    TempFolder folder;
    std::string plain = folder.write("plain.exe", "not a program\n");
    EXPECT_FALSE(vtl::platform::launch_detached(folder.file("missing.exe")));
    EXPECT_FALSE(vtl::platform::launch_detached(plain));
    EXPECT_FALSE(vtl::platform::launch_detached(folder.path()));
    EXPECT_FALSE(vtl::platform::launch_detached(""));
    EXPECT_FALSE(vtl::platform::launch_detached("\xFF\xFE.exe")); // not UTF-8
}

} // namespace
