#include "platform/file_system.h"

#include "platform/posix/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace vtl::platform {

bool file_readable(const std::string& path) {
    // Non-blocking, so that a named pipe does not hold the caller up.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return false;
    struct stat info {};
    return ::fstat(fd.get(), &info) == 0 && !S_ISDIR(info.st_mode);
}

} // namespace vtl::platform
