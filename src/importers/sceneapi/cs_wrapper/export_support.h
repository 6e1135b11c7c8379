#pragma once
// What every export body shares: host strings taken safely.

#include <string>

namespace vtl {

// A host string copied; a null pointer is the empty string.
inline std::string host_string(const char* text) {
    return text ? std::string(text) : std::string();
}

} // namespace vtl
