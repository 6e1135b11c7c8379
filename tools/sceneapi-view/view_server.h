#pragma once
// The local scene viewer: an HTTP server on the loopback interface that serves a page drawing a
// Scene file with three.js, the scene as binary glTF and the inspector's summary of it.
//
//   /              the viewer page (viewer.js and viewer.css beside it)
//   /three/...     three.min.js, GLTFLoader.js and OrbitControls.js from the system's three.js
//   /scene.glb     the scene as binary glTF (404 while there is none)
//   /summary.json  what "sceneapi-info --json" says of it
//   /state.json    {"version", "name", "ok", "error", "warnings", counts of the conversion}; the
//                  version grows by one with every scene shown, and the page polls it
//
// Only the person who started it may look: it answers 421 to a Host header other than
// 127.0.0.1:PORT or localhost:PORT (a page of another site reaching it through DNS rebinding),
// and 403 to a request whose query does not carry the token of its URL.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace vtl::view {

// One scene as the viewer serves it.
struct Snapshot {
    std::uint64_t version = 0; // 0: no scene yet
    std::string name;          // the file name shown
    bool read = false;         // read as a Scene file (its summary is one)
    bool ok = false;           // read and converted
    std::string error;         // why not, when !ok
    std::vector<unsigned char> glb;
    std::string summary_json;
    std::string state_json;
};

// Reads a Scene file text and converts it for the viewer; never throws.
Snapshot make_snapshot(const std::string& name, const std::string& text, std::uint64_t version);

struct ServerOptions {
    int port = 0;             // 0: any free port
    std::string page_folder;  // index.html, viewer.js, viewer.css
    std::string three_folder; // the system's three.js (three.min.js, examples/js/...)
    std::string token;        // empty: a random one
};

// Where the page is: $SCENEAPI_VIEW_PAGE, else share/sceneapi_cs_wrapper/view beside the
// installed program, else the source tree's page folder.
std::string default_page_folder();
// Where three.js is: $SCENEAPI_VIEW_THREE, else the folder Debian's libjs-three installs.
std::string default_three_folder();
// A token of 24 random bytes from the system's random source, as 48 hexadecimal digits.
std::string random_token();

// True when xdg-open is on PATH.
bool can_open_browser();
// Opens the URL with xdg-open, detached: its output goes nowhere and nobody waits for it.
void open_browser(const std::string& url);

class ViewServer {
public:
    explicit ViewServer(ServerOptions options);
    ~ViewServer();
    ViewServer(const ViewServer&) = delete;
    ViewServer& operator=(const ViewServer&) = delete;

    // Reads the page and three.js, binds 127.0.0.1 and serves on a thread of its own (which
    // leaves SIGINT and SIGTERM to the caller's threads); false with the reason otherwise.
    bool start(std::string& error);
    // Ends serving and waits for the thread; also done by the destructor.
    void stop();

    // Shows a new scene: reads and converts the text, then serves it under the next version.
    // Returns that version.
    std::uint64_t show(const std::string& name, const std::string& text);
    // Shows a scene that could not be read (a file gone, say) under the next version.
    std::uint64_t show_error(const std::string& name, const std::string& error);
    std::shared_ptr<const Snapshot> current() const;

    int port() const { return port_; }
    const std::string& token() const { return options_.token; }
    // http://127.0.0.1:PORT/?token=TOKEN
    std::string url() const;

private:
    void route();
    std::uint64_t next_version();
    void publish(Snapshot snapshot);

    ServerOptions options_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::atomic<bool> serving_ended_{false}; // the serving thread has left its loop
    int port_ = 0;
    mutable std::mutex mutex_;
    std::shared_ptr<const Snapshot> current_;
    std::uint64_t last_version_ = 0;
    std::vector<std::pair<std::string, std::string>> files_; // path, content (page, three.js)
};

} // namespace vtl::view
