#pragma once
// Reads Scene file text into a document tree. Never throws on bad input: the first fault is
// returned with its line and column.

#include "reader/scene_document.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace vtl::reader {

// Where and why reading stopped.
struct ReadError {
    std::string message;
    std::size_t line = 0;   // from 1
    std::size_t column = 0; // byte column from 1

    // "line L, column C: message".
    std::string describe() const;
};

// A document, or the error that stopped reading it.
struct ReadResult {
    Document document;
    bool ok = true;
    ReadError error;
};

// Parses a whole Scene file held in memory.
ReadResult read_scene(std::string_view text);
// Reads and parses the Scene file at `path`; a file that cannot be read is an error at line 0.
ReadResult read_scene_file(const std::string& path);
// Reads the whole of any readable file (pipes and devices too) into `text`; false with the
// reason ("is a folder", "cannot open the file: ...", "cannot read the file: ...") otherwise.
bool read_file_text(const std::string& path, std::string& text, std::string& reason);

} // namespace vtl::reader
