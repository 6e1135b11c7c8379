#include "dev/install/installation_registry.h"

#include "log/log.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

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
constexpr const char* kBinNameValue = "BinName";
constexpr const char* kBinFolderValue = "BinFolder";
constexpr const char* kLowestPortValue = "LiveLinkPort";
constexpr const char* kHighestPortValue = "LiveLinkMaxPort";

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
constexpr std::size_t kDescribedKeysLimit = 8; // version keys named in a description
constexpr long long kLowestPort = 1;
constexpr long long kHighestPort = 65535;

// The records of both roots, each loaded once for one operation.
struct Stores {
    platform::RegistryStore user = platform::RegistryStore::load(RegistryRoot::current_user);
    platform::RegistryStore machine = platform::RegistryStore::load(RegistryRoot::local_machine);
};

// An open version key and the major version it belongs to; not open when none was found.
struct VersionKey {
    RegistryKey key;
    int version = 0;
};

// Reads a decimal number as the system's C library does: leading white space skipped, an
// optional sign, digits up to the first non-digit; 0 without digits. Clamped to int.
int parse_decimal(const std::string& text) {
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// Reads a live-link port as the registry holds it; false unless it lies in 1..65535.
bool port_in_range(long long value, int& port) {
    if (value < kLowestPort || value > kHighestPort) return false;
    port = static_cast<int>(value);
    return true;
}

// Returns the path of the version key of a major version.
std::string version_key_path(int version) {
    return std::string(kBaseKey) + kVersionKeyPrefix + std::to_string(version);
}

// Reads the major version out of a version key's name: the product name, one space and the
// version in decimal, written as std::to_string writes it (no sign but '-', no leading zero),
// the name compared without regard to case. False for any other name.
bool version_of_key_name(const std::string& name, int& version) {
    const std::size_t prefix = std::strlen(kVersionKeyPrefix);
    if (name.size() <= prefix) return false;
    for (std::size_t i = 0; i < prefix; ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) !=
            std::tolower(static_cast<unsigned char>(kVersionKeyPrefix[i])))
            return false;
    const std::string digits = name.substr(prefix);
    const char* first = digits.data();
    const char* last = first + digits.size();
    int value = 0;
    auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return false;
    if (std::to_string(value) != digits) return false; // "+8", "08", "-0"
    version = value;
    return true;
}

// Opens a version key; it counts only when its "BinName" names a readable file.
RegistryKey open_version_key(const platform::RegistryStore& store, const std::string& path) {
    RegistryKey key = store.open(path);
    std::string bin_name;
    if (!key.read_text(kBinNameValue, kChoiceTextLimit, bin_name) ||
        !platform::file_readable(bin_name))
        return RegistryKey();
    return key;
}

// Returns the major versions of the version keys below the base key, highest first, each once.
std::vector<int> recorded_versions(const RegistryKey& base) {
    std::vector<int> versions;
    for (const std::string& name : base.subkey_names()) {
        int version = 0;
        if (version_of_key_name(name, version)) versions.push_back(version);
    }
    std::sort(versions.begin(), versions.end(), std::greater<int>());
    versions.erase(std::unique(versions.begin(), versions.end()), versions.end());
    return versions;
}

// Finds the installation to use under one root: the active path first, then the version
// value, then the highest version key in range. The ways are tried in that order and the
// first that yields an installation in range wins; a way that does not is passed over. Only
// the version keys the root holds are visited.
VersionKey open_key_in_root(const platform::RegistryStore& store, int lowest, int highest) {
    auto in_range = [lowest, highest](int version) {
        return version >= lowest && version <= highest;
    };
    RegistryKey base = store.open(kBaseKey);
    if (!base.is_open()) return VersionKey();

    std::string active_path;
    if (base.read_text("PhotaraActivePath", kChoiceTextLimit, active_path)) {
        int version = InstallationRegistry::version_from_active_path(active_path);
        if (in_range(version)) {
            RegistryKey key = open_version_key(store, version_key_path(version));
            if (key.is_open()) return VersionKey{std::move(key), version};
        }
    }

    std::string version_name;
    if (base.read_text("PhotaraVersion", kChoiceTextLimit, version_name)) {
        std::size_t space = version_name.find(' ');
        int version = parse_decimal(space == std::string::npos ? version_name
                                                               : version_name.substr(space + 1));
        if (version >= 1 && in_range(version)) {
            RegistryKey key = open_version_key(store, kBaseKey + version_name);
            if (key.is_open()) return VersionKey{std::move(key), version};
        }
    }

    for (int version : recorded_versions(base)) {
        if (!in_range(version)) continue;
        RegistryKey key = open_version_key(store, version_key_path(version));
        if (key.is_open()) return VersionKey{std::move(key), version};
    }
    return VersionKey();
}

