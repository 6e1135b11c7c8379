#include "platform/clock.h"

#include "platform/win32/windows_lean.h"

namespace vtl::platform {

bool time_of_day_text(std::string& out) {
    char text[200];
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "HH':'mm':'ss", text, sizeof text) == 0)
        return false;
    out = text;
    return true;
}

// GetTickCount advances in steps of the timer interrupt (10 to 16 ms): a pause of 25 ms could
// read as 15. The performance counter counts in fractions of a microsecond.
std::uint32_t tick_ms() noexcept {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
        !QueryPerformanceCounter(&counter))
        return static_cast<std::uint32_t>(GetTickCount());
    const unsigned long long ticks = static_cast<unsigned long long>(counter.QuadPart);
    const unsigned long long per_second = static_cast<unsigned long long>(frequency.QuadPart);
    return static_cast<std::uint32_t>((ticks / per_second) * 1000 +
                                      (ticks % per_second) * 1000 / per_second);
}

void sleep_ms(std::uint32_t milliseconds) noexcept {
    Sleep(static_cast<DWORD>(milliseconds));
}

} // namespace vtl::platform
