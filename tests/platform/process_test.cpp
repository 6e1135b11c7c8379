#include "platform/process.h"

#include "platform/clock.h"
#include "support/temp_folder.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using test_support::TempFolder;

namespace {

constexpr std::uint32_t kPollStepMs = 20;
constexpr std::uint32_t kPollLimitMs = 20000;
constexpr int kProbeDescriptor = 57;

// Waits, within a bound, until the file exists and has a complete last line.
std::string wait_for_line(const std::string& path) {
    for (std::uint32_t waited = 0; waited < kPollLimitMs; waited += kPollStepMs) {
        std::string content = test_support::read_file(path);
        if (!content.empty() && content.back() == '\n') return content;
        platform::sleep_ms(kPollStepMs);
    }
    return std::string();
}

// Writes an executable shell script.
std::string write_script(const TempFolder& folder, const std::string& name,
                         const std::string& body) {
    std::string path = folder.write(name, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
}

TEST(LaunchDetached, StartsTheProgramWithoutArgumentsAndLeavesNoChild) {
    TempFolder folder;
    std::string marker = folder.file("marker");
    std::string script = write_script(folder, "app.sh",
                                      "echo \"ran $#\" > '" + marker +
                                          ".tmp'\n"
                                          "mv '" +
                                          marker + ".tmp' '" + marker + "'\n");
    ASSERT_TRUE(platform::launch_detached(script));
    EXPECT_EQ(wait_for_line(marker), "ran 0\n");
    // No child is left, not even a zombie waiting to be reaped.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(LaunchDetached, TheProgramInheritsNoDescriptorsOfTheCaller) {
    TempFolder folder;
    int inheritable = ::open("/dev/null", O_RDONLY); // no close-on-exec
    ASSERT_GE(inheritable, 0);
    ASSERT_EQ(::dup2(inheritable, kProbeDescriptor), kProbeDescriptor);
    ::close(inheritable);
    std::string marker = folder.file("marker");
    std::string probe = "/proc/$$/fd/" + std::to_string(kProbeDescriptor);
    std::string script =
        write_script(folder, "app.sh",
                     "if [ -e " + probe +
                         " ]; then r=inherited; else r=clean; fi\n"
                         "echo $r > '" +
                         marker + ".tmp'\nmv '" + marker + ".tmp' '" + marker + "'\n");
    bool launched = platform::launch_detached(script);
    ::close(kProbeDescriptor);
    ASSERT_TRUE(launched);
    EXPECT_EQ(wait_for_line(marker), "clean\n");
}

TEST(LaunchDetached, ReportsWhatCannotBeStarted) {
    TempFolder folder;
    std::string plain = folder.write("plain.sh", "#!/bin/sh\necho no\n"); // not executable
    EXPECT_FALSE(platform::launch_detached(folder.file("missing")));
    EXPECT_FALSE(platform::launch_detached(plain));
    EXPECT_FALSE(platform::launch_detached(folder.path()));
    EXPECT_FALSE(platform::launch_detached(""));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

} // namespace
