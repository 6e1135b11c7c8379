#pragma once
// Loading a shared library at run time and looking up the functions it exports.

#include <string>
#include <utility>

namespace vtl::platform {

// One loaded shared library; unloads itself when destroyed. Move-only.
class DynamicLibrary {
public:
    DynamicLibrary() noexcept = default;
    DynamicLibrary(DynamicLibrary&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)) {}
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept {
        if (this != &other) {
            unload();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    ~DynamicLibrary() { unload(); }

    // Loads the library at path (UTF-8), resolving its symbols at once; the result is not
    // loaded when the file is missing or cannot be loaded.
    static DynamicLibrary load(const std::string& path);

    // Tells whether a library is loaded.
    bool is_loaded() const noexcept { return handle_ != nullptr; }

    // Returns the system's handle of the library, null when none; for messages only.
    const void* handle() const noexcept { return handle_; }

    // Returns the address of the exported function name, null when there is none.
    void* find_symbol(const char* name) const noexcept;

    // Unloads the library; an unloaded library stays unloaded.
    void unload() noexcept;

private:
    explicit DynamicLibrary(void* handle) noexcept : handle_(handle) {}
    void* handle_ = nullptr;
};

} // namespace vtl::platform
