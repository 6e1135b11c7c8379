#include "dev/link/photaralive_loader.h"

#include "dev/install/installation_registry.h"
#include "log/log.h"
#include "platform/file_system.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kFirstVersionWithNewName = 6;
constexpr const char* kSuffixes[] = {"32.so", "64.so"};

// Every line of the loader carries a fixed line number of its own, whatever the layout of
// this file, so that lines read the same from one build to the next.
constexpr int kFolderLogLine = 153;
constexpr int kHandleLogLine = 218;
constexpr int kNoHandleLogLine = 234;
constexpr int kRootLogLine = 245;
constexpr int kQueryApiLogLine = 282;

// The process-wide loader; null while none exists.
std::unique_ptr<vtl::photara_live_loader> g_loader;

// What the last initialisation of a loader did, for error reports.
struct LoadReport {
    enum class Outcome { not_looked_for, no_folder, no_library, no_entry_point, no_root, ready };
    struct Attempt {
        std::string path;
        bool loaded;
    };
    Outcome outcome = Outcome::not_looked_for;
    int lowest = 0;
    int highest = 0;
    std::vector<Attempt> attempts;
};
LoadReport g_last_load;

// Returns a pointer as 16 upper-case hexadecimal digits.
std::string pointer_text(const void* pointer) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llX",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pointer)));
    return text;
}

// Returns the code point of the UTF-8 sequence at text[at] and moves at past it; an invalid
// sequence (cut, overlong, a surrogate, beyond U+10FFFF) yields U+FFFD for its first byte.
std::uint32_t next_code_point(const std::string& text, std::size_t& at) {
    constexpr std::uint32_t kReplacement = 0xFFFD;
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length;
    std::uint32_t code;
    std::uint32_t lowest;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u, lowest = 0x10000;
    } else {
        ++at;
        return kReplacement;
    }
    if (text.size() - at < length) {
        ++at;
        return kReplacement;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return kReplacement;
        }
        code = code << 6 | (next & 0x3Fu);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++at;
        return kReplacement;
    }
    at += length;
    return code;
}

// Returns the folder as the system's UTF-16 text would be written one unit a byte: each unit
// narrowed to its low byte, so that every platform logs the same bytes for the same folder.
std::string narrowed_utf16_units(const std::string& folder) {
    std::string narrowed;
    narrowed.reserve(folder.size());
    for (std::size_t at = 0; at < folder.size();) {
        std::uint32_t code = next_code_point(folder, at);
        if (code >= 0x10000) {
            code -= 0x10000;
            narrowed += static_cast<char>((0xD800 + (code >> 10)) & 0xFF);
            narrowed += static_cast<char>((0xDC00 + (code & 0x3FF)) & 0xFF);
        } else {
            narrowed += static_cast<char>(code & 0xFF);
        }
    }
    return narrowed;
}

// Creates the loader when none exists; a loader that cannot be initialised is destroyed again.
vtl::photara_live_loader* loader(int lowest, int highest) {
    if (!g_loader) {
        g_loader = std::make_unique<vtl::photara_live_loader>();
        if (!g_loader->initialize(lowest, highest)) vtl_unload_live_library();
    }
    return g_loader.get();
}

} // namespace

// One log statement of the loader at its fixed line number.
#define LOADER_LOG(level, line)                                                                    \
    if constexpr ((level) > ::vtl::kLogMaxLevel) {                                                 \
    } else if ((level) > ::vtl::FILELog::reporting_level() || !::vtl::Output2FILE::stream()) {     \
    } else                                                                                         \
        ::vtl::FILELog().get_stream((level), __FILE__, (line))

namespace vtl {

photara_live_loader::~photara_live_loader() {
    root_.reset();
    library_.unload();
}

std::string photara_live_loader::base_name(int major) {
    return major >= kFirstVersionWithNewName ? "vtlphotaralive6_" : "vtlphotaralive";
}

bool photara_live_loader::initialize(int lowest, int highest) {
    using Outcome = LoadReport::Outcome;
    LoadReport& report = g_last_load;
    report = LoadReport();
    report.lowest = lowest;
    report.highest = highest;
    report.outcome = Outcome::no_folder;
    int major = 0;
    std::string folder = InstallationRegistry::instance().get_bin_folder(&major, lowest, highest);
    if (folder.empty()) return false;
    const std::string base = base_name(major);
    LOADER_LOG(logDEBUG4, kFolderLogLine) << narrowed_utf16_units(folder);

    report.outcome = Outcome::no_library;
    for (const std::string& where : {folder, std::string(".")}) {
        for (const char* suffix : kSuffixes) {
            std::string path = where + platform::kFolderSeparator + base + suffix;
            library_ = platform::DynamicLibrary::load(path);
            report.attempts.push_back({std::move(path), library_.is_loaded()});
            if (library_.is_loaded()) break;
        }
        if (library_.is_loaded()) break;
    }
    LOADER_LOG(logDEBUG4, kHandleLogLine)
        << "initialize shared handle: " << pointer_text(library_.handle());
    if (!library_.is_loaded()) {
        LOADER_LOG(logWARNING, kNoHandleLogLine) << "NO shared handle";
        return false;
    }

    auto entry =
        reinterpret_cast<PhotaraLiveInitialize>(library_.find_symbol(kPhotaraLiveEntryPoint));
    if (entry) root_.reset(entry());
    LOADER_LOG(logDEBUG4, kRootLogLine) << "Photara live: " << pointer_text(root_.get());
    report.outcome = !entry ? Outcome::no_entry_point : root_ ? Outcome::ready : Outcome::no_root;
    return root_ != nullptr;
}

std::string describe_live_search(int lowest, int highest) noexcept {
    try {
        using Outcome = LoadReport::Outcome;
        std::string text =
            "searched: " + InstallationRegistry::instance().describe_search(lowest, highest) + "; ";
        const LoadReport& report = g_last_load;
        if (report.outcome == Outcome::not_looked_for || report.outcome == Outcome::no_folder)
            return text + "Live library not looked for";
        text += "Live library of versions " + std::to_string(report.lowest) + ".." +
                std::to_string(report.highest) + ":";
        for (const LoadReport::Attempt& attempt : report.attempts) {
            text += " \"" + attempt.path + "\"";
            text += attempt.loaded                          ? " loaded,"
                    : platform::file_readable(attempt.path) ? " not loadable,"
                                                            : " missing,";
        }
        switch (report.outcome) {
        case Outcome::no_library:
            text += " none loaded";
            break;
        case Outcome::no_entry_point:
            text += std::string(" no entry point \"") + kPhotaraLiveEntryPoint + "\"";
            break;
        case Outcome::no_root:
            text += " its entry point gave no live root";
            break;
        default:
            text += g_loader ? " in use" : " since unloaded";
            break;
        }
        return text;
    } catch (...) {
        return std::string(); // no description rather than none at all for the whole report
    }
}

} // namespace vtl

vtlScene_api* vtl_get_scene_api(int lowest, int highest) {
    vtl::photara_live_loader* current = loader(lowest, highest);
    return current && current->root() ? current->root()->get_scene_api() : nullptr;
}

vtl::PhotaraQueryApi* vtl_get_query_api(int lowest, int highest) {
    LOADER_LOG(vtl::logDEBUG4, kQueryApiLogLine)
        << "vtl_get_query_api -> photara_live_loader: " << pointer_text(g_loader.get());
    vtl::photara_live_loader* current = loader(lowest, highest);
    return current && current->root() ? current->root()->get_query_api() : nullptr;
}

void vtl_unload_live_library() {
    g_loader.reset();
}
