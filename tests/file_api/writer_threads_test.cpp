// Whole numeric arrays formatted on several threads: the text is byte for byte the text of the
// calling thread alone and the text of snprintf, at several thread counts, chunk sizes, array
// lengths (odd ones, around the threading threshold and around the 1 MiB piece of the writer)
// and indentations. Nothing here depends on timing.

#include "support/scene_memory.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using Threading = vtlScene_api_file::ArrayThreading;

const unsigned kThreadCounts[] = {1, 2, 3, 8};

// Element data of every numeric array type, from one seed: mixed magnitudes and signs, and
// some special values.
struct Values {
    std::vector<float> floats;
    std::vector<double> doubles;
    std::vector<int32_t> ints;

    Values(std::size_t n, unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
        std::uniform_int_distribution<int> exponent(-40, 40);
        std::uniform_int_distribution<int32_t> any_int(INT32_MIN, INT32_MAX);
        const float specials[] = {0.0f,    -0.0f,   1.0f,      -1.0f,    FLT_MAX,
                                  -FLT_MAX, 1e-45f, FLT_MIN,  123456.7f, 0.1f,
                                  std::numeric_limits<float>::quiet_NaN(),
                                  std::numeric_limits<float>::infinity()};
        floats.resize(n);
        doubles.resize(n);
        ints.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            if (i % 97 == 5) {
                floats[i] = specials[(i / 97) % (sizeof specials / sizeof specials[0])];
            } else {
                floats[i] = mantissa(random) * std::pow(10.0f, float(exponent(random) % 8));
            }
            doubles[i] = i % 89 == 3 ? double(floats[i]) * 1e200
                                     : double(mantissa(random)) * std::pow(10.0, exponent(random));
            ints[i] = i % 7 == 0 ? any_int(random) : int32_t(i) - 1000;
            if (i % 1013 == 11) ints[i] = INT32_MIN;
        }
    }
};

struct ArrayType {
    int t;
    std::size_t values_per_element;
    const char* name;
};
const ArrayType kTypes[] = {
    {vtl_type::color, 3, "color"},     {vtl_type::float4, 4, "float4"},
    {vtl_type::float1, 1, "float1"},   {vtl_type::double1, 1, "double1"},
    {vtl_type::vector, 3, "vector"},   {vtl_type::integer, 1, "integer"},
    {vtl_type::shader_id, 1, "shader_id"}, {vtl_type::boolean, 1, "boolean"},
};

const void* data_of(const Values& v, int t) {
    switch (t) {
    case vtl_type::color:
    case vtl_type::float4:
    case vtl_type::float1:
        return v.floats.data();
    case vtl_type::double1:
    case vtl_type::vector:
        return v.doubles.data();
    default:
        return v.ints.data();
    }
}

std::string printf_text(const char* format, double value) {
    char text[512];
    int n = std::snprintf(text, sizeof text, format, value);
    return std::string(text, std::size_t(n));
}
std::string printf_int(int32_t value) {
    char text[32];
    int n = std::snprintf(text, sizeof text, "%d", value);
    return std::string(text, std::size_t(n));
}
float finite_float(float v) {
    return (v > -FLT_MAX && v < FLT_MAX) ? v : -1.0f;
}
double finite_double(double v) {
    return (v > -double(FLT_MAX) && v < double(FLT_MAX)) ? v : -1.0;
}

