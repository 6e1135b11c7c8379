#pragma once
// What every export body shares: the guard that keeps exceptions inside the library, host
// strings taken safely, and the node slots emptied in one step.

#include <memory>
#include <string>
#include <utility>

namespace vtl {

// Records the exception being handled as the host's failure ("<export>: <what>") and logs it
// at error level; never throws.
void report_exception(const char* export_name) noexcept;

// Runs an export's body. No exception crosses the C boundary: one escaping the body is
// recorded for getLastError and logged, and the export returns `fallback`.
template <typename Result, typename Body>
Result guarded(const char* export_name, Result fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        report_exception(export_name);
        return fallback;
    }
}

template <typename Body> void guarded(const char* export_name, Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        report_exception(export_name);
    }
}

// A host string copied; a null pointer is the empty string.
inline std::string host_string(const char* text) {
    return text ? std::string(text) : std::string();
}

// Empties a node slot and hands back the node it held (null when none was begun).
template <typename Node> std::shared_ptr<Node> take(std::shared_ptr<Node>& slot) noexcept {
    return std::exchange(slot, nullptr);
}

} // namespace vtl
