// sceneapi-view: shows a Scene file in the browser.
//
//   sceneapi-view [--port N] [--no-browser] FILE
//
// Serves the viewer on 127.0.0.1 (any free port unless --port N), prints its URL
// (http://127.0.0.1:PORT/?token=T), opens it with xdg-open unless --no-browser, shows the file
// again whenever it changes, and ends on Ctrl-C (SIGINT) or SIGTERM. Exit status 0 after a stop;
// 1 when the file cannot be read or is no Scene file, or the server cannot start; 2 for bad
// arguments.

#include "sceneapi_version.h"
#include "view_server.h"

#include "reader/scene_reader.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kUsage = "usage: sceneapi-view [--port N] [--no-browser] FILE\n";
constexpr const char* kHelp =
    "Shows a Scene file in the browser: serves a viewer on 127.0.0.1 and prints its URL,\n"
    "which carries a token; only requests with that token are answered.\n"
    "\n"
    "  --port N       listen on port N (default: any free port)\n"
    "  --no-browser   do not open the browser (xdg-open)\n"
    "  --version      print the version;  --help  print this text\n"
    "\n"
    "The page shows the file again when it changes. Ctrl-C ends the viewer.\n";
constexpr int kMaxPort = 65535;

// Size and time of last change, to notice a file written anew.
struct Stamp {
    bool exists = false;
    off_t size = 0;
    timespec changed{};
    bool operator!=(const Stamp& o) const {
        return exists != o.exists || size != o.size || changed.tv_sec != o.changed.tv_sec ||
               changed.tv_nsec != o.changed.tv_nsec;
    }
};

Stamp stamp_of(const std::string& path) {
    Stamp s;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        s.exists = true;
        s.size = info.st_size;
        s.changed = info.st_mtim;
    }
    return s;
}

bool is_port(const char* text, int& port) {
    const std::size_t length = std::strlen(text);
    if (length == 0 || length > 5 || std::strspn(text, "0123456789") != length) return false;
    port = std::atoi(text);
    return port <= kMaxPort;
}

} // namespace

int main(int argc, char** argv) {
    int port = 0;
    bool browser = true;
    std::string path;
    int paths = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::printf("%s\n%s", kUsage, kHelp);
            return 0;
        }
        if (a == "--version") {
            std::printf("sceneapi-view %s\n", SCENEAPI_VERSION);
            return 0;
        }
        if (a == "--no-browser") {
            browser = false;
        } else if (a == "--port") {
            if (i + 1 >= argc || !is_port(argv[i + 1], port)) {
                std::fprintf(stderr, "sceneapi-view: --port takes a port number (0..%d)\n%s",
                             kMaxPort, kUsage);
                return 2;
            }
            ++i;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "sceneapi-view: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        } else {
            path = a;
            ++paths;
        }
    }
    if (paths != 1) {
        std::fprintf(stderr, "sceneapi-view: give one Scene file\n%s", kUsage);
        return 2;
    }

    std::string text;
    std::string reason;
    if (!vtl::reader::read_file_text(path, text, reason)) {
        std::fprintf(stderr, "sceneapi-view: %s: %s\n", path.c_str(), reason.c_str());
        return 1;
    }
    const std::string name = std::filesystem::path(path).filename().string();
    Stamp seen = stamp_of(path);

    // SIGINT and SIGTERM are taken by sigtimedwait below, on this thread only.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &stops, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    vtl::view::ServerOptions options;
    options.port = port;
    vtl::view::ViewServer server(options);
    server.show(name, text);
    const auto first = server.current();
    if (!first->read) {
        std::fprintf(stderr, "sceneapi-view: %s: %s\n", path.c_str(), first->error.c_str());
        return 1;
    }
    if (!first->ok)
        std::fprintf(stderr, "sceneapi-view: %s: warning: %s\n", path.c_str(),
                     first->error.c_str());
    std::string error;
    if (!server.start(error)) {
        std::fprintf(stderr, "sceneapi-view: %s\n", error.c_str());
        return 1;
    }
    std::printf("sceneapi-view: showing %s at %s\n", path.c_str(), server.url().c_str());
    if (!browser || !vtl::view::can_open_browser())
        std::printf("sceneapi-view: open that URL in a browser on this machine; Ctrl-C stops\n");
    else
        std::printf("sceneapi-view: Ctrl-C stops\n");
    std::fflush(stdout);
    if (browser && vtl::view::can_open_browser()) vtl::view::open_browser(server.url());

    for (;;) {
        const timespec second{1, 0};
        const int signal = ::sigtimedwait(&stops, nullptr, &second);
        if (signal == SIGINT || signal == SIGTERM) break;
        const Stamp now = stamp_of(path);
        if (!(now != seen)) continue;
        seen = now;
        if (vtl::reader::read_file_text(path, text, reason))
            server.show(name, text);
        else
            server.show_error(name, reason);
    }
    server.stop();
    std::printf("sceneapi-view: stopped\n");
    return 0;
}
