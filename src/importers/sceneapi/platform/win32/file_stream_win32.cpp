#include "platform/file_stream.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_lean.h"

#include <fcntl.h>
#include <io.h>
#include <string>

namespace vtl::platform {

namespace {

// A path as the system takes it; a path that is not UTF-8 becomes the empty name, which no open
// accepts (instead of another file, named with replacement characters).
std::wstring widen(const char* utf8) {
    return utf8 ? utf8_to_wide(utf8) : std::wstring();
}

// The C runtime counts nothing of what reached the system: the tally holds the descriptor.
FILE* tallied(FILE* stream, OutputTally* tally) {
    *tally = OutputTally();
    if (stream) tally->descriptor = _fileno(stream);
    return stream;
}

bool file_identity(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info) != 0;
}

} // namespace

FILE* open_file_utf8(const char* path, const char* mode) {
    std::wstring wpath = widen(path);
    std::wstring wmode = widen(mode);
    return _wfopen(wpath.c_str(), wmode.c_str());
}

FILE* open_output_utf8(const char* path, OutputTally* tally) {
    // "N": the descriptor is not inherited by processes the library starts.
    return tallied(_wfopen(widen(path).c_str(), L"wb+N"), tally);
}

FILE* take_standard_output(OutputTally* tally) {
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
    return tallied(stream, tally);
}

bool is_same_file(FILE* stream, const OutputTally&, const char* path) {
    if (!stream || !path) return false;
    BY_HANDLE_FILE_INFORMATION open_file{};
    BY_HANDLE_FILE_INFORMATION named{};
    if (!file_identity(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), open_file))
        return false;
    HANDLE other =
        CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool known = file_identity(other, named);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    return known && open_file.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
           open_file.nFileIndexHigh == named.nFileIndexHigh &&
           open_file.nFileIndexLow == named.nFileIndexLow;
}

} // namespace vtl::platform
