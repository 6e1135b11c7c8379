#pragma once
// Number texts exactly as the C library's printf writes them in the "C" locale, without printf
// and whatever the process locale is. Each function writes at `out` (no terminating NUL) and
// returns the end of what it wrote; `out` must have number_format::max_chars bytes of room, and
// bytes of that room past the returned end may be overwritten.

#include <cstddef>
#include <cstdint>

namespace number_format {

// Enough for the longest text any function here writes ("%16.16f" of -DBL_MAX).
constexpr std::size_t max_chars = 352;

char* g(char* out, double v);        // "%g"; the fast path too where it is exact
char* g_float(char* out, float v);   // "%g" of a float (promoted to double); fast path
char* fixed16(char* out, double v);  // "%16.16f"
char* fixed3(char* out, double v);   // "%.3f"
char* int32(char* out, int32_t v);   // "%d"
char* uint32(char* out, uint32_t v); // "%u"

} // namespace number_format
