// The call-sequence tester on demand: sceneapi_fuzz [--seed N] [--seeds K] [--calls M]
// runs M calls (default 1,000,000) for each of K seeds from N on; exit status 1 when the
// oracle found a fault.

#include "call_fuzzer.h"
#include "support/temp_folder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

constexpr char kUsage[] = "usage: sceneapi_fuzz [--seed N] [--seeds K] [--calls M]\n";

using ScratchFolder = test_support::TempFolder;

} // namespace

int main(int argc, char** argv) {
    std::uint64_t seed = 1, seeds = 1, calls = 1000000;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        const std::uint64_t value = std::strtoull(argv[i + 1], nullptr, 10);
        if (!std::strcmp(argv[i], "--seed"))
            seed = value;
        else if (!std::strcmp(argv[i], "--seeds"))
            seeds = value;
        else if (!std::strcmp(argv[i], "--calls"))
            calls = value;
        else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    ScratchFolder folder;
    fuzz::Figures total;
    std::size_t faults = 0;
    for (std::uint64_t s = seed; s < seed + seeds; ++s) {
        fuzz::CallFuzzer fuzzer(s, folder.path());
        fuzzer.run(calls);
        fuzzer.finish();
        for (const std::string& fault : fuzzer.faults())
            std::fprintf(stderr, "seed %llu: %s\n", static_cast<unsigned long long>(s),
                         fault.c_str());
        faults += fuzzer.faults().size();
        const fuzz::Figures& f = fuzzer.figures();
        total.calls += f.calls;
        total.sequences += f.sequences;
        total.files_checked += f.files_checked;
        total.strings_round_tripped += f.strings_round_tripped;
    }
    std::printf("%llu calls, %llu sequences, %llu files checked, %llu strings round-tripped, "
                "%zu faults\n",
                static_cast<unsigned long long>(total.calls),
                static_cast<unsigned long long>(total.sequences),
                static_cast<unsigned long long>(total.files_checked),
                static_cast<unsigned long long>(total.strings_round_tripped), faults);
    return faults == 0 ? 0 : 1;
}
