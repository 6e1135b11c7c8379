#include "platform/file_stream.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

FILE* open_file_utf8(const char* path, const char* mode) {
    // POSIX file names are bytes; UTF-8 is passed through unchanged.
    return std::fopen(path, mode);
}

FILE* take_standard_output() {
    std::fflush(stdout);
    int fd = ::dup(STDOUT_FILENO);
    if (fd < 0) return nullptr;
    FILE* stream = ::fdopen(fd, "wb");
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
