// Whole numeric arrays formatted on several threads: the text is byte for byte the text of the
// calling thread alone and the text of snprintf, at several thread counts, chunk sizes, array
// lengths (odd ones, around the threading threshold and around the 1 MiB piece of the writer)
// and indentations. Under them the chunk pipeline: chunks reach the writer in order, failures on
// any thread reach the caller, and no thread is left running when a run returns or throws.
// Nothing here depends on timing.

#include "file_api/chunk_pipeline.h"
#include "support/scene_memory.h"
#include "support/scoped_variable.h"
#include "support/thread_count.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Threading = vtlScene_api_file::ArrayThreading;
using test_support::ScopedVariable;
using test_support::settle_threads;
using test_support::thread_count;
using vtl::chunk_pipeline::ChunkPipeline;

// Element data of every numeric array type, from one seed: mixed magnitudes and signs, and
// some special values.
struct Values {
    std::vector<float> floats;
    std::vector<double> doubles;
    std::vector<int32_t> ints;

    Values(std::size_t n, unsigned seed) : floats(n), doubles(n), ints(n) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
        std::uniform_int_distribution<int> exponent(-40, 40);
        std::uniform_int_distribution<int32_t> any_int(INT32_MIN, INT32_MAX);
        const float inf = std::numeric_limits<float>::infinity();
        const float specials[] = {0.0f,   -0.0f,   1.0f,      -1.0f, FLT_MAX,       -FLT_MAX,
                                  1e-45f, FLT_MIN, 123456.7f, 0.1f,  std::nanf(""), inf};
        for (std::size_t i = 0; i < n; ++i) {
            floats[i] = i % 97 == 5
                            ? specials[(i / 97) % 12]
                            : mantissa(random) * std::pow(10.0f, float(exponent(random) % 8));
            doubles[i] = i % 89 == 3 ? double(floats[i]) * 1e200
                                     : double(mantissa(random)) * std::pow(10.0, exponent(random));
            ints[i] = i % 1013 == 11 ? INT32_MIN : i % 7 == 0 ? any_int(random) : int32_t(i) - 1000;
        }
    }
};

const int kTypes[] = {vtl_type::color,  vtl_type::float4,  vtl_type::float1,    vtl_type::double1,
                      vtl_type::vector, vtl_type::integer, vtl_type::shader_id, vtl_type::boolean};

const void* data_of(const Values& v, int t) {
    if (t == vtl_type::color || t == vtl_type::float4 || t == vtl_type::float1)
        return v.floats.data();
    if (t == vtl_type::double1 || t == vtl_type::vector) return v.doubles.data();
    return v.ints.data();
}

template <typename T> std::string print(const char* format, T value) {
    char text[512];
    return std::string(text, std::size_t(std::snprintf(text, sizeof text, format, value)));
}

// Element i as snprintf prints it; floats outside the finite float range print -1.
std::string reference_element(int t, const void* data, uint32_t i) {
    const float* f = static_cast<const float*>(data);
    const double* d = static_cast<const double*>(data);
    const int32_t* k = static_cast<const int32_t*>(data);
    auto finite = [](double v) { return v > -double(FLT_MAX) && v < double(FLT_MAX) ? v : -1.0; };
    auto g_values = [i](std::size_t count, auto value) {
        std::string text;
        for (std::size_t c = 0; c < count; ++c)
            text += (c ? " " : "") + print("%g", double(value(count * i + c)));
        return text;
    };
    switch (t) {
    case vtl_type::color:
    case vtl_type::float4:
        return g_values(t == vtl_type::color ? 3 : 4, [f](std::size_t j) { return f[j]; });
    case vtl_type::float1:
        return print("%g", finite(f[i]));
    case vtl_type::double1:
        return print("%16.16f", finite(d[i]));
    case vtl_type::vector:
        return g_values(3, [d](std::size_t j) { return d[j]; });
    case vtl_type::boolean:
        return k[i] != 0 ? "1" : "0";
    default:
        return print("%d", k[i]);
    }
}

// The array as snprintf prints it: "[ ", elements separated by ",", a blank after the last, a
// line break and the indentation after element 8 and every eighth after it, "] ".
std::string reference_array(int t, const void* data, uint32_t n, unsigned indent) {
    std::string text = "[ ";
    for (uint32_t i = 0; i < n; ++i) {
        text += reference_element(t, data, i) + (i + 1 < n ? ',' : ' ');
        if (i > 0 && i % 8 == 0) text += '\n' + std::string(indent, ' ');
    }
    return text + "] ";
}

