#pragma once
// Read access to the installation records: keys under a root, holding text and 32-bit number
// values. Windows keeps them in the registry; elsewhere they live in text files in the
// registry export format (see posix/registry_posix.cpp). Names and texts are UTF-8 here.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vtl::platform {

// The two roots the records are looked up under.
enum class RegistryRoot { current_user, local_machine };

// Returns the system's name of a root: "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
inline const char* registry_root_name(RegistryRoot root) noexcept {
    return root == RegistryRoot::current_user ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

class RegistryStore;

// An open key. Move-only; closes itself when destroyed.
class RegistryKey {
public:
    RegistryKey() noexcept;
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();

    // Opens the key at path (its parts separated by '\\') under root for reading; the result
    // is not open when there is no such key. Key names compare case-insensitively. Reads the
    // root's records afresh; to open several keys, load the root's store once instead.
    static RegistryKey open(RegistryRoot root, const std::string& path);

    // Tells whether the key is open.
    bool is_open() const noexcept { return data_ != nullptr; }

    // Reads a text value into out. Fails when the key is not open, the value is missing or not
    // text, or the text with its terminator takes more than max_bytes as UTF-16. Out is left
    // untouched on failure.
    bool read_text(const std::string& name, std::size_t max_bytes, std::string& out) const;

    // Reads a 32-bit number value into out. Fails when the key is not open, the value is
    // missing or not a number. Out is left untouched on failure.
    bool read_number(const std::string& name, std::uint32_t& out) const;

    // Returns the names of the keys directly below this one, each once, in no particular order;
    // none when the key is not open.
    std::vector<std::string> subkey_names() const;

    // Closes the key; a closed key stays closed.
    void close() noexcept;

    struct Data; // the system's handle, or the values read from the record file

private:
    friend class RegistryStore;
    explicit RegistryKey(std::unique_ptr<Data> data) noexcept;
    std::unique_ptr<Data> data_;
};

// The records of one root, loaded once: on POSIX the record file is read when the store is
// loaded, and every key opened through the store comes from that one reading. Move-only.
class RegistryStore {
public:
    // What became of the root's record file; the registry itself is always `read`.
    enum class State {
        missing,          // no file (or no path for it)
        not_regular_file, // a folder, a named pipe, a device: read as an empty root
        unreadable,       // the file exists but cannot be read, or is too large
        read,
    };

    RegistryStore(RegistryStore&& other) noexcept;
    RegistryStore& operator=(RegistryStore&& other) noexcept;
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;
    ~RegistryStore();

    // Loads the records of a root. Never blocks on a file that is not a regular file.
    static RegistryStore load(RegistryRoot root);

    // Opens the key at path, as RegistryKey::open does, from the records loaded.
    RegistryKey open(const std::string& path) const;

    RegistryRoot root() const noexcept;

    // The record file the store was loaded from; empty where the records live in the system's
    // registry, or when no file path could be made.
    const std::string& location() const noexcept;

    State state() const noexcept;

    struct Data;

private:
    explicit RegistryStore(std::unique_ptr<Data> data) noexcept;
    std::unique_ptr<Data> data_;
};

} // namespace vtl::platform