// The array as snprintf prints it: "[ ", elements separated by ",", a blank after the last, a
// line break and the indentation after element 8 and every eighth after it, "] ".
std::string reference_array(int t, const void* data, uint32_t n, unsigned indent) {
    const float* f = static_cast<const float*>(data);
    const double* d = static_cast<const double*>(data);
    const int32_t* k = static_cast<const int32_t*>(data);
    std::string text = "[ ";
    for (uint32_t i = 0; i < n; ++i) {
        switch (t) {
        case vtl_type::color:
            text += printf_text("%g", f[3 * i]) + ' ' + printf_text("%g", f[3 * i + 1]) + ' ' +
                    printf_text("%g", f[3 * i + 2]);
            break;
        case vtl_type::float4:
            for (int c = 0; c < 4; ++c)
                text += (c ? " " : "") + printf_text("%g", f[4 * i + c]);
            break;
        case vtl_type::float1:
            text += printf_text("%g", finite_float(f[i]));
            break;
        case vtl_type::double1:
            text += printf_text("%16.16f", finite_double(d[i]));
            break;
        case vtl_type::vector:
            text += printf_text("%g", d[3 * i]) + ' ' + printf_text("%g", d[3 * i + 1]) + ' ' +
                    printf_text("%g", d[3 * i + 2]);
            break;
        case vtl_type::boolean:
            text += k[i] != 0 ? '1' : '0';
            break;
        default:
            text += printf_int(k[i]);
            break;
        }
        text += i + 1 < n ? ',' : ' ';
        if (i > 0 && i % 8 == 0) text += '\n' + std::string(indent, ' ');
    }
    return text + "] ";
}

// One array parameter inside an object's geometry (indented by two blanks, or not at all).
std::string write_array(int t, const void* data, uint32_t n, const Threading& threading,
                        bool indented) {
    return write_scene(
        [&](vtlScene_api_file& w) {
            w.set_array_threading(threading);
            w.begin_object("part", false);
            w.begin_geometry("triangles");
            vtlArray array{data, n};
            w.set_parameter("values", vtl_type::array_of(t), &array);
            w.end_geometry();
            w.end_object();
        },
        false, indented ? 1u : vtlScene_api_file::kInitialFlags);
}

std::string expected_scene(int t, const void* data, uint32_t n, bool indented) {
    const unsigned indent = indented ? 2 : 0;
    const std::string one(indented ? 1 : 0, ' ');
    const std::string two(indent, ' ');
    return "#define object \"part\" {\n" + one + "geometry \"triangles\" {\n" + two +
           "\"values\" " + reference_array(t, data, n, indent) + ",\n" + one + "}\n}\n";
}

// Lengths that are not a multiple of anything, and the edges of the eight-element lines.
const uint32_t kOddLengths[] = {0, 1, 2, 7, 8, 9, 10, 16, 17, 25, 61, 127, 1009, 4099};

TEST(WriterThreads, SmallChunksGiveTheSameTextAtEveryThreadCount) {
    const Values values(4099 * 4, 7);
    // Tiny chunks (8 to 23 elements) put many chunk boundaries inside every line.
    const std::size_t chunk_bytes[] = {1, 8 * 60, 23 * 14, 1000};
    for (const ArrayType& type : kTypes) {
        const void* data = data_of(values, type.t);
        for (uint32_t n : kOddLengths) {
            for (bool indented : {true, false}) {
                const std::string expected = expected_scene(type.t, data, n, indented);
                ASSERT_EQ(write_array(type.t, data, n, Threading{1, 0, 1000}, indented), expected)
                    << type.name << " n=" << n;
                for (unsigned threads : kThreadCounts)
                    for (std::size_t bytes : chunk_bytes)
                        ASSERT_EQ(write_array(type.t, data, n, Threading{threads, 0, bytes},
                                              indented),
                                  expected)
                            << type.name << " n=" << n << " threads=" << threads
                            << " chunk_bytes=" << bytes << " indented=" << indented;
            }
        }
    }
}

