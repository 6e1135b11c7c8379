#pragma once
// Number texts exactly as the C library's printf writes them in the "C" locale, without printf
// and whatever the process locale is. Each function writes at `out` (no terminating NUL) and
// returns the end of what it wrote; `out` must have number_format::max_chars bytes of room, and
// bytes of that room past the returned end may be overwritten.
//
// "%g" of a float and "%u" have their fast paths here, inline: a mesh array is millions of them
// and a call per number costs a tenth of the time of the number. The exact general paths are
// in number_format.cpp.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vtl::number_format {

// Enough for the longest text any function here writes ("%16.16f" of -DBL_MAX).
constexpr std::size_t max_chars = 352;

char* g(char* out, double v);       // "%g"; the fast path too where it is exact
char* fixed16(char* out, double v); // "%16.16f"
char* fixed3(char* out, double v);  // "%.3f"
inline char* g_float(char* out, float v);
inline char* uint32(char* out, uint32_t v);
inline char* int32(char* out, int32_t v);

// The general paths behind the inline ones: any float, and any unsigned integer.
char* g_float_general(char* out, float v);
char* uint32_general(char* out, uint32_t v);

namespace fast {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ &&                        \
    (defined(__GNUC__) || defined(__clang__))
#define NUMBER_FORMAT_WORD_STORES 1

// The binary exponents (2^log2 <= |v| < 2^(log2+1)) of the floats that take the fast path of
// "%g": from 2^-39 (about 1.8e-12) to below 2^20, decimal exponents -12 to 5.
constexpr int low_log2 = -39;
constexpr int binades = 19 - low_log2 + 1;

// For each binade of the fast path: the decimal exponent of its lowest value, the lowest 24-bit
// significand at which the next power of ten is reached (2^24 when the binade holds none), so
// that the exact decimal exponent comes from one comparison, and 5^k for both exponents.
struct Binade {
    int32_t exponent;
    uint32_t next_power_at;
};
struct Tables {
    Binade binade[binades];
    uint64_t five[18]; // 5^0 .. 5^17, for the decimal exponents 5 down to -12
    constexpr Tables() : binade(), five() {
        uint64_t ten[20] = {};
        ten[0] = five[0] = 1;
        for (int k = 1; k < 20; ++k)
            ten[k] = ten[k - 1] * 10;
        for (int k = 1; k < 18; ++k)
            five[k] = five[k - 1] * 5;
        for (int b = 0; b < binades; ++b) {
            const int log2 = low_log2 + b;
            // The largest p with 10^p <= 2^log2.
            int p = 0;
            if (log2 >= 0) {
                while (ten[p + 1] <= (uint64_t{1} << log2))
                    ++p;
            } else {
                p = -1;
                while (ten[-p] < (uint64_t{1} << -log2)) // 10^p > 2^log2
                    --p;
            }
            binade[b].exponent = p;
            // The significand m with m·2^(log2-23) >= 10^(p+1), rounded up.
            const int q = p + 1;
            const int scale = 23 - log2; // > 0 in this range
            uint64_t at = 0;
            if (q >= 0) {
                at = ten[q] << scale;
            } else {
                const uint64_t divisor = ten[-q];
                const uint64_t dividend = uint64_t{1} << scale;
                at = dividend / divisor + (dividend % divisor != 0 ? 1 : 0);
            }
            binade[b].next_power_at = static_cast<uint32_t>(at < (1u << 24) ? at : (1u << 24));
        }
    }
};
inline constexpr Tables tables{};

inline void store(char* out, uint64_t word) {
    std::memcpy(out, &word, sizeof word);
}

// The eight decimal digits of n < 10^8, leading zeros included, as the ASCII bytes of a word
// with the first digit in the lowest byte: both halves of four digits are split into pairs and
// the pairs into digits in the lanes of one register (no table, no division).
inline uint64_t eight_digits(uint32_t n) {
    uint64_t v = (n / 10000) | (uint64_t{n % 10000} << 32);          // two lanes of 32 bits, < 10^4
    const uint64_t hundreds = ((v * 5243) >> 19) & 0x7f'0000'007f;   // lane / 100, exact < 43699
    v = hundreds | ((v - hundreds * 100) << 16);                     // four lanes of 16 bits, < 100
    const uint64_t tens = ((v * 103) >> 10) & 0x000f'000f'000f'000f; // lane / 10, exact < 179
    v = tens | ((v - tens * 10) << 8);                               // eight bytes, < 10
    return v + 0x3030'3030'3030'3030;
}

// "%g" of ±mant·2^(log2-23) (mant the 24-bit significand of a normal float) for the values a
// mesh holds, about 1.8e-12 to below 10^6, without branches on the digits; null for the other
// values. `out` needs 20 bytes of room; bytes beyond the returned end may be overwritten.
inline char* g_float_mesh(char* out, bool negative, uint32_t mant, int log2) {
    const unsigned b = static_cast<unsigned>(log2 - low_log2);
    if (b >= static_cast<unsigned>(binades)) return nullptr;
    int exp10 = tables.binade[b].exponent + (mant >= tables.binade[b].next_power_at ? 1 : 0);
    if (exp10 >= 6) return nullptr;
    // mant·2^(log2-23)·10^k with k = 5 - exp10 lies in [10^5, 10^6): as (mant·5^k) / 2^drop,
    // drop being positive throughout this range, and at most 46; mant·5^k fits in 64 bits.
    const int k = 5 - exp10;
    const int drop = 23 - log2 - k;
    const uint64_t product = uint64_t{mant} * tables.five[k];
    uint64_t digits = product >> drop;
    const uint64_t rest = product & ((uint64_t{1} << drop) - 1);
    const uint64_t half = uint64_t{1} << (drop - 1);
    // Round to nearest, ties to even, as printf does in the default rounding mode.
    digits += (rest > half) | ((rest == half) & (digits & 1));
    if (digits == 1000000) {
        digits = 100000;
        ++exp10;
    }
    // The six digits in the low six bytes; the digits up to the last non-zero one.
    const uint64_t word = eight_digits(static_cast<uint32_t>(digits)) >> 16;
    const int count = (71 - __builtin_clzll(word - 0x3030'3030'3030)) / 8;

    if (negative) *out++ = '-';
    if (exp10 >= 0 && exp10 < 6) {
        const int integer_digits = exp10 + 1;
        store(out, word);
        out[integer_digits] = '.'; // beyond the end when there is no fraction
        store(out + integer_digits + 1, word >> (8 * integer_digits));
        return out + (count > integer_digits ? count + 1 : integer_digits);
    }
    if (exp10 < 0 && exp10 >= -4) {
        const int zeros = -exp10 - 1;
        store(out, 0x303030303030'2e30); // "0.000000"
        store(out + 2 + zeros, word);
        return out + 2 + zeros + count;
    }
    store(out, word);
    out[1] = '.';
    store(out + 2, word >> 8);
    out += count > 1 ? count + 1 : 1;
    out[0] = 'e';
    out[1] = exp10 < 0 ? '-' : '+'; // from 1e-12 to 1e+06 here: two digits
    const unsigned magnitude = static_cast<unsigned>(exp10 < 0 ? -exp10 : exp10);
    out[2] = static_cast<char>('0' + magnitude / 10);
    out[3] = static_cast<char>('0' + magnitude % 10);
    return out + 4;
}
#endif

} // namespace fast

inline char* g_float(char* out, float v) {
#if defined(NUMBER_FORMAT_WORD_STORES)
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    if ((bits << 1) == 0) { // "0" or "-0": a third of a flat mesh's normals are zero
        out[0] = '-';
        out[bits >> 31] = '0';
        return out + 1 + (bits >> 31);
    }
    const uint32_t exponent = (bits >> 23) & 0xff;
    if (exponent != 0 && exponent != 0xff) {
        char* end = fast::g_float_mesh(out, (bits >> 31) != 0, (bits & 0x7fffff) | (1u << 23),
                                       static_cast<int>(exponent) - 127);
        if (end != nullptr) return end;
    }
#endif
    return g_float_general(out, v);
}

inline char* uint32(char* out, uint32_t v) {
#if defined(NUMBER_FORMAT_WORD_STORES)
    if (v < 100000000) {
        // The eight digits with their leading zeros shifted out, stored at once.
        const uint64_t word = fast::eight_digits(v);
        const uint64_t values = word - 0x3030'3030'3030'3030;
        const int leading = values == 0 ? 7 : __builtin_ctzll(values) / 8;
        fast::store(out, word >> (8 * leading));
        return out + (8 - leading);
    }
#endif
    return uint32_general(out, v);
}

inline char* int32(char* out, int32_t v) {
    if (v < 0) *out++ = '-';
    return uint32(out, v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v));
}

} // namespace vtl::number_format
