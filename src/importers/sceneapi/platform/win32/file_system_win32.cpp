#include "platform/file_system.h"

#include "platform/win32/wide_text.h"

#include <cstdio>
#include <memory>

namespace vtl::platform {

namespace {
struct StreamCloser {
    void operator()(FILE* stream) const noexcept { std::fclose(stream); }
};
} // namespace

bool file_readable(const std::string& path) {
    std::wstring wide_path = utf8_to_wide(path);
    if (wide_path.empty()) return false;
    // _wfopen refuses folders, so a successful open means a readable file.
    std::unique_ptr<FILE, StreamCloser> stream(_wfopen(wide_path.c_str(), L"rb"));
    return stream != nullptr;
}

} // namespace vtl::platform
