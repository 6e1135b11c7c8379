#pragma once
// Random call sequences over every export of the shared library, with hostile arguments; each
// Scene file written is handed to the oracle and then removed.

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

struct FuzzRun {
    std::uint64_t calls = 0;
    std::uint64_t sequences = 0;
    std::uint64_t files_checked = 0;
    std::uint64_t strings_round_tripped = 0;
    std::vector<std::string> faults; // what the oracle found, one line each (the first 200)
};

// Makes about `calls` calls in sequences of random length, the same ones for the same seed, and
// ends the destination left open. The files go into `folder`, which must exist.
FuzzRun fuzz_calls(std::uint64_t seed, const std::string& folder, std::uint64_t calls);

} // namespace fuzz
