#include "platform/clock.h"

#include <cerrno>
#include <ctime>

namespace vtl::platform {

bool time_of_day_text(std::string& out) {
    std::time_t now = std::time(nullptr);
    if (now == static_cast<std::time_t>(-1)) return false;
    std::tm local{};
    if (!::localtime_r(&now, &local)) return false;
    char text[200];
    std::size_t length = std::strftime(text, sizeof text, "%H:%M:%S", &local);
    if (length == 0) return false;
    out.assign(text, length);
    return true;
}

std::uint32_t tick_ms() noexcept {
    struct timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
              static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms); // wraps like a 32-bit tick counter
}

void sleep_ms(std::uint32_t milliseconds) noexcept {
    struct timespec left {};
    left.tv_sec = static_cast<std::time_t>(milliseconds / 1000u);
    left.tv_nsec = static_cast<long>(milliseconds % 1000u) * 1000000L;
    // A signal cuts the pause short; sleep the rest.
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

} // namespace vtl::platform
