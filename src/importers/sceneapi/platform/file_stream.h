#pragma once
// C streams opened the way the library needs them, by UTF-8 path or on standard output.

#include <cstdio>

namespace platform {

// Opens a file by its UTF-8 path (as UTF-16 where the system names files so); null on failure
// with errno set.
FILE* open_file_utf8(const char* path, const char* mode);

// Opens a binary stream on a duplicate of the process's standard output, then makes the
// standard-output descriptor a duplicate of standard error, so that only what is written to
// the returned stream reaches the first standard output. Null on failure with errno set.
FILE* take_standard_output();

} // namespace platform
