#include "file_api/chunk_pipeline.h"

#include "platform/memory.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace vtl::chunk_pipeline {

namespace {

constexpr unsigned kMaxThreads = 64;
// Fewest chunk buffers of a run with more than one thread.
constexpr std::size_t kMinSlots = 16;
// Fewest bytes of fresh memory a thread is started for: starting one costs about as much as
// backing a few hundred kilobytes.
constexpr std::size_t kMinPreparePart = std::size_t(4) << 20;

// What the threads of one run share, under one lock. Chunk k is formatted into slot k % slots;
// it may be claimed once chunk k - slots has been written, so a slot is never overwritten
// before its text has gone out.
struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    std::size_t chunks = 0;
    std::size_t next = 0;           // the next chunk to claim
    std::size_t written = 0;        // chunks written so far
    std::vector<std::size_t> ready; // per slot: 1 + the chunk formatted into it, 0 for none
    std::vector<char*> buffers;
    std::vector<char*> ends;
    std::exception_ptr failure;
    bool stop = false;
    const FormatFn* format = nullptr;

    std::size_t slots() const { return buffers.size(); }
    bool claimable() const { return next < chunks && next < written + slots(); }

    // Formats one claimed chunk with the lock released; a failure stops the run.
    void format_claimed(std::unique_lock<std::mutex>& held, std::size_t k) {
        const std::size_t slot = k % slots();
        char* buffer = buffers[slot];
        held.unlock();
        char* end = nullptr;
        std::exception_ptr thrown;
        try {
            end = (*format)(k, buffer);
        } catch (...) {
            thrown = std::current_exception();
        }
        held.lock();
        if (thrown) {
            if (!failure) failure = thrown;
            stop = true;
        } else {
            ends[slot] = end;
            ready[slot] = k + 1;
        }
        changed.notify_all();
    }

    // A helper thread: claims and formats chunks until there are none left or the run stops.
    void help() noexcept {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            if (stop || next >= chunks) return;
            if (!claimable()) {
                changed.wait(held);
                continue;
            }
            format_claimed(held, next++);
        }
    }
};

// Stops the run and joins every helper when the run ends, also by an exception.
class Helpers {
public:
    explicit Helpers(Shared& shared) : shared_(shared) {}
    ~Helpers() {
        {
            std::lock_guard<std::mutex> held(shared_.lock);
            shared_.stop = true;
        }
        shared_.changed.notify_all();
        for (std::thread& t : threads_) {
            try {
                if (t.joinable()) t.join();
            } catch (...) {
                // join fails only on a thread that is not joinable; nothing is left to do.
            }
        }
    }
    Helpers(const Helpers&) = delete;
    Helpers& operator=(const Helpers&) = delete;

    // Starts up to `count` helpers; fewer when the system refuses a thread.
    void start(unsigned count) {
        threads_.reserve(count);
        for (unsigned i = 0; i < count; ++i) {
            try {
                threads_.emplace_back([this] { shared_.help(); });
            } catch (const std::system_error&) {
                break; // the calling thread and the helpers already started do the work
            }
        }
    }

private:
    Shared& shared_;
    std::vector<std::thread> threads_;
};

} // namespace

unsigned default_threads() {
    if (const char* text = std::getenv("SCENEAPI_THREADS")) {
        char* end = nullptr;
        long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n >= 1)
            return n > long(kMaxThreads) ? kMaxThreads : unsigned(n);
    }
    unsigned cores = std::thread::hardware_concurrency();
    if (cores < 1) cores = 1;
    return cores > kMaxThreads ? kMaxThreads : cores;
}

void prepare_in_parts(void* begin, std::size_t bytes, unsigned threads) {
    const std::size_t parts =
        std::min<std::size_t>(std::min(threads, kMaxThreads), bytes / kMinPreparePart);
    if (parts < 2) {
        platform::prepare_for_writing(begin, bytes);
        return;
    }
    char* const first = static_cast<char*>(begin);
    const std::size_t part = bytes / parts;
    auto prepare = [=](std::size_t k) {
        platform::prepare_for_writing(first + k * part, k + 1 == parts ? bytes - k * part : part);
    };
    std::thread helpers[kMaxThreads];
    std::size_t started = 1; // part 0 is the calling thread's
    for (; started < parts; ++started) {
        try {
            helpers[started] = std::thread(prepare, started);
        } catch (const std::system_error&) {
            break; // the calling thread takes the parts no thread was started for
        }
    }
    prepare(0);
    for (std::size_t k = started; k < parts; ++k)
        prepare(k);
    for (std::size_t k = 1; k < started; ++k)
        helpers[k].join();
}

void ChunkPipeline::reserve_slots(std::size_t count, std::size_t bytes) {
    if (bytes > slot_bytes_) {
        slots_.clear();
        slot_bytes_ = 0;
    }
    while (slots_.size() < count)
        slots_.emplace_back(new char[bytes]);
    if (slot_bytes_ < bytes) slot_bytes_ = bytes;
}

void ChunkPipeline::run(unsigned threads, std::size_t chunks, std::size_t slot_bytes,
                        const FormatFn& format, const WriteFn& write) {
    if (chunks == 0) return;
    if (threads < 1) threads = 1;
    if (threads > kMaxThreads) threads = kMaxThreads;
    if (threads > chunks) threads = static_cast<unsigned>(chunks);
    // Every thread can format while one chunk waits to be written and another is being written,
    // and the threads that run can go on a good way ahead of one that the system has paused
    // (on a busy machine the next chunk to write may be with such a thread).
    const std::size_t slot_count =
        threads == 1 ? 1 : std::max<std::size_t>(std::size_t(threads) + 2, kMinSlots);
    reserve_slots(slot_count, slot_bytes);

    Shared shared;
    shared.chunks = chunks;
    shared.format = &format;
    shared.ready.assign(slot_count, 0);
    shared.ends.assign(slot_count, nullptr);
    for (std::size_t s = 0; s < slot_count; ++s)
        shared.buffers.push_back(slots_[s].get());

    {
        Helpers helpers(shared);
        helpers.start(threads - 1);

        // The calling thread writes the next chunk as soon as it is ready and formats chunks
        // while it is not.
        std::unique_lock<std::mutex> held(shared.lock);
        while (shared.written < chunks && !shared.failure) {
            const std::size_t w = shared.written;
            const std::size_t slot = w % slot_count;
            if (shared.ready[slot] == w + 1) {
                const char* data = shared.buffers[slot];
                const std::size_t size = static_cast<std::size_t>(shared.ends[slot] - data);
                held.unlock();
                write(data, size); // an exception leaves through ~Helpers, which joins
                held.lock();
                shared.ready[slot] = 0;
                ++shared.written;
                shared.changed.notify_all();
            } else if (shared.claimable()) {
                shared.format_claimed(held, shared.next++);
            } else {
                shared.changed.wait(held);
            }
        }
        held.unlock();
    } // helpers joined here
    if (shared.failure) std::rethrow_exception(shared.failure);
}

} // namespace vtl::chunk_pipeline
