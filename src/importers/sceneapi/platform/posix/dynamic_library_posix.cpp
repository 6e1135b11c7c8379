#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace vtl::platform {

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

} // namespace vtl::platform
