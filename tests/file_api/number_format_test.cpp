// The number texts against hand-written expectations and against the C library's printf in the
// "C" locale, once with the process in the "C" locale and once in a decimal-comma locale.

#include "file_api/number_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <locale.h>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#ifndef NUMBER_FORMAT_SAMPLE_DIVISOR
#define NUMBER_FORMAT_SAMPLE_DIVISOR 1 // the sanitizer build checks a smaller random sample
#endif

namespace {

constexpr int sample_divisor = NUMBER_FORMAT_SAMPLE_DIVISOR;
constexpr const char* c_locale = "C";
constexpr const char* decimal_comma = "decimal comma";
#ifdef _WIN32
constexpr const char* decimal_comma_names[] = {"de-DE", "German_Germany.1252", "German"};
#else
constexpr const char* decimal_comma_names[] = {"de_DE.UTF-8", "de_DE.utf8"};
#endif
constexpr std::size_t mismatches_shown = 8;

const float float_nan = std::numeric_limits<float>::quiet_NaN();
const float float_inf = std::numeric_limits<float>::infinity();
const double double_nan = std::numeric_limits<double>::quiet_NaN();
const double double_inf = std::numeric_limits<double>::infinity();

#ifdef _WIN32
// No locale handles for printf here: the numeric locale is switched to "C" around each call.
class CLocaleHandle {
public:
    template <class T> std::string print(const char* format, T value) const {
        char text[number_format::max_chars + 1];
        const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
        std::setlocale(LC_NUMERIC, "C");
        // mingw-w64's printf drops the sign of a NaN; the reference is the C library's text
        // elsewhere, "-nan", which the Scene files hold on every platform.
        bool negative_nan = false;
        if constexpr (std::is_floating_point<T>::value) {
            negative_nan = std::isnan(value) && std::signbit(value);
            if (negative_nan) value = std::fabs(value);
        }
        const int length = std::snprintf(text, sizeof text, format, value);
        std::setlocale(LC_NUMERIC, previous.c_str());
        std::string printed(text, length < 0 ? 0 : static_cast<std::size_t>(length));
        const std::size_t nan = printed.find("nan");
        if (negative_nan && nan != std::string::npos) {
            if (nan > 0 && printed[nan - 1] == ' ')
                printed[nan - 1] = '-';
            else
                printed.insert(nan, "-");
        }
        return printed;
    }
};
#else
// The "C" locale as a handle: printf in it whatever the process locale is.
class CLocaleHandle {
public:
    CLocaleHandle() : handle_(newlocale(LC_ALL_MASK, "C", nullptr)) {}
    ~CLocaleHandle() noexcept {
        if (handle_ != nullptr) freelocale(handle_);
    }
    CLocaleHandle(const CLocaleHandle&) = delete;
    CLocaleHandle& operator=(const CLocaleHandle&) = delete;

    // The text printf writes for one value in the "C" locale.
    template <class T> std::string print(const char* format, T value) const {
        char text[number_format::max_chars + 1];
        const locale_t previous = uselocale(handle_);
        const int length = std::snprintf(text, sizeof text, format, value);
        uselocale(previous);
        return std::string(text, length < 0 ? 0 : static_cast<std::size_t>(length));
    }

private:
    locale_t handle_;
};
#endif

// The text one of our functions writes for one value.
template <class T> std::string ours(char* (*format)(char*, T), T value) {
    char text[number_format::max_chars];
    return std::string(text, format(text, value));
}

class NumberFormat : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (std::strcmp(GetParam(), decimal_comma) != 0) return;
        const char* chosen = nullptr;
        for (const char* name : decimal_comma_names)
            if (chosen == nullptr) chosen = std::setlocale(LC_ALL, name);
        ASSERT_NE(chosen, nullptr) << "no decimal-comma locale installed (package locales-all)";
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    }
    void TearDown() override { std::setlocale(LC_ALL, c_locale); }

    // Compares our text with printf's for every value and lists the first differences.
    template <class T, class Arg>
    void expect_like_printf(char* (*format)(char*, T), const char* printf_format,
                            const std::vector<Arg>& values) {
        std::size_t mismatches = 0;
        std::string shown;
        for (const Arg& value : values) {
            const std::string expected = reference_.print(printf_format, value);
            const std::string actual = ours(format, static_cast<T>(value));
            if (expected == actual) continue;
            if (++mismatches <= mismatches_shown)
                shown += "\n  " + describe(value) + ": expected \"" + expected + "\", got \"" +
                         actual + "\"";
        }
        EXPECT_EQ(mismatches, 0u) << printf_format << " over " << values.size() << " values"
                                  << shown;
    }

    // A value as exact text for failure messages.
    template <class Arg> std::string describe(Arg value) const {
        if constexpr (std::is_floating_point<Arg>::value)
            return reference_.print("%a", static_cast<double>(value));
        return reference_.print("%lld", static_cast<long long>(value));
    }

    CLocaleHandle reference_;
};

