// The chunk pipeline: chunks reach the writer in order, failures on any thread reach the caller,
// and no thread is left running when a run returns or throws. Nothing here depends on timing.

#include "file_api/chunk_pipeline.h"
#include "support/thread_count.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using vtl::chunk_pipeline::ChunkPipeline;
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
    const char* saved = std::getenv("SCENEAPI_THREADS");
    const std::string kept = saved ? saved : "";
    for (const auto& [value, expected] : cases) {
        setenv("SCENEAPI_THREADS", value, 1);
        EXPECT_EQ(vtl::chunk_pipeline::default_threads(), expected) << "\"" << value << "\"";
    }
    if (saved)
        setenv("SCENEAPI_THREADS", kept.c_str(), 1);
    else
        unsetenv("SCENEAPI_THREADS");
}

} // namespace
