#include "platform/registry.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_lean.h"

#include <set>
#include <vector>

namespace vtl::platform {

namespace {

// A key name has at most 255 characters.
constexpr DWORD kKeyNameUnits = 256;

HKEY root_key(RegistryRoot root) noexcept {
    return root == RegistryRoot::current_user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// Returns the text with ASCII letters in lower case.
std::string fold_case(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

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
    std::wstring wide_path = utf8_to_wide(path);
    if (wide_path.empty() && !path.empty()) return RegistryKey(); // not UTF-8
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_key(root), wide_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
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

std::vector<std::string> RegistryKey::subkey_names() const {
    std::vector<std::string> names;
    if (!data_) return names;
    std::set<std::string> seen; // a key renamed while listed may come twice
    for (DWORD index = 0;; ++index) {
        wchar_t name[kKeyNameUnits];
        DWORD length = kKeyNameUnits;
        LONG result =
            RegEnumKeyExW(data_->key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA) continue; // cannot be a name we look for
        if (result != ERROR_SUCCESS) break;      // ERROR_NO_MORE_ITEMS, or the key went away
        std::string utf8 = wide_to_utf8(name, length);
        if (seen.insert(fold_case(utf8)).second) names.push_back(utf8);
    }
    return names;
}

// The registry needs no loading: the store only remembers its root.
struct RegistryStore::Data {
    RegistryRoot root;
    std::string location; // always empty
};

RegistryStore::RegistryStore(std::unique_ptr<Data> data) noexcept : data_(std::move(data)) {}
RegistryStore::RegistryStore(RegistryStore&& other) noexcept = default;
RegistryStore& RegistryStore::operator=(RegistryStore&& other) noexcept = default;
RegistryStore::~RegistryStore() = default;

RegistryStore RegistryStore::load(RegistryRoot root) {
    return RegistryStore(std::make_unique<Data>(Data{root, std::string()}));
}

RegistryKey RegistryStore::open(const std::string& path) const {
    return data_ ? RegistryKey::open(data_->root, path) : RegistryKey();
}

RegistryRoot RegistryStore::root() const noexcept {
    return data_->root;
}

const std::string& RegistryStore::location() const noexcept {
    return data_->location;
}

RegistryStore::State RegistryStore::state() const noexcept {
    return State::read;
}

} // namespace vtl::platform