INSTANTIATE_TEST_SUITE_P(Locales, NumberFormat, ::testing::Values(c_locale, decimal_comma));

TEST_P(NumberFormat, WritesTheTextsPrintfWrites) {
    using number_format::fixed16;
    using number_format::fixed3;
    using number_format::g;
    using number_format::g_float;
    EXPECT_EQ(ours(g_float, 0.0f), "0");
    EXPECT_EQ(ours(g_float, -0.0f), "-0");
    EXPECT_EQ(ours(g_float, 0.1f), "0.1");
    EXPECT_EQ(ours(g_float, -2.5f), "-2.5");
    EXPECT_EQ(ours(g_float, 0.000123f), "0.000123");
    EXPECT_EQ(ours(g_float, 1.5e-5f), "1.5e-05");
    EXPECT_EQ(ours(g_float, 123456.0f), "123456");
    EXPECT_EQ(ours(g_float, 1234567.0f), "1.23457e+06");
    EXPECT_EQ(ours(g_float, 999999.5f), "1e+06");  // a tie rounding up to a new digit
    EXPECT_EQ(ours(g_float, 9.9999995f), "10");    // the float below 10 rounds to 10
    EXPECT_EQ(ours(g_float, 100000.5f), "100000"); // ties go to the even digit
    EXPECT_EQ(ours(g_float, 100001.5f), "100002");
    EXPECT_EQ(ours(g_float, 10000.25f), "10000.2");
    EXPECT_EQ(ours(g_float, 10000.75f), "10000.8");
    EXPECT_EQ(ours(g_float, 1e38f), "1e+38");
    EXPECT_EQ(ours(g_float, FLT_MAX), "3.40282e+38");
    EXPECT_EQ(ours(g_float, FLT_MIN), "1.17549e-38");
    EXPECT_EQ(ours(g_float, float_inf), "inf");
    EXPECT_EQ(ours(g_float, -float_inf), "-inf");
    EXPECT_EQ(ours(g_float, float_nan), "nan");
    EXPECT_EQ(ours(g_float, -float_nan), "-nan");

    EXPECT_EQ(ours(g, 1234565.0), "1.23456e+06");
    EXPECT_EQ(ours(g, 1234575.0), "1.23458e+06");
    EXPECT_EQ(ours(g, 0.1), "0.1");
    EXPECT_EQ(ours(g, 1e-300), "1e-300");
    EXPECT_EQ(ours(g, -DBL_MAX), "-1.79769e+308");

    EXPECT_EQ(ours(fixed16, 0.5), "0.5000000000000000");
    EXPECT_EQ(ours(fixed16, -1.0), "-1.0000000000000000");
    EXPECT_EQ(ours(fixed16, 1e20), "100000000000000000000.0000000000000000");
    EXPECT_EQ(ours(fixed16, double_inf), "             inf"); // padded to the field width
    EXPECT_EQ(ours(fixed16, -double_nan), "            -nan");
    EXPECT_EQ(ours(fixed3, 0.0625), "0.062");
    EXPECT_EQ(ours(fixed3, -0.0), "-0.000");
    EXPECT_EQ(ours(fixed3, 2.0), "2.000");

    EXPECT_EQ(ours(number_format::int32, INT32_MIN), "-2147483648");
    EXPECT_EQ(ours(number_format::int32, INT32_MAX), "2147483647");
    EXPECT_EQ(ours(number_format::int32, -7), "-7");
    EXPECT_EQ(ours(number_format::int32, 0), "0");
    EXPECT_EQ(ours(number_format::uint32, UINT32_MAX), "4294967295");
    EXPECT_EQ(ours(number_format::uint32, 10u), "10");
}

