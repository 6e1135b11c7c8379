#include "platform/dynamic_library.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_lean.h"

namespace vtl::platform {

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

} // namespace vtl::platform
