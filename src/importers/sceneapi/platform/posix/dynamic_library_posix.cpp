#include "platform/dynamic_library.h"

#include <dlfcn.h>
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

// The library's symbols stay out of the global scope, so that two libraries with the same
// names do not interfere.
DynamicLibrary DynamicLibrary::load(const std::string& path) {
    if (path.empty()) return DynamicLibrary();
    return DynamicLibrary(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
}

void* DynamicLibrary::find_symbol(const char* name) const noexcept {
    if (!handle_ || !name) return nullptr;
    return ::dlsym(handle_, name);
}

void DynamicLibrary::unload() noexcept {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

} // namespace platform