TEST_P(NumberFormat, EdgeValuesMatchPrintf) {
    std::vector<float> floats = {
        0.0f,           -0.0f,      std::numeric_limits<float>::denorm_min(),
        FLT_MIN,        1e-5f,      0.0001f,
        0.00001234565f, 123456.0f,  1234567.0f,
        999999.5f,      9.9999995f, 0.1f,
        0.5f,           2.5f,       1234565.0f,
        1e38f,          FLT_MAX,    -FLT_MAX,
        float_inf,      -float_inf, float_nan,
        -float_nan};
    std::vector<double> doubles = {
        0.0,           -0.0,       std::numeric_limits<double>::denorm_min(),
        DBL_MIN,       1e-5,       0.0001,
        0.00001234565, 1234565.0,  999999.5,
        0.5,           2.5,        1e38,
        DBL_MAX,       -DBL_MAX,   double_inf,
        -double_inf,   double_nan, -double_nan,
        0.0005,        0.0015,     2.0005,
        -0.0625};
    // Every power of ten with its neighbours: where the decimal exponent changes.
    for (int e = -45; e <= 38; ++e) {
        const float p = std::strtof(("1e" + std::to_string(e)).c_str(), nullptr);
        floats.insert(floats.end(), {p, std::nextafter(p, 0.0f), std::nextafter(p, float_inf)});
    }
    for (int e = -323; e <= 308; ++e) {
        const double p = std::strtod(("1e" + std::to_string(e)).c_str(), nullptr);
        doubles.insert(doubles.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, double_inf)});
    }
    for (const float f : floats)
        doubles.push_back(f);
    expect_like_printf(number_format::g_float, "%g", floats);
    expect_like_printf(number_format::g, "%g", doubles);
    expect_like_printf(number_format::fixed16, "%16.16f", doubles);
    expect_like_printf(number_format::fixed3, "%.3f", doubles);

    const std::vector<int32_t> ints = {0, 1, -1, 9, 10, 99, 100, -100, INT32_MIN, INT32_MAX};
    expect_like_printf(number_format::int32, "%d", ints);
    const std::vector<uint32_t> uints = {0u, 1u, 9u, 10u, 4294967295u, 2147483648u, 1000000000u};
    expect_like_printf(number_format::uint32, "%u", uints);
}

TEST_P(NumberFormat, RandomFloatsMatchPrintf) {
    std::mt19937 random(20240611);
    std::vector<float> floats(4000000 / sample_divisor);
    for (float& f : floats) { // every bit pattern: all exponents, subnormals, NaNs
        const uint32_t bits = random();
        std::memcpy(&f, &bits, sizeof f);
    }
    expect_like_printf(number_format::g_float, "%g", floats);

    floats.clear(); // what meshes hold: few decimals, thousandths, unit vectors
    for (int k = -1000000; k <= 1000000; k += 2 * sample_divisor)
        floats.insert(floats.end(), {k / 1000.0f, k / 100.0f, k * 0.001f});
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int i = 0; i < 1000000 / sample_divisor; ++i)
        floats.push_back(unit(random));
    expect_like_printf(number_format::g_float, "%g", floats);
}

TEST_P(NumberFormat, RandomDoublesMatchPrintf) {
    std::mt19937_64 random(20240612);
    std::vector<double> doubles(1000000 / sample_divisor);
    for (double& d : doubles) { // every bit pattern: all exponents, subnormals, NaNs
        const uint64_t bits = random();
        std::memcpy(&d, &bits, sizeof d);
    }
    expect_like_printf(number_format::g, "%g", doubles);
    doubles.resize(doubles.size() / 10); // their fixed texts run to hundreds of digits
    expect_like_printf(number_format::fixed16, "%16.16f", doubles);
    expect_like_printf(number_format::fixed3, "%.3f", doubles);

    doubles.clear(); // coordinates, some of them floats widened, some with few binary digits
    std::uniform_real_distribution<double> coordinate(-10000.0, 10000.0);
    for (int i = 0; i < 300000 / sample_divisor; ++i) {
        const double d = coordinate(random);
        doubles.insert(doubles.end(), {d, static_cast<float>(d), std::ldexp(std::round(d), -8)});
    }
    expect_like_printf(number_format::g, "%g", doubles);
    expect_like_printf(number_format::fixed16, "%16.16f", doubles);
    expect_like_printf(number_format::fixed3, "%.3f", doubles);
}

TEST_P(NumberFormat, RandomIntegersMatchPrintf) {
    std::mt19937 random(20240613);
    std::vector<uint32_t> uints(1000000 / sample_divisor);
    for (uint32_t& u : uints) // short numbers as often as long ones
        u = random() >> (random() % 32);
    std::vector<int32_t> ints;
    for (const uint32_t u : uints)
        ints.push_back(static_cast<int32_t>(u));
    expect_like_printf(number_format::uint32, "%u", uints);
    expect_like_printf(number_format::int32, "%d", ints);
}

} // namespace
