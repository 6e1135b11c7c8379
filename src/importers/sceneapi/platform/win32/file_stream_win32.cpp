#include "platform/file_stream.h"

#include <fcntl.h>
#include <io.h>
#include <string>
#include <windows.h>

namespace platform {

namespace {

std::wstring widen(const char* utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

} // namespace

FILE* open_file_utf8(const char* path, const char* mode) {
    std::wstring wpath = widen(path);
    std::wstring wmode = widen(mode);
    return _wfopen(wpath.c_str(), wmode.c_str());
}

FILE* take_standard_output() {
    std::fflush(stdout);
    int fd = _dup(_fileno(stdout));
    if (fd < 0) return nullptr;
    FILE* stream = _fdopen(fd, "wb");
    if (!stream) {
        _close(fd);
        return nullptr;
    }
    _dup2(_fileno(stderr), _fileno(stdout));
    _setmode(_fileno(stream), _O_BINARY);
    return stream;
}

} // namespace platform
