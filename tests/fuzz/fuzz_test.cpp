// A short run of the call-sequence tester: a few seeds, every file written checked.

#include "call_fuzzer.h"
#include "scene_file_texts.h"

#include <gtest/gtest.h>

#include <iostream>

namespace {

constexpr std::uint64_t kCallsPerSeed = 30000;

class CallFuzz : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(CallFuzz, EveryFileWrittenPassesTheOracle) {
    cs_test::TempFolder folder;
    fuzz::CallFuzzer fuzzer(GetParam(), folder.file(""));
    fuzzer.run(kCallsPerSeed);
    fuzzer.finish();
    const fuzz::Figures& f = fuzzer.figures();
    std::cout << "seed " << GetParam() << ": " << f.calls << " calls, " << f.sequences
              << " sequences, " << f.files_checked << " files, " << f.strings_round_tripped
              << " strings round-tripped, " << f.long_strings << " long strings, "
              << f.opens_refused << " opens refused\n";
    EXPECT_GE(f.calls, kCallsPerSeed);
    EXPECT_GT(f.strings_round_tripped, 0u);
    for (const std::string& fault : fuzzer.faults())
        ADD_FAILURE() << fault;
}

INSTANTIATE_TEST_SUITE_P(Seeds, CallFuzz, ::testing::Values(1u, 2u, 3u, 4u));

} // namespace
