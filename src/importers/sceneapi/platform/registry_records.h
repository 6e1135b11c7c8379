#pragma once
// The text of a record file in the registry export format, read into sections: what the POSIX
// registry store keeps, and what the tests write into the Windows registry.

#include "platform/registry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vtl::platform {

// One well-formed value line of a section.
struct RegistryValue {
    enum class Type { text, number, removed }; // removed: the line "name"=-
    Type type = Type::text;
    std::string name; // empty for the default value "@"
    std::string text;
    std::uint32_t number = 0;
};

// A section naming a key under the root read: its path as written, without the separators that
// end it, and its value lines in file order.
struct RegistrySection {
    std::string path;
    std::vector<RegistryValue> values;
};

// Returns the sections of the text that name a key under root, in file order. Lines that do not
// fit (comments, other value types, deleted keys, the header line) are skipped.
std::vector<RegistrySection> parse_registry_records(const std::string& text, RegistryRoot root);

// Returns the text with ASCII letters in lower case: names in the records compare so.
std::string fold_registry_case(std::string text);

} // namespace vtl::platform
