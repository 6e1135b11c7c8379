#pragma once
// Wall-clock time of day, a millisecond tick and pausing the caller.

#include <cstdint>
#include <string>

namespace vtl::platform {

// Writes the local time of day as "HH:MM:SS" into out; false when it cannot be read.
bool time_of_day_text(std::string& out);

// Returns a millisecond counter that starts at an arbitrary point and wraps around at 2^32.
std::uint32_t tick_ms() noexcept;

// Pauses the calling thread for at least the given number of milliseconds.
void sleep_ms(std::uint32_t milliseconds) noexcept;

} // namespace vtl::platform
