// A short run of the call-sequence tester: a few seeds, every file written checked.

#include "call_fuzzer.h"
#include "scene_file_texts.h"

#include <gtest/gtest.h>

#include <iostream>

namespace {

class CallFuzz : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(CallFuzz, EveryFileWrittenPassesTheOracle) {
    cs_test::TempFolder folder;
    const fuzz::FuzzRun run = fuzz::fuzz_calls(GetParam(), folder.file(""), 30000);
    std::cout << "seed " << GetParam() << ": " << run.calls << " calls, " << run.sequences
              << " sequences, " << run.files_checked << " files, " << run.strings_round_tripped
              << " strings round-tripped\n";
    EXPECT_GE(run.calls, 30000u);
    EXPECT_GT(run.strings_round_tripped, 0u);
    for (const std::string& fault : run.faults)
        ADD_FAILURE() << fault;
}

INSTANTIATE_TEST_SUITE_P(Seeds, CallFuzz, ::testing::Values(1u, 2u, 3u, 4u));

} // namespace
