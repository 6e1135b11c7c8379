// The number texts against hand-written expectations and against the C library's printf in the
// "C" locale, once with the process in the "C" locale and once in a decimal-comma locale.

#include "file_api/number_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
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

// The text printf writes for one value in the "C" locale: in the decimal-comma locale its
// comma is read back as the point (these formats write no other comma).
template <class T> std::string reference(const char* format, T value) {
    char text[vtl::number_format::max_chars + 1];
#ifdef _WIN32
    // mingw-w64's printf drops the sign of a NaN; the reference is the C library's text
    // elsewhere, "-nan", which the Scene files hold on every platform.
    bool negative_nan = false;
    if constexpr (std::is_floating_point<T>::value) {
        negative_nan = std::isnan(value) && std::signbit(value);
        if (negative_nan) value = std::fabs(value);
    }
#endif
    const int length = std::snprintf(text, sizeof text, format, value);
    std::string printed(text, length < 0 ? 0 : static_cast<std::size_t>(length));
    std::replace(printed.begin(), printed.end(), ',', '.');
#ifdef _WIN32
    const std::size_t nan = printed.find("nan");
    if (negative_nan && nan != std::string::npos) {
        if (nan > 0 && printed[nan - 1] == ' ')
            printed[nan - 1] = '-';
        else
            printed.insert(nan, "-");
    }
#endif
    return printed;
}

// The text one of our functions writes for one value.
template <class T> std::string ours(char* (*format)(char*, T), T value) {
    char text[vtl::number_format::max_chars];
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
            const std::string expected = reference(printf_format, value);
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
            return reference("%a", static_cast<double>(value));
        return reference("%lld", static_cast<long long>(value));
    }
};

INSTANTIATE_TEST_SUITE_P(Locales, NumberFormat, ::testing::Values(c_locale, decimal_comma));

TEST_P(NumberFormat, EdgeValuesMatchPrintf) {
    // Ties go to the even digit (100000.5, 10000.25), or round up to a new digit (999999.5).
    std::vector<float> floats = {0.0f,       -0.0f,      std::numeric_limits<float>::denorm_min(),
                                 FLT_MIN,    1e-5f,      0.0001f,
                                 123456.0f,  1234567.0f, 0.00001234565f,
                                 999999.5f,  9.9999995f, 100000.5f,
                                 100001.5f,  10000.25f,  10000.75f,
                                 0.1f,       0.5f,       2.5f,
                                 1234565.0f, 1e38f,      FLT_MAX,
                                 -FLT_MAX,   float_inf,  -float_inf,
                                 float_nan,  -float_nan};
    std::vector<double> doubles = {
        0.0,           -0.0,        std::numeric_limits<double>::denorm_min(),
        DBL_MIN,       1e-5,        0.0001,
        0.00001234565, 1234565.0,   1234575.0,
        999999.5,      0.5,         2.5,
        1e38,          DBL_MAX,     -DBL_MAX,
        double_inf,    -double_inf, double_nan,
        -double_nan,   0.0005,      0.0015,
        2.0005,        -0.0625};
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
    expect_like_printf(vtl::number_format::g_float, "%g", floats);
    expect_like_printf(vtl::number_format::g, "%g", doubles);
    expect_like_printf(vtl::number_format::fixed16, "%16.16f", doubles);
    expect_like_printf(vtl::number_format::fixed3, "%.3f", doubles);

    const std::vector<int32_t> ints = {0, 1, -1, 9, 10, 99, 100, -100, INT32_MIN, INT32_MAX};
    expect_like_printf(vtl::number_format::int32, "%d", ints);
    const std::vector<uint32_t> uints = {0u, 1u, 9u, 10u, 4294967295u, 2147483648u, 1000000000u};
    expect_like_printf(vtl::number_format::uint32, "%u", uints);
}

TEST_P(NumberFormat, RandomFloatsMatchPrintf) {
    std::mt19937 random(20240611);
    std::vector<float> floats(4000000 / sample_divisor);
    for (float& f : floats) { // every bit pattern: all exponents, subnormals, NaNs
        const uint32_t bits = random();
        std::memcpy(&f, &bits, sizeof f);
    }
    expect_like_printf(vtl::number_format::g_float, "%g", floats);

    floats.clear(); // what meshes hold: few decimals, thousandths, unit vectors
    for (int k = -1000000; k <= 1000000; k += 2 * sample_divisor)
        floats.insert(floats.end(), {k / 1000.0f, k / 100.0f, k * 0.001f});
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int i = 0; i < 1000000 / sample_divisor; ++i)
        floats.push_back(unit(random));
    expect_like_printf(vtl::number_format::g_float, "%g", floats);
}

TEST_P(NumberFormat, RandomDoublesMatchPrintf) {
    std::mt19937_64 random(20240612);
    std::vector<double> doubles(1000000 / sample_divisor);
    for (double& d : doubles) { // every bit pattern: all exponents, subnormals, NaNs
        const uint64_t bits = random();
        std::memcpy(&d, &bits, sizeof d);
    }
    expect_like_printf(vtl::number_format::g, "%g", doubles);
    doubles.resize(doubles.size() / 10); // their fixed texts run to hundreds of digits
    expect_like_printf(vtl::number_format::fixed16, "%16.16f", doubles);
    expect_like_printf(vtl::number_format::fixed3, "%.3f", doubles);

    doubles.clear(); // coordinates, some of them floats widened, some with few binary digits
    std::uniform_real_distribution<double> coordinate(-10000.0, 10000.0);
    for (int i = 0; i < 300000 / sample_divisor; ++i) {
        const double d = coordinate(random);
        doubles.insert(doubles.end(), {d, static_cast<float>(d), std::ldexp(std::round(d), -8)});
    }
    expect_like_printf(vtl::number_format::g, "%g", doubles);
    expect_like_printf(vtl::number_format::fixed16, "%16.16f", doubles);
    expect_like_printf(vtl::number_format::fixed3, "%.3f", doubles);
}

TEST_P(NumberFormat, RandomIntegersMatchPrintf) {
    std::mt19937 random(20240613);
    std::vector<uint32_t> uints(1000000 / sample_divisor);
    for (uint32_t& u : uints) // short numbers as often as long ones
        u = random() >> (random() % 32);
    std::vector<int32_t> ints;
    for (const uint32_t u : uints)
        ints.push_back(static_cast<int32_t>(u));
    expect_like_printf(vtl::number_format::uint32, "%u", uints);
    expect_like_printf(vtl::number_format::int32, "%d", ints);
}

} // namespace