// Finds the newest installation in range under both roots; on equal versions the current
// user's wins. Tells which root it came from.
VersionKey open_newest_key(const Stores& stores, int lowest, int highest,
                           RegistryRoot* from = nullptr) {
    VersionKey user = open_key_in_root(stores.user, lowest, highest);
    VersionKey machine = open_key_in_root(stores.machine, lowest, highest);
    const bool user_counts = user.key.is_open() && user.version > 0;
    const bool machine_counts = machine.key.is_open() && machine.version > 0;
    if (machine_counts && (!user_counts || machine.version > user.version)) {
        if (from) *from = RegistryRoot::local_machine;
        return machine;
    }
    if (user_counts) {
        if (from) *from = RegistryRoot::current_user;
        return user;
    }
    return VersionKey();
}

VersionKey open_newest_key(int lowest, int highest) {
    return open_newest_key(Stores(), lowest, highest);
}

// Reads one text value of the newest installation; empty when there is none.
std::string read_newest_value(const char* name, int lowest, int highest) {
    VersionKey found = open_newest_key(lowest, highest);
    std::string value;
    found.key.read_text(name, kValueLimit, value);
    return value;
}

// Returns the text in double quotes.
std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Describes the version keys of one root: which there are and which count.
std::string describe_root(const platform::RegistryStore& store, int lowest, int highest) {
    using State = platform::RegistryStore::State;
    std::string text = platform::registry_root_name(store.root());
    text +=
        store.location().empty() ? " registry (" : " records " + quoted(store.location()) + " (";
    switch (store.state()) {
    case State::missing:
        return text + "missing)";
    case State::not_regular_file:
        return text + "not a regular file)";
    case State::unreadable:
        return text + "unreadable)";
    case State::read:
        break;
    }
    if (!store.location().empty()) text += "read, ";
    RegistryKey base = store.open(kBaseKey);
    const std::vector<int> versions = recorded_versions(base);
    text +=
        std::to_string(versions.size()) + (versions.size() == 1 ? " version key" : " version keys");
    std::size_t listed = 0;
    for (int version : versions) {
        if (listed == kDescribedKeysLimit) {
            text += ", " + std::to_string(versions.size() - listed) + " more";
            break;
        }
        text += listed++ == 0 ? ": " : ", ";
        RegistryKey key = store.open(version_key_path(version));
        std::string bin_name;
        text += kVersionKeyPrefix + std::to_string(version);
        if (!key.read_text(kBinNameValue, kChoiceTextLimit, bin_name))
            text += " no BinName";
        else if (!platform::file_readable(bin_name))
            text += " BinName " + quoted(bin_name) + " not readable";
        else
            text += " counted";
        if (version < lowest || version > highest) text += " (out of range)";
    }
    return text + ")";
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
    // The version follows the last of the product name's letters, any of them.
    std::size_t letter = path.find_last_of("Photara");
    if (letter == std::string::npos) return kNoVersion;
    std::size_t start = letter + 1;
    std::size_t end = path.rfind('/');
    if (end == std::string::npos) end = path.rfind('\\');
    if (end == std::string::npos || end <= start) return kNoVersion;
    return parse_decimal(path.substr(start, end - start));
}

std::string InstallationRegistry::describe_search(int lowest, int highest) const {
    const Stores stores;
    std::string text = describe_root(stores.user, lowest, highest) + "; " +
                       describe_root(stores.machine, lowest, highest) + "; ";
    const std::string range = std::to_string(lowest) + ".." + std::to_string(highest);
    RegistryRoot from = RegistryRoot::current_user;
    VersionKey found = open_newest_key(stores, lowest, highest, &from);
    if (!found.key.is_open()) return text + "no installation of versions " + range;
    std::string folder;
    found.key.read_text(kBinFolderValue, kValueLimit, folder);
    return text + "installation " + std::to_string(found.version) + " of " +
           platform::registry_root_name(from) + " chosen for versions " + range +
           (folder.empty() ? ", no BinFolder" : ", BinFolder " + quoted(folder));
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
    if (!found.key.read_text("ResourceFolder", kValueLimit, folder))
        std::fputs("Could not find Photara resource folder\n", stdout);
    return folder;
}

int InstallationRegistry::get_live_link_ports(int* lowest_port, int* highest_port, int lowest,
                                              int highest) const {
    VersionKey found = open_newest_key(lowest, highest);
    if (!found.key.is_open()) return kPortsNoInstallation;
    int status = kPortsNone;
    auto store = [](int* out, int value) {
        if (out) *out = value;
    };

    // A port outside 1..65535 counts as no port value at all.
    std::uint32_t number = 0;
    std::string text;
    int port = 0;
    if (found.key.read_number(kLowestPortValue, number)) {
        if (!port_in_range(number, port)) return status;
        store(lowest_port, port);
        status = kPortsLowestOnly;
        if (found.key.read_number(kHighestPortValue, number) && port_in_range(number, port)) {
            store(highest_port, port);
            status = kPortsBoth;
        }
    } else if (found.key.read_text(kLowestPortValue, kPortTextLimit, text)) {
        if (!port_in_range(parse_decimal(text), port)) return status;
        store(lowest_port, port);
        status = kPortsLowestOnly;
        if (found.key.read_text(kHighestPortValue, kPortTextLimit, text) &&
            port_in_range(parse_decimal(text), port)) {
            store(highest_port, port);
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
