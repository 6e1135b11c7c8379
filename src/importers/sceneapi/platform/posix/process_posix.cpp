#include "platform/process.h"

#include "platform/posix/unique_fd.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vtl::platform {

namespace {

constexpr int kStandardDescriptors = 3; // standard input, output and error: 0, 1 and 2
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

// In a forked child: closes the descriptors from first to last inclusive; false when the system
// cannot do it in one call. Async-signal-safe.
bool close_range_at_once(int first, unsigned last) noexcept {
#ifdef SYS_close_range
    return ::syscall(SYS_close_range, static_cast<unsigned>(first), last, 0U) == 0;
#else
    (void)first;
    (void)last;
    return false;
#endif
}

// In a forked child: closes every descriptor from 3 on but keep; scan_limit bounds the search
// where the system cannot close a range at once. Async-signal-safe.
void close_all_but(int keep, int scan_limit) noexcept {
    if (keep > kStandardDescriptors &&
        !close_range_at_once(kStandardDescriptors, static_cast<unsigned>(keep - 1)))
        for (int fd = kStandardDescriptors; fd < keep; ++fd)
            ::close(fd);
    if (!close_range_at_once(keep + 1, ~0U))
        for (int fd = keep + 1; fd < scan_limit; ++fd)
            ::close(fd);
}

// In a forked child: starts the program with default signal handling, the null device as its
// standard input, output and error, and no other descriptor; on failure sends errno through
// report_fd and exits. Async-signal-safe.
[[noreturn]] void exec_detached(char* const argv[], int report_fd, int scan_limit) noexcept {
    ::setsid(); // leave the caller's session and terminal
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int signal_number = 1; signal_number < kSignalCount; ++signal_number) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal_number, &action, nullptr); // fails harmlessly for KILL and STOP
    }
    // The reporting end moves out of the way of the standard descriptors (the caller may have
    // closed them, so that the pipe took their numbers); it closes itself at exec.
    const int report = ::fcntl(report_fd, F_DUPFD_CLOEXEC, kStandardDescriptors);
    if (report < 0) {
        report_errno(report_fd, errno);
        ::_exit(kExecFailedStatus);
    }
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd < 0) {
        report_errno(report, errno);
        ::_exit(kExecFailedStatus);
    }
    for (int standard = 0; standard < kStandardDescriptors; ++standard) {
        if (standard != null_fd && ::dup2(null_fd, standard) < 0) {
            report_errno(report, errno);
            ::_exit(kExecFailedStatus);
        }
    }
    close_all_but(report, scan_limit); // the null device's own descriptor too, when above 2
    ::execv(argv[0], argv);
    report_errno(report, errno);
    ::_exit(kExecFailedStatus);
}

} // namespace

// The program is started by a grandchild: the child forks it and exits at once, so the program
// is adopted by init (or the nearest subreaper) and never becomes a zombie of ours; the only
// wait is for the short-lived child. The grandchild tells through a close-on-exec pipe whether
// exec failed: the pipe reaches end-of-file without data exactly when exec succeeded. The
// program holds none of the caller's descriptors: its standard input, output and error are the
// null device, so that it neither reads the caller's input nor keeps the caller's output open
// (a pipe the caller writes into ends when the caller ends).
bool launch_detached(const std::string& path) {
    if (path.empty()) return false;
    // Everything the children need is prepared before forking.
    std::vector<char> program(path.begin(), path.end());
    program.push_back('\0');
    char* argv[] = {program.data(), nullptr};
    long limit = ::sysconf(_SC_OPEN_MAX);
    const int scan_limit =
        limit < 0 || limit > kDescriptorScanLimit ? kDescriptorScanLimit : static_cast<int>(limit);

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
        if (grandchild == 0) exec_detached(argv, write_end.get(), scan_limit);
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

} // namespace vtl::platform
