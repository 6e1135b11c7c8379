#pragma once
// C streams opened the way the library needs them, by UTF-8 path or on standard output.

#include <cstdint>
#include <cstdio>

namespace vtl::platform {

// What went through an output stream opened by open_output_utf8 or take_standard_output: the
// bytes the system took and the first failure. It must outlive the stream; the stream updates
// it on every write that reaches the system.
struct OutputTally {
    std::uint64_t bytes = 0; // bytes the system took
    int error = 0;           // errno of the first failed write; nothing is written after it
    bool counted = false;    // false where the platform cannot count: bytes is then unknown
    int descriptor = -1;     // the stream's descriptor, where the platform has one
};

// Opens a file by its UTF-8 path (as UTF-16 where the system names files so); null on failure
// with errno set.
FILE* open_file_utf8(const char* path, const char* mode);

// Opens a file by its UTF-8 path for writing, created or emptied, its descriptor closed when a
// process is started; the stream keeps `tally` up to date. Null on failure with errno set.
FILE* open_output_utf8(const char* path, OutputTally* tally);

// Opens a binary stream on a duplicate of the process's standard output, then makes the
// standard-output descriptor a duplicate of standard error, so that only what is written to
// the returned stream reaches the first standard output. The stream keeps `tally` up to date.
// Null on failure with errno set.
FILE* take_standard_output(OutputTally* tally);

// Tells whether the stream opened with `tally` writes to the file at the UTF-8 path (the same
// file, whatever name reaches it).
bool is_same_file(FILE* stream, const OutputTally& tally, const char* path);

} // namespace vtl::platform
