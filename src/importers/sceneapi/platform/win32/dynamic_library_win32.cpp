#include "platform/dynamic_library.h"

#include "platform/win32/wide_text.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <utility>

namespace platform {

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        unload();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

DynamicLibrary::~DynamicLibrary() {
    unload();
}

DynamicLibrary DynamicLibrary::load(const std::string& path) {
    std::wstring wide = utf8_to_wide(path);
    if (wide.empty()) return DynamicLibrary();
    return DynamicLibrary(reinterpret_cast<void*>(::LoadLibraryW(wide.c_str())));
}

void* DynamicLibrary::find_symbol(const char* name) const noexcept {
    if (!handle_ || !name) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::unload() noexcept {
    if (handle_) ::FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

} // namespace platform