// One array parameter inside an object's geometry, indented by two blanks or, with a new
// writer's own flags, not at all; with the given threading or a new writer's own.
std::string write_array(int t, const void* data, uint32_t n, const Threading* threading,
                        bool indented) {
    return write_scene(
        [&](vtlScene_api_file& w) {
            if (threading) w.set_array_threading(*threading);
            w.begin_object("part", false);
            w.begin_geometry("triangles");
            vtlArray array{data, n};
            w.set_parameter("values", vtl_type::array_of(t), &array);
            w.end_geometry();
            w.end_object();
        },
        false, 1, indented);
}

std::string expected_scene(int t, const void* data, uint32_t n, bool indented) {
    const std::string one(indented ? 1 : 0, ' ');
    return "#define object \"part\" {\n" + one + "geometry \"triangles\" {\n" + one + one +
           "\"values\" " + reference_array(t, data, n, indented ? 2 : 0) + ",\n" + one + "}\n}\n";
}

// The array at 2, 3 and 8 threads in chunks of each size, and on the calling thread alone: the
// text snprintf gives every time.
void expect_like_snprintf(int t, const void* data, uint32_t n, bool indented,
                          std::size_t min_values, std::initializer_list<std::size_t> chunk_bytes) {
    const std::string expected = expected_scene(t, data, n, indented);
    const Threading one{1, 0, 1000};
    ASSERT_EQ(write_array(t, data, n, &one, indented), expected) << "t=" << t << " n=" << n;
    for (unsigned threads : {2u, 3u, 8u})
        for (std::size_t bytes : chunk_bytes) {
            const Threading threading{threads, min_values, bytes};
            ASSERT_EQ(write_array(t, data, n, &threading, indented), expected)
                << "t=" << t << " n=" << n << " threads=" << threads << " chunk_bytes=" << bytes
                << " indented=" << indented;
        }
}

TEST(WriterThreads, OddLengthsInSmallChunksOfEveryElementType) {
    const Values values(4099 * 4, 7);
    for (int t : kTypes)
        // Lengths that are not a multiple of anything, and the edges of the eight-element lines,
        // in chunks of 8 to 23 elements: many chunk boundaries inside every line.
        for (uint32_t n : {0, 1, 2, 7, 8, 9, 10, 16, 17, 25, 61, 127, 1009, 4099})
            for (bool indented : {true, false})
                expect_like_snprintf(t, data_of(values, t), n, indented, 0,
                                     {1, 8 * 60, 23 * 14, 1000});
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
        size += print("%d", ints[i]).size() + 1 + (i > 0 && i % 8 == 0 ? 3 : 0);
        first_over = uint32_t(i + 1);
    }
    ASSERT_GT(reference_array(vtl_type::integer, ints.data(), first_over, 2).size(), piece);
    ASSERT_LE(reference_array(vtl_type::integer, ints.data(), first_over - 1, 2).size(), piece);
    for (uint32_t n : {first_over - 2, first_over - 1, first_over, first_over + 1, 139999u})
        expect_like_snprintf(vtl_type::integer, ints.data(), n, true, 1, {piece, 65536 + 3});
    // A colour array whose text crosses several pieces, on three threads in odd chunks.
    const Values values(100003 * 3, 3);
    const std::string expected =
        expected_scene(vtl_type::color, values.floats.data(), 100003, true);
    ASSERT_GT(expected.size(), 2u * piece);
    const Threading odd{3, 1, 77777};
    ASSERT_EQ(write_array(vtl_type::color, values.floats.data(), 100003, &odd, true), expected);
}

