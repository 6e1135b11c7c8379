#pragma once
// Questions about files and folder paths.

#include <string>

namespace vtl::platform {

// Separator between a folder and a name within it.
#ifdef _WIN32
constexpr char kFolderSeparator = '\\';
#else
constexpr char kFolderSeparator = '/';
#endif

// Tells whether a file (not a folder) at path (UTF-8) can be opened for reading.
bool file_readable(const std::string& path);

} // namespace vtl::platform
