#include "platform/win32/wide_text.h"
#include "platform/win32/windows_lean.h"

#include <climits>

namespace vtl::platform {

std::wstring utf8_to_wide(const std::string& text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return std::wstring();
    const int size = static_cast<int>(text.size());
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, &wide[0], length);
    return wide;
}

std::string wide_to_utf8(const wchar_t* text, std::size_t length) {
    if (length == 0 || length > static_cast<std::size_t>(INT_MAX)) return std::string();
    const int size = static_cast<int>(length);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, size, &narrow[0], bytes, nullptr, nullptr);
    return narrow;
}

} // namespace vtl::platform
