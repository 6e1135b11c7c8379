// The call-sequence tester on demand: sceneapi_fuzz [--seed N] [--seeds K] [--calls M]
// runs M calls (default 1,000,000) for each of K seeds from N on; exit status 1 when the
// oracle found a fault.

#include "call_fuzzer.h"
#include "support/temp_folder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    std::uint64_t seed = 1, seeds = 1, calls = 1000000;
    for (int i = 1; i < argc; i += 2) {
        std::uint64_t* option = !std::strcmp(argv[i], "--seed")    ? &seed
                                : !std::strcmp(argv[i], "--seeds") ? &seeds
                                : !std::strcmp(argv[i], "--calls") ? &calls
                                                                   : nullptr;
        if (!option || i + 1 >= argc) {
            std::fputs("usage: sceneapi_fuzz [--seed N] [--seeds K] [--calls M]\n", stderr);
            return 2;
        }
        *option = std::strtoull(argv[i + 1], nullptr, 10);
    }
    test_support::TempFolder folder;
    fuzz::FuzzRun total;
    for (std::uint64_t s = seed; s < seed + seeds; ++s) {
        const fuzz::FuzzRun run = fuzz::fuzz_calls(s, folder.path(), calls);
        for (const std::string& fault : run.faults) {
            std::fprintf(stderr, "seed %llu: %s\n", static_cast<unsigned long long>(s),
                         fault.c_str());
            total.faults.push_back(fault);
        }
        total.calls += run.calls;
        total.sequences += run.sequences;
        total.files_checked += run.files_checked;
        total.strings_round_tripped += run.strings_round_tripped;
    }
    std::printf("%llu calls, %llu sequences, %llu files checked, %llu strings round-tripped, "
                "%zu faults\n",
                static_cast<unsigned long long>(total.calls),
                static_cast<unsigned long long>(total.sequences),
                static_cast<unsigned long long>(total.files_checked),
                static_cast<unsigned long long>(total.strings_round_tripped), total.faults.size());
    return total.faults.empty() ? 0 : 1;
}
