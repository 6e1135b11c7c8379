// The chunk pipeline: chunks reach the writer in order, failures on any thread reach the caller,
// and no thread is left running when a run returns or throws. Nothing here depends on timing.

#include "file_api/chunk_pipeline.h"
#include "support/thread_count.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using chunk_pipeline::ChunkPipeline;

using test_support::settle_threads;
using test_support::thread_count;

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
    for (unsigned threads : {1u, 2u, 3u, 8u, 64u, 200u}) {
        for (std::size_t chunks :
             {std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(7), std::size_t(1001)}) {
            settle_threads();
            const int before = thread_count();
            ChunkPipeline pipeline;
            std::string out;
            std::mutex seen_lock;
            std::set<std::thread::id> seen;
            pipeline.run(
                threads, chunks, 64,
                [&](std::size_t k, char* p) {
                    {
                        std::lock_guard<std::mutex> held(seen_lock);
                        seen.insert(std::this_thread::get_id());
                    }
                    return format_chunk(k, p);
                },
                [&](const char* data, std::size_t size) { out.append(data, size); });
            EXPECT_EQ(out, expected_text(chunks)) << threads << " threads, " << chunks;
            EXPECT_LE(seen.size(), std::size_t(threads));
            EXPECT_EQ(thread_count(), before) << "a thread outlived the run";
        }
    }
}

// The same pipeline runs again with its kept buffers, and with bigger ones.
TEST(ChunkPipeline, RunsAgainWithItsBuffers) {
    ChunkPipeline pipeline;
    for (std::size_t bytes : {64, 32, 4096}) {
        std::string out;
        pipeline.run(3, 100, bytes, format_chunk,
                     [&](const char* data, std::size_t size) { out.append(data, size); });
        EXPECT_EQ(out, expected_text(100));
    }
}

TEST(ChunkPipeline, AFormattingFailureReachesTheCaller) {
    for (unsigned threads : {1u, 2u, 3u, 8u}) {
        for (std::size_t failing : {std::size_t(0), std::size_t(5), std::size_t(99)}) {
            settle_threads();
            const int before = thread_count();
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
            // What was written is a run of whole chunks from the start, none at or past the
            // failing one.
            const std::string before_failure = expected_text(failing);
            EXPECT_LE(out.size(), before_failure.size());
            EXPECT_EQ(out, before_failure.substr(0, out.size()));
            EXPECT_EQ(thread_count(), before) << "a thread outlived the run";
        }
    }
}

TEST(ChunkPipeline, AnAllocationFailureInAHelperReachesTheCaller) {
    ChunkPipeline pipeline;
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> thrown{false};
    bool caught = false;
    try {
        pipeline.run(
            2, 1000, 64,
            [&](std::size_t k, char* p) -> char* {
                // The first chunk a helper takes fails; the caller's chunks go on.
                if (std::this_thread::get_id() != caller && !thrown.exchange(true))
                    throw std::bad_alloc();
                return format_chunk(k, p);
            },
            [](const char*, std::size_t) {});
    } catch (const std::bad_alloc&) {
        caught = true;
    }
    // Where the helper got no chunk at all (the caller took all 1000 first), nothing failed.
    EXPECT_EQ(caught, thrown.load());
}

TEST(ChunkPipeline, AWriteFailureStopsTheRun) {
    for (unsigned threads : {1u, 2u, 8u}) {
        settle_threads();
        const int before = thread_count();
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
    struct Case {
        const char* value;
        unsigned expected; // 0: the system's core count
    };
    const unsigned cores = std::thread::hardware_concurrency();
    const Case cases[] = {{"1", 1},  {"3", 3},   {"8", 8},  {"1000", 64}, {"0", 0},
                          {"-2", 0}, {"two", 0}, {"4x", 0}, {"", 0}};
    const char* saved = std::getenv("SCENEAPI_THREADS");
    const std::string kept = saved ? saved : "";
    for (const Case& c : cases) {
        setenv("SCENEAPI_THREADS", c.value, 1);
        const unsigned expected = c.expected ? c.expected
                                             : (cores < 1    ? 1
                                                : cores > 64 ? 64
                                                             : cores);
        EXPECT_EQ(chunk_pipeline::default_threads(), expected) << "\"" << c.value << "\"";
    }
    if (saved)
        setenv("SCENEAPI_THREADS", kept.c_str(), 1);
    else
        unsetenv("SCENEAPI_THREADS");
}

} // namespace