// Block form (inside a group) and a captured anonymous shader keep their own text.
TEST(WriterThreads, BlockFormAndCapturedShaders) {
    const Values values(5000, 5);
    auto calls = [&values](unsigned threads) {
        return [&values, threads](vtlScene_api_file& w) {
            w.set_array_threading(Threading{threads, 0, 100});
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
    for (unsigned threads : {2u, 3u, 8u})
        EXPECT_EQ(write_scene(calls(threads)), write_scene(calls(1))) << threads;
}

// Chunk k is "<k>:" followed by k % 13 letters.
char* format_chunk(std::size_t k, char* p) {
    p += std::sprintf(p, "%zu:", k);
    for (std::size_t i = 0; i < k % 13; ++i)
        *p++ = char('a' + i);
    return p;
}
std::string expected_text(std::size_t chunks) {
    std::string text;
    char buffer[64];
    for (std::size_t k = 0; k < chunks; ++k)
        text.append(buffer, format_chunk(k, buffer));
    return text;
}

TEST(ChunkPipeline, ChunksAreWrittenInOrderAtEveryThreadCount) {
    settle_threads();
    const int before = thread_count();
    ChunkPipeline pipeline; // runs again with its kept buffers, smaller and bigger ones
    std::size_t run = 0;
    for (unsigned threads : {1u, 2u, 3u, 8u, 64u, 200u}) {
        for (std::size_t chunks : {0, 1, 2, 7, 1001}) {
            std::string out;
            std::mutex seen_lock;
            std::set<std::thread::id> seen;
            const std::size_t slot_bytes[] = {64, 32, 4096};
            pipeline.run(
                threads, chunks, slot_bytes[run++ % 3],
                [&](std::size_t k, char* p) {
                    std::lock_guard<std::mutex> held(seen_lock);
                    seen.insert(std::this_thread::get_id());
                    return format_chunk(k, p);
                },
                [&](const char* data, std::size_t size) { out.append(data, size); });
            EXPECT_EQ(out, expected_text(chunks)) << threads << " threads, " << chunks;
            EXPECT_LE(seen.size(), std::size_t(threads));
            EXPECT_EQ(thread_count(), before) << "a thread outlived the run";
        }
    }
}

TEST(ChunkPipeline, MemoryMadeReadyInPartsKeepsItsContent) {
    settle_threads();
    const int before = thread_count();
    // Less than one part, and two and five parts with an odd tail, from an odd address.
    for (std::size_t bytes :
         {std::size_t(4099), (std::size_t(8) << 20) + 3, (std::size_t(20) << 20) + 1}) {
        std::vector<char> memory(bytes + 1);
        for (std::size_t i = 0; i < memory.size(); ++i)
            memory[i] = static_cast<char>(i * 7 + 1);
        const std::vector<char> kept = memory;
        for (unsigned threads : {1u, 2u, 3u, 8u}) {
            vtl::chunk_pipeline::prepare_in_parts(memory.data() + 1, bytes, threads);
            EXPECT_TRUE(memory == kept) << bytes << " bytes, " << threads << " threads";
            EXPECT_EQ(thread_count(), before) << "a thread outlived the preparation";
        }
    }
}

TEST(ChunkPipeline, AFailureInAFormatOrAWriteReachesTheCallerAndStopsTheRun) {
    settle_threads();
    const int before = thread_count();
    for (unsigned threads : {1u, 2u, 3u, 8u}) {
        for (std::size_t failing : {0, 5, 99}) {
            ChunkPipeline pipeline;
            std::string out;
            try {
                pipeline.run(
                    threads, 100, 64,
                    [&](std::size_t k, char* p) -> char* {
                        if (k == failing) throw std::runtime_error("chunk failed");
                        return format_chunk(k, p);
                    },
                    [&](const char* data, std::size_t size) { out.append(data, size); });
                ADD_FAILURE() << "no exception, threads " << threads;
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "chunk failed");
            }
            // A run of whole chunks from the start, none at or past the failing one.
            const std::string before_failure = expected_text(failing);
            EXPECT_LE(out.size(), before_failure.size());
            EXPECT_EQ(out, before_failure.substr(0, out.size()));
            EXPECT_EQ(thread_count(), before) << "a thread outlived the run";
        }
        ChunkPipeline pipeline;
        std::size_t writes = 0;
        EXPECT_THROW(pipeline.run(threads, 500, 64, format_chunk,
                                  [&](const char*, std::size_t) {
                                      if (++writes == 3) throw std::runtime_error("disk full");
                                  }),
                     std::runtime_error);
        EXPECT_EQ(writes, 3u);
        EXPECT_EQ(thread_count(), before);
    }
}

TEST(ChunkPipeline, ThreadCountFromTheEnvironment) {
    const unsigned cores = std::thread::hardware_concurrency();
    const unsigned system = cores < 1 ? 1 : cores > 64 ? 64 : cores;
    const std::pair<const char*, unsigned> cases[] = {
        {"1", 1},       {"3", 3},        {"8", 8},       {"1000", 64}, {"0", system},
        {"-2", system}, {"two", system}, {"4x", system}, {"", system}};
    for (const auto& [value, expected] : cases) {
        ScopedVariable variable("SCENEAPI_THREADS", value);
        // A new writer takes that count, with the threshold and chunk size its header names.
        Threading taken{};
        write_scene([&taken](vtlScene_api_file& w) { taken = w.array_threading(); });
        EXPECT_EQ(taken.threads, expected) << "\"" << value << "\"";
        EXPECT_EQ(taken.min_values, vtlScene_api_file::kThreadedMinValues);
        EXPECT_EQ(taken.chunk_bytes, vtlScene_api_file::kChunkBytes);
    }
}

} // namespace
