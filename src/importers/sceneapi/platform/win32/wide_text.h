#pragma once
// Conversion between the library's UTF-8 texts and the UTF-16 texts of the Windows API.

#include <string>

namespace vtl::platform {

// Returns the UTF-8 text as UTF-16; empty when it is not valid UTF-8.
std::wstring utf8_to_wide(const std::string& text);

// Returns the UTF-16 text as UTF-8.
std::string wide_to_utf8(const wchar_t* text, std::size_t length);

} // namespace vtl::platform