TEST(WriterThreads, DefaultSettingsAroundTheThreshold) {
    const std::size_t threshold = vtlScene_api_file::kThreadedMinValues;
    const Values values(threshold + 8, 11);
    struct Case {
        int t;
        uint32_t n;
    };
    const Case cases[] = {
        {vtl_type::integer, uint32_t(threshold - 1)},
        {vtl_type::integer, uint32_t(threshold)},
        {vtl_type::integer, uint32_t(threshold + 1)},
        {vtl_type::integer, uint32_t(threshold + 7)},
        {vtl_type::color, uint32_t((threshold - 1) / 3)}, // the last count below
        {vtl_type::color, uint32_t((threshold + 2) / 3)}, // the first count at or above
        {vtl_type::color, uint32_t((threshold + 2) / 3 + 1)},
        {vtl_type::float1, uint32_t(threshold + 3)},
    };
    for (const Case& c : cases) {
        const void* data = data_of(values, c.t);
        const std::string expected = expected_scene(c.t, data, c.n, true);
        for (unsigned threads : kThreadCounts) {
            Threading threading{threads, threshold, vtlScene_api_file::kChunkBytes};
            ASSERT_EQ(write_array(c.t, data, c.n, threading, true), expected)
                << "t=" << c.t << " n=" << c.n << " threads=" << threads;
        }
    }
}

// The calling thread's path writes a whole array in pieces of at most 1,048,574 bytes; arrays
// whose text ends just below, at and just above such a piece come out the same on threads.
TEST(WriterThreads, ArraysAroundTheMegabytePiece) {
    // Seven-digit integers: eight bytes an element with its comma, plus the line breaks.
    std::vector<int32_t> ints(140000);
    for (std::size_t i = 0; i < ints.size(); ++i)
        ints[i] = 1000000 + int32_t((i * 7919) % 9000000);
    // The first length whose array text is longer than one piece.
    const std::size_t piece = 1048574;
    uint32_t first_over = 0;
    for (std::size_t size = 4, i = 0; size <= piece; ++i) {
        size += printf_int(ints[i]).size() + 1 + (i > 0 && i % 8 == 0 ? 3 : 0);
        first_over = uint32_t(i + 1);
    }
    ASSERT_GT(reference_array(vtl_type::integer, ints.data(), first_over, 2).size(), piece);
    ASSERT_LE(reference_array(vtl_type::integer, ints.data(), first_over - 1, 2).size(), piece);
    const uint32_t lengths[] = {first_over - 2, first_over - 1, first_over, first_over + 1,
                                139999};
    for (uint32_t n : lengths) {
        const std::string expected = expected_scene(vtl_type::integer, ints.data(), n, true);
        ASSERT_EQ(write_array(vtl_type::integer, ints.data(), n, Threading{1, 0, 1}, true),
                  expected)
            << n;
        for (unsigned threads : kThreadCounts)
            for (std::size_t bytes : {piece, std::size_t(65536 + 3)})
                ASSERT_EQ(write_array(vtl_type::integer, ints.data(), n,
                                      Threading{threads, 1, bytes}, true),
                          expected)
                    << n << " threads=" << threads << " chunk_bytes=" << bytes;
    }
    const Values values(100003 * 3, 3);
    // A colour array whose text crosses several pieces, on three threads in odd chunks.
    const uint32_t n = 100003;
    const std::string expected = expected_scene(vtl_type::color, values.floats.data(), n, true);
    ASSERT_GT(expected.size(), 2u * 1048574u);
    ASSERT_EQ(write_array(vtl_type::color, values.floats.data(), n, Threading{3, 1, 77777}, true),
              expected);
}

// Block form (inside an object) and a captured anonymous shader keep their own text.
TEST(WriterThreads, BlockFormAndCapturedShaders) {
    const Values values(5000, 5);
    for (unsigned threads : kThreadCounts) {
        auto calls = [&](const Threading& threading) {
            return [&values, threading](vtlScene_api_file& w) {
                w.set_array_threading(threading);
                vtlArray array{values.floats.data(), 1201};
                w.begin_group("g", true);
                w.set_parameter("block", vtl_type::array_of(vtl_type::color), &array);
                w.begin_shader(nullptr, "captured");
                w.set_parameter("inner", vtl_type::array_of(vtl_type::float1), &array);
                w.end_shader();
                w.set_shader(0, w.get_shader());
                w.end_group();
            };
        };
        EXPECT_EQ(write_scene(calls(Threading{threads, 0, 100})),
                  write_scene(calls(Threading{1, 0, 100})))
            << threads;
    }
}

} // namespace
