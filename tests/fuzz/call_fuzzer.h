#pragma once
// Random call sequences over every export of the shared library, with hostile arguments; each
// Scene file written is handed to the oracle and then removed.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fuzz {

struct Figures {
    std::uint64_t calls = 0;
    std::uint64_t sequences = 0;
    std::uint64_t files_checked = 0;
    std::uint64_t strings_round_tripped = 0;
    std::uint64_t opens_refused = 0;
    std::uint64_t long_strings = 0;
};

class CallFuzzer {
public:
    // Files go into `folder`, which must exist; the same seed makes the same calls.
    CallFuzzer(std::uint64_t seed, std::string folder);
    // Ends the destination left open and checks its file.
    ~CallFuzzer();
    CallFuzzer(const CallFuzzer&) = delete;
    CallFuzzer& operator=(const CallFuzzer&) = delete;

    // Makes about `calls` more calls, in sequences of random length.
    void run(std::uint64_t calls);
    // Ends the destination and checks the last file.
    void finish();

    const Figures& figures() const;
    // What the oracle found, one line per fault (at most a few hundred kept).
    const std::vector<std::string>& faults() const;

    struct Session;

private:
    std::unique_ptr<Session> session_;
};

} // namespace fuzz
