#pragma once
// The threads of this process, for tests that check no thread outlives a call.

#if defined(__linux__)
#include <dirent.h>
#endif
#include <thread>

namespace test_support {

// Threads of this process, where the system can tell (else -1).
inline int thread_count() {
#if defined(__linux__)
    int count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ++count;
        closedir(dir);
        return count;
    }
#endif
    return -1;
}

// Starts and joins one thread, so that a thread that a sanitizer's runtime starts beside the
// first thread of the process is already there when a test counts threads.
inline void settle_threads() {
    std::thread([] {}).join();
}

} // namespace test_support
