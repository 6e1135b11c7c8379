#include "dev/link/photaralive_loader.h"

#include "dev/install/installation_registry.h"
#include "log/log.h"
#include "platform/file_system.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr const char* kBaseNameOld = "vtlphotaralive";
constexpr const char* kBaseNameNew = "vtlphotaralive6_";
constexpr int kFirstVersionWithNewName = 6;
constexpr const char* kSuffixes[] = {"32.so", "64.so"};
constexpr const char* kRelativeFolder = ".";

constexpr const char* kQueryApiLogText = "vtl_get_query_api -> photara_live_loader: ";
constexpr const char* kHandleLogText = "initialize shared handle: ";
constexpr const char* kNoHandleLogText = "NO shared handle";
constexpr const char* kRootLogText = "Photara live: ";

// Every line of the loader carries a fixed line number of its own, whatever the layout of
// this file, so that lines read the same from one build to the next.
constexpr int kFolderLogLine = 153;
constexpr int kHandleLogLine = 218;
constexpr int kNoHandleLogLine = 234;
constexpr int kRootLogLine = 245;
constexpr int kQueryApiLogLine = 282;

// The process-wide loader; null while none exists.
std::unique_ptr<vtl::photara_live_loader> g_loader;

// Returns a pointer as 16 upper-case hexadecimal digits.
std::string pointer_text(const void* pointer) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llX",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pointer)));
    return text;
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
    return major >= kFirstVersionWithNewName ? kBaseNameNew : kBaseNameOld;
}

bool photara_live_loader::initialize(int lowest, int highest) {
    int major = 0;
    std::string folder = InstallationRegistry::instance().get_bin_folder(&major, lowest, highest);
    if (folder.empty()) return false;
    const std::string base = base_name(major);
    LOADER_LOG(logDEBUG4, kFolderLogLine) << folder;

    for (const std::string& where : {folder, std::string(kRelativeFolder)}) {
        for (const char* suffix : kSuffixes) {
            library_ =
                platform::DynamicLibrary::load(where + platform::kFolderSeparator + base + suffix);
            if (library_.is_loaded()) break;
        }
        if (library_.is_loaded()) break;
    }
    LOADER_LOG(logDEBUG4, kHandleLogLine) << kHandleLogText << pointer_text(library_.handle());
    if (!library_.is_loaded()) {
        LOADER_LOG(logWARNING, kNoHandleLogLine) << kNoHandleLogText;
        return false;
    }

    auto entry =
        reinterpret_cast<PhotaraLiveInitialize>(library_.find_symbol(kPhotaraLiveEntryPoint));
    if (entry) root_.reset(entry());
    LOADER_LOG(logDEBUG4, kRootLogLine) << kRootLogText << pointer_text(root_.get());
    return root_ != nullptr;
}

} // namespace vtl

vtlScene_api* vtl_get_scene_api(int lowest, int highest) {
    vtl::photara_live_loader* current = loader(lowest, highest);
    return current && current->root() ? current->root()->get_scene_api() : nullptr;
}

vtl::PhotaraQueryApi* vtl_get_query_api(int lowest, int highest) {
    LOADER_LOG(vtl::logDEBUG4, kQueryApiLogLine)
        << kQueryApiLogText << pointer_text(g_loader.get());
    vtl::photara_live_loader* current = loader(lowest, highest);
    return current && current->root() ? current->root()->get_query_api() : nullptr;
}

void vtl_unload_live_library() {
    g_loader.reset();
}
