#include "platform/process.h"

#include "platform/posix/unique_fd.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr int kFirstDescriptorNotKept = 3; // standard input, output and error are kept
constexpr int kDescriptorScanLimit = 65536;
constexpr int kExecFailedStatus = 127;

#ifdef NSIG
constexpr int kSignalCount = NSIG;
#else
constexpr int kSignalCount = 65;
#endif

// Creates a pipe whose ends are closed on exec.
bool make_pipe(UniqueFd& read_end, UniqueFd& write_end) {
    int fds[2];
#if defined(__linux__) || defined(__FreeBSD__) || defined(__NetBSD__) || defined(__OpenBSD__)
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
#else
    if (::pipe(fds) != 0) return false;
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
#endif
    read_end.reset(fds[0]);
    write_end.reset(fds[1]);
    return true;
}

// In a forked child: sends errno to the parent through the pipe. Async-signal-safe.
void report_errno(int fd, int error) noexcept {
    ssize_t written;
    do {
        written = ::write(fd, &error, sizeof error);
    } while (written < 0 && errno == EINTR);
}

// In a forked child: lets the program start with default signal handling and no descriptors
// of ours but the standard three. Async-signal-safe.
void prepare_for_exec() noexcept {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int signal_number = 1; signal_number < kSignalCount; ++signal_number) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal_number, &action, nullptr); // fails harmlessly for KILL and STOP
    }
#ifdef CLOSE_RANGE_CLOEXEC
    if (::close_range(kFirstDescriptorNotKept, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
#endif
    long limit = ::sysconf(_SC_OPEN_MAX);
    if (limit < 0 || limit > kDescriptorScanLimit) limit = kDescriptorScanLimit;
    for (int fd = kFirstDescriptorNotKept; fd < limit; ++fd)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

} // namespace

// The program is started by a grandchild: the child forks it and exits at once, so the program
// is adopted by init (or the nearest subreaper) and never becomes a zombie of ours; the only
// wait is for the short-lived child. The grandchild tells through a close-on-exec pipe whether
// exec failed: the pipe reaches end-of-file without data exactly when exec succeeded.
bool launch_detached(const std::string& path) {
    if (path.empty()) return false;
    // Everything the children need is prepared before forking.
    std::vector<char> program(path.begin(), path.end());
    program.push_back('\0');
    char* argv[] = {program.data(), nullptr};

    UniqueFd read_end;
    UniqueFd write_end;
    if (!make_pipe(read_end, write_end)) return false;

    pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        pid_t grandchild = ::fork();
        if (grandchild < 0) {
            report_errno(write_end.get(), errno);
            ::_exit(1);
        }
        if (grandchild == 0) {
            ::setsid(); // leave the caller's session and terminal
            prepare_for_exec();
            ::execv(argv[0], argv);
            report_errno(write_end.get(), errno);
            ::_exit(kExecFailedStatus);
        }
        ::_exit(0);
    }

    write_end.reset();
    int status = 0;
    pid_t reaped;
    do {
        reaped = ::waitpid(child, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    // When the caller ignores SIGCHLD the child is reaped by the system and its status is
    // unknown; the pipe still tells.
    bool child_ok = reaped < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0);

    int error = 0;
    ssize_t got;
    do {
        got = ::read(read_end.get(), &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    return child_ok && got == 0;
}

} // namespace platform
