#pragma once
// The library's threads. A long text is formatted in numbered chunks on several threads and the
// chunks are handed, in order, to one writer on the calling thread: while one chunk is written
// the next ones are formatted. The fresh memory of a big array is made ready in parts at once.
//
// The threads live only inside ChunkPipeline::run and prepare_in_parts: they are started there and
// joined before it returns, whether it returns or throws, so no thread of the library outlives
// the call that needed it (the library lives inside other programs and may be unloaded between
// two calls).

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace vtl::chunk_pipeline {

// The thread count of the process: SCENEAPI_THREADS when it holds a number from 1 up (1: no
// thread is started), else the number of cores the system reports (at least 1, at most 64).
unsigned default_threads();

// Backs the pages of [begin, begin + bytes), memory about to be filled, in up to `threads`
// contiguous parts at once, the calling thread among them. A page of fresh memory costs a fault
// on its first write, most of the time of copying a big array into it; several cores take
// those faults side by side. Small ranges, and parts no thread could be started for, are made
// ready on the calling thread.
void prepare_in_parts(void* begin, std::size_t bytes, unsigned threads);

// Formats chunk `index` into `buffer` (room for the run's slot_bytes) and returns its end.
using FormatFn = std::function<char*(std::size_t index, char* buffer)>;
// Writes a formatted chunk; called on the calling thread only, in chunk order.
using WriteFn = std::function<void(const char* data, std::size_t size)>;

class ChunkPipeline {
public:
    ChunkPipeline() = default;
    ~ChunkPipeline() = default;
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    // Formats chunks 0 .. chunks - 1 with up to `threads` threads, the calling thread among
    // them, and writes each one with `write` in order. A chunk must not need more than
    // `slot_bytes` bytes. The slot buffers are allocated here (on the calling thread) and kept
    // for the next run. When a thread cannot be started the run goes on with fewer.
    // The first exception thrown by `format` (on any thread) or by `write` is rethrown here
    // after every thread has been joined; the chunks after the failing one are then not
    // written.
    void run(unsigned threads, std::size_t chunks, std::size_t slot_bytes, const FormatFn& format,
             const WriteFn& write);

    // Bytes held by the slot buffers between runs.
    std::size_t held_bytes() const { return slots_.size() * slot_bytes_; }

private:
    void reserve_slots(std::size_t count, std::size_t bytes);

    std::vector<std::unique_ptr<char[]>> slots_;
    std::size_t slot_bytes_ = 0;
};

} // namespace vtl::chunk_pipeline
