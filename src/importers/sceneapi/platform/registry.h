#pragma once
// Read access to the installation records: keys under a root, holding text and 32-bit number
// values. Windows keeps them in the registry; elsewhere they live in text files in the
// registry export format (see posix/registry_posix.cpp). Names and texts are UTF-8 here.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// The two roots the records are looked up under.
enum class RegistryRoot { current_user, local_machine };

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
    // is not open when there is no such key. Key names compare case-insensitively.
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

    // Closes the key; a closed key stays closed.
    void close() noexcept;

    struct Data; // the system's handle, or the values read from the record file

private:
    explicit RegistryKey(std::unique_ptr<Data> data) noexcept;
    std::unique_ptr<Data> data_;
};

} // namespace platform
