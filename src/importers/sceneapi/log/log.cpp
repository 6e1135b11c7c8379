#include "log/log.h"

#include "platform/clock.h"
#include "platform/file_stream.h"
#include "platform/file_system.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vtl {

namespace {

constexpr const char* kLevelNames[] = {"ERROR",  "WARNING", "INFO",   "DEBUG", "DEBUG1",
                                       "DEBUG2", "DEBUG3",  "DEBUG4", "NONE"};
constexpr long kRestartSize = 0x1400000; // 20 MiB: a log this large is started afresh
#ifndef _WIN32
constexpr std::size_t kPasswordBufferSize = 16384;
#endif

struct StreamCloser {
    void operator()(FILE* stream) const noexcept { std::fclose(stream); }
};

// The process-wide log stream, flushed after every line. It is closed when the library or
// program is unloaded (a library loaded and unloaded again by its host must not leave a
// descriptor behind); a statement made after that, while the rest of the unloading runs,
// opens the file for its line alone.
FILE* g_log_stream = nullptr;
bool g_unloaded = false;

struct LogStreamCloser {
    ~LogStreamCloser() {
        Output2FILE::reset();
        g_unloaded = true;
    }
} g_log_stream_closer;

// Names the folder of the log file; registered by the installation records reader.
Output2FILE::FolderProvider g_folder_provider = nullptr;

#ifndef _WIN32
// Returns the user's home folder: $HOME, else the password entry's; empty when neither names one.
std::string home_folder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    passwd entry{};
    passwd* found = nullptr;
    std::unique_ptr<char[]> buffer(new char[kPasswordBufferSize]);
    if (::getpwuid_r(::getuid(), &entry, buffer.get(), kPasswordBufferSize, &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return std::string();
}

// Creates a folder and the folders above it that are missing; a folder that exists is fine.
void make_folders(const std::string& path) {
    for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        const std::string part = at == std::string::npos ? path : path.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return;
        if (at == std::string::npos) return;
    }
}

// Returns the folder of the log when there is no resource folder: "vantel" in the user's state
// folder ($XDG_STATE_HOME, else ~/.local/state), created when missing; empty when the user has
// no home folder.
std::string state_folder() {
    const char* state_home = std::getenv("XDG_STATE_HOME");
    std::string folder;
    if (state_home && state_home[0] == '/') {
        folder = state_home;
    } else {
        folder = home_folder();
        if (folder.empty()) return folder;
        folder += "/.local/state";
    }
    folder += "/vantel";
    make_folders(folder);
    return folder;
}
#endif

// Returns the path of the log file in the resource folder. Without a folder, Windows names the
// root of the current drive ("\\sceneapi.log"); POSIX uses the user's state folder, never the
// working directory (for a plug-in usually the user's documents) nor the root of the file system.
std::string log_file_path() {
    std::string folder = g_folder_provider ? g_folder_provider() : std::string();
#ifndef _WIN32
    if (folder.empty()) folder = state_folder();
    if (folder.empty()) return std::string();
#endif
    return folder + platform::kFolderSeparator + "sceneapi.log";
}

// Returns the size of an existing file; 0 when it does not exist or cannot be read.
long existing_size(const std::string& path) {
    std::unique_ptr<FILE, StreamCloser> stream(platform::open_file_utf8(path.c_str(), "rb"));
    if (!stream || std::fseek(stream.get(), 0, SEEK_END) != 0) return 0;
    long size = std::ftell(stream.get());
    return size < 0 ? 0 : size;
}

// Opens the log file: appended to while it is below the restart size, else started afresh.
FILE* open_log_file() {
    std::string path = log_file_path();
    const char* mode = existing_size(path) < kRestartSize ? "a" : "w";
    FILE* stream = platform::open_file_utf8(path.c_str(), mode);
    if (!stream) {
        std::cerr << "could not open log file:" << std::endl;
        std::perror("opening log");
    }
    return stream;
}

} // namespace

std::string NowTime() {
    std::string time_of_day;
    if (!platform::time_of_day_text(time_of_day)) return "Error in NowTime()";
    static const std::uint32_t first_tick = platform::tick_ms();
    const std::uint32_t elapsed = platform::tick_ms() - first_tick; // wraps like the tick
    char text[256];
    std::snprintf(text, sizeof text, "%s.%03ld", time_of_day.c_str(),
                  static_cast<long>(elapsed % 1000));
    return text;
}

const char* log_level_name(int level) noexcept {
    constexpr int count = static_cast<int>(sizeof kLevelNames / sizeof kLevelNames[0]);
    return level >= 0 && level < count ? kLevelNames[level] : "NONE";
}

const char* log_base_name(const char* path) noexcept {
    const char* base = path;
    for (const char* c = path; *c; ++c)
        if (*c == '\\' || *c == '/') base = c + 1;
    return base;
}

FILE* Output2FILE::stream() {
    if (!g_log_stream) g_log_stream = open_log_file();
    return g_log_stream;
}

void Output2FILE::output(const std::string& line) {
    FILE* log = stream();
    if (!log) return;
    std::fprintf(log, "%s", line.c_str());
    std::fflush(log);
    if (g_unloaded) reset();
}

void Output2FILE::set_folder_provider(FolderProvider provider) noexcept {
    g_folder_provider = provider;
}

void Output2FILE::reset() noexcept {
    if (g_log_stream) std::fclose(g_log_stream);
    g_log_stream = nullptr;
}

} // namespace vtl
