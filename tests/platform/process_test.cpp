#include "platform/process.h"

#include "support/temp_folder.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

using test_support::TempFolder;
using test_support::wait_for_line;

namespace {

constexpr int kProbeDescriptor = 57;

// Replaces a standard descriptor of this process while it lives.
class StandardDescriptorSwap {
public:
    StandardDescriptorSwap(int standard, int replacement)
        : standard_(standard), saved_(::dup(standard)) {
        ::dup2(replacement, standard);
    }
    ~StandardDescriptorSwap() {
        ::dup2(saved_, standard_);
        ::close(saved_);
    }
    StandardDescriptorSwap(const StandardDescriptorSwap&) = delete;
    StandardDescriptorSwap& operator=(const StandardDescriptorSwap&) = delete;

private:
    int standard_;
    int saved_;
};

TEST(LaunchDetached, TheProgramGetsNoArgumentsTheNullDeviceAsStandardStreamsAndNothingElse) {
    TempFolder folder;
    const std::string report = folder.file("report");
    ::setenv("FD_REPORT_FILE", report.c_str(), 1);
    // The caller's standard streams are pipes (as in "exporter | cat"), and it holds descriptors
    // without close-on-exec, low and high.
    int input[2], output[2];
    ASSERT_EQ(::pipe(input), 0);
    ASSERT_EQ(::pipe(output), 0);
    const int stray = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 0);
    ASSERT_EQ(::dup2(stray, kProbeDescriptor), kProbeDescriptor);
    ASSERT_EQ(::dup2(stray, 1000), 1000);
    std::fflush(stdout);
    std::fflush(stderr);
    bool launched;
    {
        StandardDescriptorSwap in(0, input[0]);
        StandardDescriptorSwap out(1, output[1]);
        StandardDescriptorSwap err(2, output[1]);
        launched = vtl::platform::launch_detached(FD_REPORT_PROGRAM);
    }
    for (int fd : {input[0], output[1], stray, kProbeDescriptor, 1000})
        ::close(fd);
    ::unsetenv("FD_REPORT_FILE");
    ASSERT_TRUE(launched);

    const std::string line = wait_for_line(report);
    ASSERT_FALSE(line.empty());
    const pid_t program = static_cast<pid_t>(std::atol(line.c_str() + 4));
    EXPECT_EQ(line.substr(line.find(" args ")), " args 0 fds 0:null 1:null 2:null\n");
    // It is no child of ours while it runs, so none is left to reap when it ends.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    // The program still runs, yet the pipe that was the caller's output reaches its end.
    pollfd ready{output[0], POLLIN, 0};
    const int polled = ::poll(&ready, 1, 5000);
    char byte;
    const ssize_t got = polled == 1 ? ::read(output[0], &byte, 1) : -1;
    const int alive = ::kill(program, 0);
    ::kill(program, SIGTERM);
    ::close(output[0]);
    ::close(input[1]);
    EXPECT_EQ(polled, 1);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(alive, 0);
}

TEST(LaunchDetached, ReportsWhatCannotBeStarted) {
    TempFolder folder;
    EXPECT_FALSE(vtl::platform::launch_detached(folder.file("missing")));
    EXPECT_FALSE(vtl::platform::launch_detached(""));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

} // namespace
