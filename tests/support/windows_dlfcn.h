#pragma once
// dlopen, dlsym, dlclose and dlerror for the tests that load a library at run time, over
// LoadLibraryW, GetProcAddress and FreeLibrary. Paths are UTF-8.
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#define RTLD_NOW 2
#define RTLD_LOCAL 0

inline std::string& windows_dl_error() {
    static std::string text;
    return text;
}

inline void windows_dl_fail(const char* what) {
    windows_dl_error() = std::string(what) + ": error " + std::to_string(GetLastError());
}

inline void* dlopen(const char* path, int) {
    int units = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
    std::wstring wide(units > 0 ? static_cast<std::size_t>(units) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path, -1, wide.data(), units);
    HMODULE module = LoadLibraryW(wide.c_str());
    if (!module) windows_dl_fail("LoadLibraryW");
    return reinterpret_cast<void*>(module);
}

inline void* dlsym(void* library, const char* name) {
    FARPROC found = GetProcAddress(static_cast<HMODULE>(library), name);
    if (!found) windows_dl_fail("GetProcAddress");
    return reinterpret_cast<void*>(found);
}

inline int dlclose(void* library) {
    if (FreeLibrary(static_cast<HMODULE>(library))) return 0;
    windows_dl_fail("FreeLibrary");
    return -1;
}

inline const char* dlerror() {
    return windows_dl_error().c_str();
}

#endif
