#include "platform/file_stream.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vtl::platform {

namespace {

#if defined(__GLIBC__)
// Writes all of data or fails; a write to a pipe whose reader has gone fails like any other
// write (reported through the tally and when the stream is closed) instead of raising SIGPIPE
// and ending the host: the signal is blocked around the write and a SIGPIPE it raised is taken
// off again. After the first failure nothing more is written: the destination is incomplete.
ssize_t write_counted(void* cookie, const char* data, std::size_t n) {
    OutputTally& tally = *static_cast<OutputTally*>(cookie);
    if (tally.error != 0) {
        errno = tally.error;
        return 0;
    }
    sigset_t pipe_only, previous, pending;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    sigpending(&pending);
    const bool already_pending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_only, &previous);
    std::size_t written = 0;
    int error = 0;
    while (written < n) {
        const ssize_t w = ::write(tally.descriptor, data + written, n - written);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            error = w < 0 ? errno : EIO;
            break;
        }
        written += static_cast<std::size_t>(w);
    }
    if (error == EPIPE && !already_pending) {
        const timespec no_wait{0, 0};
        sigtimedwait(&pipe_only, nullptr, &no_wait);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    tally.bytes += written;
    if (error != 0) {
        tally.error = error;
        errno = error;
    }
    return static_cast<ssize_t>(written);
}

int close_counted(void* cookie) {
    OutputTally& tally = *static_cast<OutputTally*>(cookie);
    const int fd = tally.descriptor;
    tally.descriptor = -1;
    return ::close(fd);
}

FILE* open_output_stream(int fd, OutputTally* tally) {
    *tally = OutputTally();
    tally->descriptor = fd;
    tally->counted = true;
    const cookie_io_functions_t functions{nullptr, write_counted, nullptr, close_counted};
    return ::fopencookie(tally, "wb", functions);
}
#else
FILE* open_output_stream(int fd, OutputTally* tally) {
    *tally = OutputTally();
    tally->descriptor = fd;
    return ::fdopen(fd, "wb");
}
#endif

// Makes a stream over fd, which it then owns; fd is closed on failure, errno kept.
FILE* stream_over(int fd, OutputTally* tally) {
    if (fd < 0) return nullptr;
    FILE* stream = open_output_stream(fd, tally);
    if (!stream) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return stream;
}

} // namespace

FILE* open_file_utf8(const char* path, const char* mode) {
    // POSIX file names are bytes; UTF-8 is passed through unchanged. The descriptor is closed
    // in processes the library starts ("e").
    return std::fopen(path, (std::string(mode) + "e").c_str());
}

FILE* open_output_utf8(const char* path, OutputTally* tally) {
    return stream_over(::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666), tally);
}

FILE* take_standard_output(OutputTally* tally) {
    std::fflush(stdout);
    FILE* stream = stream_over(::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0), tally);
    if (stream) ::dup2(STDERR_FILENO, STDOUT_FILENO);
    return stream; // no newline translation on POSIX: already binary
}

bool is_same_file(FILE*, const OutputTally& tally, const char* path) {
    struct stat open_file {};
    struct stat named {};
    if (tally.descriptor < 0 || !path || ::fstat(tally.descriptor, &open_file) != 0 ||
        ::stat(path, &named) != 0)
        return false;
    return open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

} // namespace vtl::platform
