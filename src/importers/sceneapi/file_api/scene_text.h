#pragma once
// What the Scene file writer, the reader and the tools must agree on beyond the text itself.

#include <cstddef>

namespace vtl::scene_text {

// Longest formatted piece of one output call; longer pieces are cut here. The reader knows a
// cut string by this length.
constexpr std::size_t kMaxPiece = 1048574;

} // namespace vtl::scene_text
