#include "platform/file_stream.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <pthread.h>
#include <unistd.h>

namespace platform {

namespace {

#if defined(__GLIBC__)
// Standard output may be a pipe whose reader has gone. A write there must fail like any other
// write error (reported when the stream is closed), not raise SIGPIPE and end the host: the
// signal is blocked around the write and a SIGPIPE it raised is taken off again.
ssize_t write_without_sigpipe(void* cookie, const char* data, std::size_t n) {
    const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(cookie));
    sigset_t pipe_only, previous, pending;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    sigpending(&pending);
    const bool already_pending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_only, &previous);
    // All of it or an error: the stream takes a short write for a failed one.
    std::size_t written = 0;
    int error = 0;
    while (written < n) {
        const ssize_t w = ::write(fd, data + written, n - written);
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
    if (error != 0) errno = error;
    return static_cast<ssize_t>(written);
}

int close_descriptor(void* cookie) {
    return ::close(static_cast<int>(reinterpret_cast<std::intptr_t>(cookie)));
}

FILE* open_output_stream(int fd) {
    const cookie_io_functions_t functions{nullptr, write_without_sigpipe, nullptr,
                                          close_descriptor};
    return ::fopencookie(reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)), "wb", functions);
}
#else
FILE* open_output_stream(int fd) {
    return ::fdopen(fd, "wb");
}
#endif

} // namespace

FILE* open_file_utf8(const char* path, const char* mode) {
    // POSIX file names are bytes; UTF-8 is passed through unchanged.
    return std::fopen(path, mode);
}

FILE* take_standard_output() {
    std::fflush(stdout);
    int fd = ::dup(STDOUT_FILENO);
    if (fd < 0) return nullptr;
    FILE* stream = open_output_stream(fd);
    if (!stream) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return nullptr;
    }
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    return stream; // no newline translation on POSIX: already binary
}

} // namespace platform
