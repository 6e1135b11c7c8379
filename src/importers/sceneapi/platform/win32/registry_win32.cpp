#include "platform/registry.h"

#include "platform/win32/wide_text.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

namespace platform {

// An open registry key, closed when the key object goes.
struct RegistryKey::Data {
    explicit Data(HKEY opened) noexcept : key(opened) {}
    Data(const Data&) = delete;
    Data& operator=(const Data&) = delete;
    ~Data() { RegCloseKey(key); }
    HKEY key;
};

RegistryKey::RegistryKey() noexcept = default;
RegistryKey::RegistryKey(std::unique_ptr<Data> data) noexcept : data_(std::move(data)) {}
RegistryKey::RegistryKey(RegistryKey&& other) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept = default;
RegistryKey::~RegistryKey() = default;

void RegistryKey::close() noexcept {
    data_.reset();
}

RegistryKey RegistryKey::open(RegistryRoot root, const std::string& path) {
    HKEY root_key = root == RegistryRoot::current_user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    std::wstring wide_path = utf8_to_wide(path);
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_key, wide_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return RegistryKey();
    return RegistryKey(std::make_unique<Data>(key));
}

bool RegistryKey::read_text(const std::string& name, std::size_t max_bytes,
                            std::string& out) const {
    if (!data_ || max_bytes < sizeof(wchar_t)) return false;
    std::wstring wide_name = utf8_to_wide(name);
    std::vector<wchar_t> buffer(max_bytes / sizeof(wchar_t), L'\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(data_->key, wide_name.c_str(), nullptr, &type,
                         reinterpret_cast<LPBYTE>(buffer.data()), &size) != ERROR_SUCCESS)
        return false; // missing, or longer than the buffer (ERROR_MORE_DATA)
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    std::size_t length = size / sizeof(wchar_t);
    if (length > 0 && buffer[length - 1] == L'\0') --length; // the stored terminator
    if (length >= buffer.size()) return false;               // no room left for a terminator
    out = wide_to_utf8(buffer.data(), length);
    return true;
}

bool RegistryKey::read_number(const std::string& name, std::uint32_t& out) const {
    if (!data_) return false;
    std::wstring wide_name = utf8_to_wide(name);
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(data_->key, wide_name.c_str(), nullptr, &type,
                         reinterpret_cast<LPBYTE>(&value), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD || size != sizeof value) return false;
    out = value;
    return true;
}

} // namespace platform
