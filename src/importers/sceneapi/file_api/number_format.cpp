// Number texts exactly as the C library's printf writes them in the "C" locale. The exact path
// is std::to_chars with an explicit precision, which is specified to print what printf prints
// and never looks at the locale. "%g" has an integer fast path in front of it that covers the
// values of meshes (and every other value whose six digits fit 64-bit integer arithmetic).
//
// Why "%g" is written here and not left to std::to_chars: a mesh is millions of numbers, and
// bench/number_format_bench measured a mesh float at about 9.5 ns here, 52 ns through
// std::to_chars and 143 ns through snprintf (and a double at 18.5 ns against 167 ns), on the
// 2-core machine we build on. The number texts are most of the time of an export.

#include "file_api/number_format.h"

#include <charconv>
#include <cstring>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace vtl::number_format {
namespace {

// Significant digits of "%g" with its default precision.
constexpr int g_precision = 6;
// "%g" writes the exponent form below this decimal exponent and at or above g_precision.
constexpr int g_lowest_fixed_exponent = -4;
// Digits after the point of "%16.16f" and "%.3f", and the field width of "%16.16f".
constexpr int fixed16_precision = 16;
constexpr int fixed16_width = 16;
constexpr int fixed3_precision = 3;

// The range of a "%g" mantissa held as an integer: [10^5, 10^6).
constexpr uint64_t g_mantissa_low = 100000;
constexpr uint64_t g_mantissa_end = 1000000;

// "00", "01", ... "99": two decimal digits for every value below 100.
struct DigitPairs {
    char text[200];
    constexpr DigitPairs() : text() {
        for (int i = 0; i < 100; ++i) {
            text[2 * i] = static_cast<char>('0' + i / 10);
            text[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
    }
};
constexpr DigitPairs digit_pairs;

// The powers 5^0 ... 5^27 (the largest below 2^64) and their bit lengths, and 10^0 ... 10^19.
constexpr int powers_of_five_count = 28;
constexpr int powers_of_ten_count = 20;
struct Powers {
    uint64_t five[powers_of_five_count];
    int five_bits[powers_of_five_count];
    uint64_t ten[powers_of_ten_count];
    constexpr Powers() : five(), five_bits(), ten() {
        uint64_t p = 1;
        for (int k = 0; k < powers_of_five_count; ++k, p *= 5) {
            five[k] = p;
            for (uint64_t rest = p; rest != 0; rest >>= 1)
                ++five_bits[k];
        }
        p = 1;
        for (int k = 0; k < powers_of_ten_count; ++k, p *= 10)
            ten[k] = p;
    }
};
constexpr Powers powers;

// Number of zero bits below the lowest one bit of x, which must not be zero.
inline int trailing_zero_bits(uint64_t x) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctzll(x);
#elif defined(_MSC_VER)
    unsigned long index = 0;
    _BitScanForward64(&index, x);
    return static_cast<int>(index);
#else
    int n = 0;
    for (; (x & 1) == 0; x >>= 1)
        ++n;
    return n;
#endif
}

// Where the part dropped by rounding down lies, relative to one half of the last digit.
enum class Fraction { zero, below_half, half, above_half };

// A non-negative value scaled by a power of ten: its integer part and the dropped fraction.
struct Scaled {
    uint64_t whole;
    Fraction fraction;
};

// Scales mant·2^exp2 (mant odd, of mant_bits bits) by 10^k exactly in 64-bit integers; false
// when the operands do not fit, so that the caller takes the exact general path instead.
bool scale_by_power_of_ten(uint64_t mant, int mant_bits, int exp2, int k, Scaled& s) {
    if (k >= 0) {
        // mant·10^k·2^exp2 = (mant·5^k)·2^(exp2+k)
        if (k >= powers_of_five_count || mant_bits + powers.five_bits[k] > 64) return false;
        const uint64_t product = mant * powers.five[k];
        const int shift = exp2 + k;
        if (shift >= 0) {
            // The caller's exponent estimate keeps the result below 10^7 < 2^24.
            if (shift > 24) return false;
            s.whole = product << shift;
            s.fraction = Fraction::zero;
            return true;
        }
        const int drop = -shift;
        if (drop >= 64) return false;
        const uint64_t rest = product & ((uint64_t{1} << drop) - 1);
        const uint64_t half = uint64_t{1} << (drop - 1);
        s.whole = product >> drop;
        s.fraction = rest == 0      ? Fraction::zero
                     : rest < half  ? Fraction::below_half
                     : rest == half ? Fraction::half
                                    : Fraction::above_half;
        return true;
    }
    // mant·2^exp2 / 10^j: the integer part first, then its division by 10^j.
    const int j = -k;
    if (j >= powers_of_ten_count) return false;
    uint64_t integer = 0;
    bool binary_rest = false;
    if (exp2 >= 0) {
        if (mant_bits + exp2 > 64) return false;
        integer = mant << exp2;
    } else {
        if (-exp2 >= 64) return false;
        integer = mant >> -exp2;
        binary_rest = (mant & ((uint64_t{1} << -exp2) - 1)) != 0;
    }
    const uint64_t divisor = powers.ten[j];
    const uint64_t rest = integer % divisor;
    const uint64_t half = divisor / 2;
    s.whole = integer / divisor;
    if (rest == 0 && !binary_rest)
        s.fraction = Fraction::zero;
    else if (rest < half)
        s.fraction = Fraction::below_half;
    else if (rest == half)
        s.fraction = binary_rest ? Fraction::above_half : Fraction::half;
    else
        s.fraction = Fraction::above_half;
    return true;
}

// Writes the two decimal digits of v < 100.
inline char* put_pair(char* out, unsigned v) {
    std::memcpy(out, digit_pairs.text + 2 * v, 2);
    return out + 2;
}

// Writes "%g" of ±digits·10^(exp10-5), digits having exactly six decimal digits: the fixed or
// the exponent form, without trailing zeros after the point and without a bare point.
char* put_g(char* out, bool negative, uint32_t digits, int exp10) {
    char text[g_precision];
    put_pair(text, digits / 10000);
    put_pair(text + 2, digits / 100 % 100);
    put_pair(text + 4, digits % 100);
    int count = g_precision;
    while (text[count - 1] == '0') // the first digit is never zero
        --count;

    if (negative) *out++ = '-';
    if (exp10 < g_lowest_fixed_exponent || exp10 >= g_precision) {
        *out++ = text[0];
        if (count > 1) {
            *out++ = '.';
            std::memcpy(out, text + 1, count - 1);
            out += count - 1;
        }
        *out++ = 'e';
        *out++ = exp10 < 0 ? '-' : '+';
        unsigned magnitude = static_cast<unsigned>(exp10 < 0 ? -exp10 : exp10);
        if (magnitude >= 100) {
            *out++ = static_cast<char>('0' + magnitude / 100);
            magnitude %= 100;
        }
        return put_pair(out, magnitude);
    }
    if (exp10 >= 0) {
        const int integer_digits = exp10 + 1;
        std::memcpy(out, text, integer_digits);
        out += integer_digits;
        if (count > integer_digits) {
            *out++ = '.';
            std::memcpy(out, text + integer_digits, count - integer_digits);
            out += count - integer_digits;
        }
        return out;
    }
    *out++ = '0';
    *out++ = '.';
    for (int i = exp10 + 1; i < 0; ++i)
        *out++ = '0';
    std::memcpy(out, text, count);
    return out + count;
}

// Writes "%g" of ±mant·2^exp2, whose binary exponent is log2 (2^log2 <= value < 2^(log2+1)),
// with mant the full significand of mant_bits bits; null when 64-bit integers cannot decide it.
char* g_from_binary(char* out, bool negative, uint64_t mant, int mant_bits, int exp2, int log2) {
    const int zeros = trailing_zero_bits(mant);
    mant >>= zeros;
    mant_bits -= zeros;
    exp2 += zeros;

    // floor(log2·log10(2)): the decimal exponent, or one below it.
    int exp10 = (log2 * 78913) >> 18;
    Scaled s{};
    if (!scale_by_power_of_ten(mant, mant_bits, exp2, g_precision - 1 - exp10, s)) return nullptr;
    if (s.whole >= g_mantissa_end) {
        // The estimate was one too low: drop one more digit into the fraction.
        const uint64_t digit = s.whole % 10;
        s.whole /= 10;
        ++exp10;
        if (digit == 5)
            s.fraction = s.fraction == Fraction::zero ? Fraction::half : Fraction::above_half;
        else if (digit > 5)
            s.fraction = Fraction::above_half;
        else if (digit > 0 || s.fraction != Fraction::zero)
            s.fraction = Fraction::below_half;
    }
    // Round to nearest, ties to even, as printf does in the default rounding mode.
    uint64_t digits = s.whole;
    if (s.fraction == Fraction::above_half || (s.fraction == Fraction::half && (digits & 1) != 0))
        ++digits;
    if (digits == g_mantissa_end) {
        digits = g_mantissa_low;
        ++exp10;
    }
    return put_g(out, negative, static_cast<uint32_t>(digits), exp10);
}

// Writes "%g" of v through the exact general path.
char* g_general(char* out, double v) {
    return std::to_chars(out, out + max_chars, v, std::chars_format::general, g_precision).ptr;
}

// Writes "0" or "-0".
char* put_zero(char* out, bool negative) {
    if (negative) *out++ = '-';
    *out++ = '0';
    return out;
}

// Number of decimal digits of v.
inline int decimal_length(uint32_t v) {
    int length = 1;
    for (int k = 1; k < 10 && v >= powers.ten[k]; ++k)
        ++length;
    return length;
}

// Writes the decimal digits of v, from the last one backwards.
char* put_decimal(char* out, uint32_t v) {
    char* const end = out + decimal_length(v);
    char* p = end;
    while (v >= 100) {
        p -= 2;
        put_pair(p, v % 100);
        v /= 100;
    }
    if (v >= 10)
        put_pair(p - 2, v);
    else
        p[-1] = static_cast<char>('0' + v);
    return end;
}

// "%g" of a float or a double: zeros, then the integer fast path for normal values, then the
// exact general path for subnormals, infinities, NaNs and what 64 bits cannot decide.
template <typename Float, typename Bits, int fraction_bits, int exponent_max, int exponent_bias>
char* g_binary(char* out, Float v) {
    Bits bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    const bool negative = (bits >> (8 * sizeof bits - 1)) != 0;
    const Bits exponent = (bits >> fraction_bits) & exponent_max;
    const Bits fraction = bits & ((Bits{1} << fraction_bits) - 1);
    if (exponent == 0 && fraction == 0) return put_zero(out, negative);
    if (exponent != 0 && exponent != Bits{exponent_max}) {
        const int log2 = static_cast<int>(exponent) - exponent_bias;
        char* end = g_from_binary(out, negative, fraction | (Bits{1} << fraction_bits),
                                  fraction_bits + 1, log2 - fraction_bits, log2);
        if (end != nullptr) return end;
    }
    return g_general(out, v);
}

} // namespace

// The IEEE 754 layouts: fraction bits, exponent field of infinities and NaNs, exponent bias.
char* g(char* out, double v) {
    return g_binary<double, uint64_t, 52, 0x7ff, 1023>(out, v);
}

char* g_float_general(char* out, float v) {
    return g_binary<float, uint32_t, 23, 0xff, 127>(out, v);
}

char* fixed16(char* out, double v) {
    char* end =
        std::to_chars(out, out + max_chars, v, std::chars_format::fixed, fixed16_precision).ptr;
    // Only "inf", "nan" and their negatives are narrower than the field: pad them on the left.
    const std::ptrdiff_t length = end - out;
    if (length >= fixed16_width) return end;
    const std::ptrdiff_t padding = fixed16_width - length;
    std::memmove(out + padding, out, static_cast<std::size_t>(length));
    std::memset(out, ' ', static_cast<std::size_t>(padding));
    return out + fixed16_width;
}

char* fixed3(char* out, double v) {
    return std::to_chars(out, out + max_chars, v, std::chars_format::fixed, fixed3_precision).ptr;
}

char* uint32_general(char* out, uint32_t v) {
    return put_decimal(out, v);
}

} // namespace vtl::number_format
