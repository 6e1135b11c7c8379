#include "sim_installation.h"

#include "platform/registry.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace photara_sim {

namespace {

constexpr const char* kOwnExecutable = "/proc/self/exe";
constexpr const char* kVersionKeyPrefix = "SOFTWARE\\Vantel\\Photara ";
constexpr const char* kBinNameValue = "BinName";
constexpr const char* kLowestPortValue = "LiveLinkPort";
constexpr const char* kHighestPortValue = "LiveLinkMaxPort";
constexpr int kHighestVersion = 99;
constexpr std::size_t kTextLimit = 2048;
constexpr int kDecimal = 10;

// Reads a port stored as a 32-bit number or as decimal text; false when it is missing.
bool read_port(const platform::RegistryKey& key, const char* name, int& port) {
    std::uint32_t number = 0;
    std::string text;
    if (key.read_number(name, number)) {
        port = static_cast<int>(number);
        return true;
    }
    if (!key.read_text(name, kTextLimit, text)) return false;
    port = static_cast<int>(std::strtol(text.c_str(), nullptr, kDecimal));
    return true;
}

} // namespace

bool find_own_installation(Installation& out) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::canonical(kOwnExecutable, error);
    if (error) return false;
    for (platform::RegistryRoot root :
         {platform::RegistryRoot::current_user, platform::RegistryRoot::local_machine}) {
        for (int version = kHighestVersion; version >= 1; --version) {
            const platform::RegistryKey key =
                platform::RegistryKey::open(root, kVersionKeyPrefix + std::to_string(version));
            std::string bin_name;
            if (!key.read_text(kBinNameValue, kTextLimit, bin_name) ||
                !std::filesystem::equivalent(bin_name, self, error))
                continue;
            out = Installation{};
            out.version = version;
            if (read_port(key, kLowestPortValue, out.lowest_port) &&
                !read_port(key, kHighestPortValue, out.highest_port))
                out.highest_port = out.lowest_port;
            return true;
        }
    }
    return false;
}

} // namespace photara_sim
