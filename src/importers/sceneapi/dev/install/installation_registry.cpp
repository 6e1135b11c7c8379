#include "dev/install/installation_registry.h"

#include "log/log.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The application records each installation under one key per major version:
//
//     SOFTWARE\Vantel\                "PhotaraActivePath", "PhotaraVersion"
//     SOFTWARE\Vantel\Photara <major>  "BinName", "BinFolder", "ResourceFolder",
//                                      "LiveLinkPort", "LiveLinkMaxPort"
//
// under the current user's root and under the machine's root. A version key counts only when
// its "BinName" names a file that can be read.

namespace vtl {

namespace {

using platform::RegistryKey;
using platform::RegistryRoot;

constexpr const char* kBaseKey = "SOFTWARE\\Vantel\\";
constexpr const char* kVersionKeyPrefix = "Photara ";
constexpr const char* kProductNameLetters = "Photara";
constexpr const char* kActivePathValue = "PhotaraActivePath";
constexpr const char* kVersionValue = "PhotaraVersion";
constexpr const char* kBinNameValue = "BinName";
constexpr const char* kBinFolderValue = "BinFolder";
constexpr const char* kResourceFolderValue = "ResourceFolder";
constexpr const char* kLowestPortValue = "LiveLinkPort";
constexpr const char* kHighestPortValue = "LiveLinkMaxPort";
constexpr const char* kNoResourceFolderMessage = "Could not find Photara resource folder\n";

constexpr std::size_t kValueLimit = 520;       // values handed out by the getters
constexpr std::size_t kChoiceTextLimit = 2048; // values read to choose an installation
constexpr std::size_t kPortTextLimit = 512;    // ports kept as text
constexpr int kLogLowestVersion = 5;           // versions whose resource folder takes the log
constexpr int kLogHighestVersion = 20;

constexpr int kPortsBoth = 0;
constexpr int kPortsLowestOnly = -1;
constexpr int kPortsNone = -2;
constexpr int kPortsNoInstallation = -3;

constexpr int kNoVersion = -1;

// An open version key and the major version it belongs to; not open when none was found.
struct VersionKey {
    RegistryKey key;
    int version = 0;
};

// Reads a decimal number as the system's C library does: leading white space skipped, an
// optional sign, digits up to the first non-digit; 0 without digits. Clamped to int.
int parse_decimal(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// Returns the path of the version key of a major version.
std::string version_key_path(int version) {
    return std::string(kBaseKey) + kVersionKeyPrefix + std::to_string(version);
}

// Opens a version key; it counts only when its "BinName" names a readable file.
RegistryKey open_version_key(RegistryRoot root, const std::string& path) {
    RegistryKey key = RegistryKey::open(root, path);
    std::string bin_name;
    if (!key.read_text(kBinNameValue, kChoiceTextLimit, bin_name) ||
        !platform::file_readable(bin_name))
        return RegistryKey();
    return key;
}

// Finds the installation to use under one root: the active path first, then the version
// value, then the highest version key in range. The ways are tried in that order and the
// first that yields an installation in range wins; a way that does not is passed over.
VersionKey open_key_in_root(RegistryRoot root, int lowest, int highest) {
    auto in_range = [lowest, highest](int version) {
        return version >= lowest && version <= highest;
    };
    RegistryKey base = RegistryKey::open(root, kBaseKey);
    if (!base.is_open()) return VersionKey();

    std::string active_path;
    if (base.read_text(kActivePathValue, kChoiceTextLimit, active_path)) {
        int version = InstallationRegistry::version_from_active_path(active_path);
        if (in_range(version)) {
            RegistryKey key = open_version_key(root, version_key_path(version));
            if (key.is_open()) return VersionKey{std::move(key), version};
        }
    }

    std::string version_name;
    if (base.read_text(kVersionValue, kChoiceTextLimit, version_name)) {
        std::size_t space = version_name.find(' ');
        int version = parse_decimal(space == std::string::npos ? version_name
                                                               : version_name.substr(space + 1));
        if (version >= 1 && in_range(version)) {
            RegistryKey key = open_version_key(root, kBaseKey + version_name);
            if (key.is_open()) return VersionKey{std::move(key), version};
        }
    }

    for (int version = highest; version >= lowest; --version) {
        RegistryKey key = open_version_key(root, version_key_path(version));
        if (key.is_open()) return VersionKey{std::move(key), version};
    }
    return VersionKey();
}

// Finds the newest installation in range under both roots; on equal versions the current
// user's wins.
VersionKey open_newest_key(int lowest, int highest) {
    VersionKey user = open_key_in_root(RegistryRoot::current_user, lowest, highest);
    VersionKey machine = open_key_in_root(RegistryRoot::local_machine, lowest, highest);
    const bool user_counts = user.key.is_open() && user.version > 0;
    const bool machine_counts = machine.key.is_open() && machine.version > 0;
    if (machine_counts && (!user_counts || machine.version > user.version)) return machine;
    if (user_counts) return user;
    return VersionKey();
}

// Reads one text value of the newest installation; empty when there is none.
std::string read_newest_value(const char* name, int lowest, int highest) {
    VersionKey found = open_newest_key(lowest, highest);
    std::string value;
    found.key.read_text(name, kValueLimit, value);
    return value;
}

// The log sits beneath this layer, so it cannot ask for the resource folder itself. This
// provider is handed to it when the program starts (the object file holding it is part of
// every program that reads installation records); without it the log goes to the current
// working directory.
std::string log_folder() {
    return InstallationRegistry::instance().get_resources_folder(kLogLowestVersion,
                                                                 kLogHighestVersion);
}

[[maybe_unused]] const bool g_log_folder_registered =
    (Output2FILE::set_folder_provider(&log_folder), true);

} // namespace

InstallationRegistry& InstallationRegistry::instance() {
    static InstallationRegistry registry;
    return registry;
}

int InstallationRegistry::version_from_active_path(const std::string& path) {
    std::size_t letter = path.find_last_of(kProductNameLetters);
    if (letter == std::string::npos) return kNoVersion;
    std::size_t start = letter + 1;
    std::size_t end = path.rfind('/');
    if (end == std::string::npos) end = path.rfind('\\');
    if (end == std::string::npos || end <= start) return kNoVersion;
    return parse_decimal(path.substr(start, end - start));
}

std::string InstallationRegistry::get_bin_name(int lowest, int highest) const {
    return read_newest_value(kBinNameValue, lowest, highest);
}

std::string InstallationRegistry::get_bin_folder(int* major, int lowest, int highest) const {
    VersionKey found = open_newest_key(lowest, highest);
    if (!found.key.is_open()) return std::string();
    if (major) *major = found.version;
    std::string folder;
    found.key.read_text(kBinFolderValue, kValueLimit, folder);
    return folder;
}

std::string InstallationRegistry::get_resources_folder(int lowest, int highest) const {
    VersionKey found = open_newest_key(lowest, highest);
    if (!found.key.is_open()) return std::string();
    std::string folder;
    if (!found.key.read_text(kResourceFolderValue, kValueLimit, folder))
        std::fputs(kNoResourceFolderMessage, stdout);
    return folder;
}

int InstallationRegistry::get_live_link_ports(int* lowest_port, int* highest_port, int lowest,
                                              int highest) const {
    VersionKey found = open_newest_key(lowest, highest);
    if (!found.key.is_open()) return kPortsNoInstallation;
    int status = kPortsNone;
    auto store = [](int* port, int value) {
        if (port) *port = value;
    };

    std::uint32_t number = 0;
    std::string text;
    if (found.key.read_number(kLowestPortValue, number)) {
        store(lowest_port, static_cast<int>(number));
        status = kPortsLowestOnly;
        if (found.key.read_number(kHighestPortValue, number)) {
            store(highest_port, static_cast<int>(number));
            status = kPortsBoth;
        }
    } else if (found.key.read_text(kLowestPortValue, kPortTextLimit, text)) {
        store(lowest_port, parse_decimal(text));
        status = kPortsLowestOnly;
        if (found.key.read_text(kHighestPortValue, kPortTextLimit, text)) {
            store(highest_port, parse_decimal(text));
            status = kPortsBoth;
        }
    }
    return status;
}

bool InstallationRegistry::launch_application(int lowest, int highest) const {
    std::string path = get_bin_name(lowest, highest);
    if (path.empty()) return false;
    return platform::launch_detached(path);
}

} // namespace vtl
