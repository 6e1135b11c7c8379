#pragma once
// Starting another program.

#include <string>

namespace vtl::platform {

// Starts the executable at path (UTF-8) detached: without arguments, with the caller's
// environment and current folder, inheriting no handles or descriptors (on POSIX its standard
// input, output and error are the null device). Never waits for the program and leaves no
// process behind to be reaped. True when the program was started.
bool launch_detached(const std::string& path);

} // namespace vtl::platform
