#pragma once
// The oracle of the call-sequence tester and the fault tests: a Scene file as the exports write
// it, read by the project's reader, and the strings it carries.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace fuzz {

// Longest formatted piece the writer puts out in one go. A quoted name and its two quotes form
// one piece: a name of kMaxPiece - 2 bytes fits whole, a longer one loses its end.
constexpr std::size_t kMaxPiece = 1048574;

// A word that host strings carry and that must never appear outside a string in a file.
constexpr const char* kInjectionMarker = "INJECTED";

struct SceneCheck {
    bool ok = true;
    std::string fault;                       // the first fault
    std::unordered_set<std::string> strings; // every string of the file, decoded
    std::vector<std::string> long_strings;   // those longer than half a piece

    // Tells whether a string the host handed over came back: whole, or (when it is quoted) cut
    // with the formatted piece it stands in, where the reader found the cut.
    bool carries(const std::string& host) const;
};

// The reader must take the file, but for the groups the host left open: then it stops at the
// end of the file inside a block, and takes the file once that many "}" close them. Beyond what
// the reader refuses: no high byte or carriage return stands in the file (strings holding one
// take the "xX" form with lower-case hex pairs), what a block or shader holds starts on the next
// line, and the words outside strings are plain words without the injection marker.
SceneCheck check_scene(std::string_view text, std::size_t groups_left_open = 0);

} // namespace fuzz
