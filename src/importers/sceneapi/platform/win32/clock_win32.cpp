#include "platform/clock.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace platform {

namespace {
constexpr LCID kUserDefaultLocale = 0x400;
constexpr const char* kTimeOfDayPicture = "HH':'mm':'ss";
constexpr int kTimeTextSize = 200;
} // namespace

bool time_of_day_text(std::string& out) {
    char text[kTimeTextSize];
    if (GetTimeFormatA(kUserDefaultLocale, 0, nullptr, kTimeOfDayPicture, text, kTimeTextSize) == 0)
        return false;
    out = text;
    return true;
}

std::uint32_t tick_ms() noexcept {
    return static_cast<std::uint32_t>(GetTickCount());
}

void sleep_ms(std::uint32_t milliseconds) noexcept {
    Sleep(static_cast<DWORD>(milliseconds));
}

} // namespace platform
