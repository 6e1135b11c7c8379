#pragma once
// Structural check of a Scene file as the exports write it (text arrays, indented), and the
// strings it carries, decoded.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace fuzz {

// Longest formatted piece the writer puts out in one go. A quoted name and its two quotes form
// one piece: a name of kMaxPiece - 2 bytes fits whole, a longer one keeps its first
// kMaxCutName bytes and loses its closing quote (the quoted text simply ends there).
constexpr std::size_t kMaxPiece = 1048574;
constexpr std::size_t kMaxQuotedName = kMaxPiece - 2;
constexpr std::size_t kMaxCutName = kMaxPiece - 1;

// A word that host strings carry and that must never appear outside a string in a file.
constexpr const char* kInjectionMarker = "INJECTED";

struct SceneCheck {
    bool ok = true;
    std::string fault;                       // the first fault, with its byte offset
    std::unordered_set<std::string> strings; // every quoted or "xX" string, decoded
    // Strings cut together with the captured shader text they stand in (the whole text is one
    // formatted piece): each is the start of what the host gave.
    std::vector<std::string> cut_strings;
    std::size_t blocks = 0;
    std::size_t numbers = 0;
};

// Checks that blocks and arrays balance (but for the groups the host left open, which stay open
// at the end of the file), every "{" ends its line, every string is a quoted
// text without quote, CR, LF or high byte or the "xX" form with lower-case hex pairs, every
// number reads back whole, and nothing else but plain words stands outside strings.
SceneCheck check_scene(std::string_view text, std::size_t groups_left_open = 0);

// How a string handed over as a name reads back from the file.
std::string written_form(const std::string& host);

} // namespace fuzz
