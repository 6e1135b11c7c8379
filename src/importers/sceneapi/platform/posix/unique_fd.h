#pragma once
// A file descriptor that closes itself.

#include <unistd.h>

namespace vtl::platform {

// Owns one descriptor; move-only.
class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    // Returns the descriptor, -1 when none.
    int get() const noexcept { return fd_; }

    // Gives up ownership and returns the descriptor.
    int release() noexcept {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

    // Closes the descriptor held and takes fd instead.
    void reset(int fd = -1) noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

} // namespace vtl::platform
