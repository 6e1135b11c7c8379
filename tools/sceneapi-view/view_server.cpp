// The local scene viewer's server: see view_server.h.

#include "view_server.h"

#include "file_api/scene_text.h"
#include "reader/scene_reader.h"
#include "scene_summary.h"
#include "scene_to_gltf.h"
#include "summary_printer.h"

#include <httplib.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <pthread.h>
#include <set>
#include <sstream>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

using namespace vtl::scene_text;

namespace vtl::view {

namespace {

constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kTokenMark = "__TOKEN__";

// A file served as it is: the path asked for, the file it comes from, its media type.
struct Served {
    const char* path;
    const char* file;
    const char* type;
    bool from_three;
};

constexpr Served kServed[] = {
    {"/", "index.html", "text/html; charset=utf-8", false},
    {"/viewer.js", "viewer.js", "text/javascript; charset=utf-8", false},
    {"/viewer.css", "viewer.css", "text/css; charset=utf-8", false},
    {"/three/three.min.js", "three.min.js", "text/javascript; charset=utf-8", true},
    {"/three/GLTFLoader.js", "examples/js/loaders/GLTFLoader.js", "text/javascript; charset=utf-8",
     true},
    {"/three/OrbitControls.js", "examples/js/controls/OrbitControls.js",
     "text/javascript; charset=utf-8", true},
};

// The headers of every answer: nothing is cached (the token is in the URL), nothing is loaded
// from elsewhere, no other site may frame the page.
const httplib::Headers kCommonHeaders = {
    {"Cache-Control", "no-store"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"X-Frame-Options", "DENY"},
    {"Content-Security-Policy",
     "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; "
     "connect-src 'self' blob: data:; frame-ancestors 'none'; base-uri 'none'"},
};

bool read_file(const std::filesystem::path& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Compares without stopping at the first difference, so that timing tells nothing of the token.
bool same_secret(const std::string& given, const std::string& expected) {
    if (expected.empty()) return false;
    unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ expected[i % expected.size()]);
    return difference == 0;
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The geometry block of an object block, or null.
const vtl::reader::Node* geometry_of(const vtl::reader::Node& object) {
    for (const vtl::reader::Node& c : object.children)
        if (c.kind == vtl::reader::NodeKind::Block && c.keyword == "geometry") return &c;
    return nullptr;
}

// The names of the placed objects drawn from a NURBS surface (tessellated for the viewer),
// directly or as an instance of a defined one.
std::vector<std::string> tessellated_objects(const vtl::reader::Document& document) {
    using vtl::reader::Node;
    using vtl::reader::NodeKind;
    using vtl::reader::ValueKind;
    std::set<double> nurbs_ids;
    std::vector<const Node*> placed;
    vtl::reader::walk(document.nodes, [&](const Node& n, int) {
        if (n.kind != NodeKind::Block || n.keyword != "object") return;
        const Node* geometry = geometry_of(n);
        if (!geometry) return;
        if (!n.definition) {
            placed.push_back(&n);
        } else if (geometry->name() == kNurbs) {
            for (const Node& c : n.children)
                if (c.kind == NodeKind::Statement && c.keyword == "id" && !c.values.empty() &&
                    c.values[0].kind == ValueKind::Number)
                    nurbs_ids.insert(c.values[0].number);
        }
    });
    std::vector<std::string> names;
    for (const Node* n : placed) {
        const Node* geometry = geometry_of(*n);
        const vtl::reader::Value* id = geometry->value_of("id");
        if (geometry->name() == kNurbs ||
            (geometry->name() == kInstance && id && id->kind == ValueKind::Number &&
             nurbs_ids.count(id->number)))
            names.push_back(n->name());
    }
    return names;
}

std::string state_json(const Snapshot& s, const vtl::gltf::Conversion& c,
                       const std::vector<std::string>& tessellated = {}) {
    std::string out = "{\"version\": " + std::to_string(s.version) +
                      ", \"name\": " + json_string(s.name) +
                      ", \"ok\": " + (s.ok ? "true" : "false") +
                      ", \"error\": " + json_string(s.error) + ", \"warnings\": [";
    for (std::size_t i = 0; i < c.warnings.size(); ++i)
        out += (i ? ", " : "") + json_string(c.warnings[i]);
    out += "], \"meshes\": " + std::to_string(c.meshes) +
           ", \"nodes\": " + std::to_string(c.nodes) +
           ", \"triangles\": " + std::to_string(c.triangles) +
           ", \"materials\": " + std::to_string(c.materials) +
           ", \"bytes\": " + std::to_string(s.glb.size()) + ", \"tessellated_objects\": [";
    for (std::size_t i = 0; i < tessellated.size(); ++i)
        out += (i ? ", " : "") + json_string(tessellated[i]);
    out += "]}";
    return out;
}

std::filesystem::path own_folder() {
    std::error_code error;
    return std::filesystem::canonical("/proc/self/exe", error).parent_path();
}

// True when a program of that name is found on PATH.
bool on_path(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string folders = path;
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

} // namespace

bool can_open_browser() {
    return on_path("xdg-open");
}

void open_browser(const std::string& url) {
    const pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        if (::fork() == 0) {
            ::setsid();
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                ::dup2(null, 0);
                ::dup2(null, 1);
                ::dup2(null, 2);
            }
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::execlp("xdg-open", "xdg-open", url.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

Snapshot make_snapshot(const std::string& name, const std::string& text, std::uint64_t version) {
    Snapshot s;
    s.version = version;
    s.name = name;
    vtl::gltf::Conversion conversion;
    std::vector<std::string> tessellated;
    std::ostringstream summary;
    try {
        const vtl::reader::ReadResult r = read_scene_to_summarise(text);
        if (!r.ok) {
            s.error = r.error.line == 0
                          ? r.error.message
                          : std::to_string(r.error.line) + ":" + std::to_string(r.error.column) +
                                ": " + r.error.message;
            print_json_error(summary, name, r.error.message, r.error.line, r.error.column);
        } else {
            s.read = true;
            print_json(summary, name, SceneSummary::of(r.document, text));
            conversion = vtl::gltf::scene_to_glb(r.document, s.glb);
            tessellated = tessellated_objects(r.document);
            s.ok = conversion.ok;
            if (!conversion.ok) {
                s.error = conversion.error.empty() ? "the scene could not be converted"
                                                   : conversion.error;
                s.glb.clear();
            }
        }
        s.summary_json = summary.str();
    } catch (const std::exception& e) { // out of memory for a huge scene
        s.ok = false;
        s.error = e.what();
        s.glb.clear();
        s.glb.shrink_to_fit();
        std::ostringstream failure;
        print_json_error(failure, name, s.error);
        s.summary_json = failure.str();
    }
    s.state_json = state_json(s, conversion, tessellated);
    return s;
}

std::string default_page_folder() {
    if (const char* page = std::getenv("SCENEAPI_VIEW_PAGE"); page && *page) return page;
    std::error_code error;
    const std::filesystem::path beside = own_folder() / ".." / SCENEAPI_VIEW_INSTALLED_PAGE;
    if (std::filesystem::is_regular_file(beside / "index.html", error)) return beside.string();
    if (std::filesystem::is_regular_file(
            std::filesystem::path(SCENEAPI_VIEW_INSTALLED_PAGE_FULL) / "index.html", error))
        return SCENEAPI_VIEW_INSTALLED_PAGE_FULL;
    return SCENEAPI_VIEW_SOURCE_PAGE;
}

std::string default_three_folder() {
    if (const char* three = std::getenv("SCENEAPI_VIEW_THREE"); three && *three) return three;
    return SCENEAPI_VIEW_THREE_FOLDER;
}

std::string random_token() {
    unsigned char bytes[24];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {}; // no random source: the caller refuses to start
        got += static_cast<std::size_t>(n);
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token += kDigits[b >> 4];
        token += kDigits[b & 15];
    }
    return token;
}

ViewServer::ViewServer(ServerOptions options) : options_(std::move(options)) {
    Snapshot none;
    none.error = "no scene yet";
    none.summary_json = "{}";
    none.state_json = state_json(none, {});
    current_ = std::make_shared<const Snapshot>(std::move(none));
}

ViewServer::~ViewServer() {
    stop();
}

bool ViewServer::start(std::string& error) {
    if (options_.token.empty()) options_.token = random_token();
    if (options_.token.empty()) {
        error = "no random token: the system's random source failed";
        return false;
    }
    if (options_.page_folder.empty()) options_.page_folder = default_page_folder();
    if (options_.three_folder.empty()) options_.three_folder = default_three_folder();
    for (const Served& s : kServed) {
        const std::filesystem::path file =
            std::filesystem::path(s.from_three ? options_.three_folder : options_.page_folder) /
            s.file;
        std::string content;
        if (!read_file(file, content)) {
            error = "cannot read " + file.string() +
                    (s.from_three ? " (install libjs-three)" : " (the viewer page)");
            return false;
        }
        files_.emplace_back(s.path, std::move(content));
    }
    server_ = std::make_unique<httplib::Server>();
    // Not the library's default, which also sets SO_REUSEPORT: another server of the same user
    // could then take a share of the port, and a port in use would not be reported.
    server_->set_socket_options([](int socket) {
        int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    route();
    if (options_.port > 0) {
        if (!server_->bind_to_port(kLoopback, options_.port)) {
            error = "cannot listen on " + std::string(kLoopback) + ":" +
                    std::to_string(options_.port) + " (in use?)";
            return false;
        }
        port_ = options_.port;
    } else {
        port_ = server_->bind_to_any_port(kLoopback);
        if (port_ <= 0) {
            error = "cannot listen on " + std::string(kLoopback);
            return false;
        }
    }
    // The serving threads leave SIGINT and SIGTERM to the threads of the program.
    sigset_t blocked;
    sigset_t previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    serving_ended_ = false;
    thread_ = std::thread([this] {
        server_->listen_after_bind();
        serving_ended_ = true;
    });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return true;
}

void ViewServer::stop() {
    if (server_ && thread_.joinable()) {
        // The server takes a stop only once its loop runs: a stop asked for before the serving
        // thread's first step would be lost, and the join below would wait for ever.
        while (!server_->is_running() && !serving_ended_)
            std::this_thread::yield();
        server_->stop();
    }
    if (thread_.joinable()) thread_.join();
}

std::string ViewServer::url() const {
    return "http://" + std::string(kLoopback) + ":" + std::to_string(port_) +
           "/?token=" + options_.token;
}

std::uint64_t ViewServer::next_version() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ++last_version_;
}

void ViewServer::publish(Snapshot snapshot) {
    auto shared = std::make_shared<const Snapshot>(std::move(snapshot));
    std::lock_guard<std::mutex> lock(mutex_);
    // Two scenes converted at once: the later version wins.
    if (shared->version > current_->version) current_ = std::move(shared);
}

std::uint64_t ViewServer::show(const std::string& name, const std::string& text) {
    const std::uint64_t version = next_version();
    publish(make_snapshot(name, text, version));
    return version;
}

std::uint64_t ViewServer::show_error(const std::string& name, const std::string& error) {
    Snapshot s;
    s.version = next_version();
    s.name = name;
    s.error = error;
    std::ostringstream summary;
    print_json_error(summary, name, error);
    s.summary_json = summary.str();
    s.state_json = state_json(s, {});
    const std::uint64_t version = s.version;
    publish(std::move(s));
    return version;
}

std::shared_ptr<const Snapshot> ViewServer::current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
}

void ViewServer::route() {
    server_->set_default_headers(kCommonHeaders);
    server_->set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            const std::string host = lower(request.get_header_value("Host"));
            const std::string port = ":" + std::to_string(port_);
            if (host != kLoopback + port && host != "localhost" + port) {
                response.status = 421;
                response.set_content("421 Misdirected Request: this viewer answers only to "
                                     "http://127.0.0.1" +
                                         port + "/ and http://localhost" + port + "/\n",
                                     "text/plain; charset=utf-8");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (!same_secret(request.get_param_value("token"), options_.token)) {
                response.status = 403;
                response.set_content("403 Forbidden: open the URL the viewer printed, with its "
                                     "?token=...\n",
                                     "text/plain; charset=utf-8");
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
    // The page names the token in the addresses of its scripts and style sheet.
    std::string& page = files_.front().second;
    for (std::size_t at = page.find(kTokenMark); at != std::string::npos;
         at = page.find(kTokenMark, at + options_.token.size()))
        page.replace(at, std::char_traits<char>::length(kTokenMark), options_.token);
    for (std::size_t i = 0; i < files_.size(); ++i) {
        const char* type = kServed[i].type;
        const std::string* content = &files_[i].second;
        server_->Get(files_[i].first,
                     [type, content](const httplib::Request&, httplib::Response& response) {
                         response.set_content(*content, type);
                     });
    }
    server_->Get("/scene.glb", [this](const httplib::Request&, httplib::Response& response) {
        const std::shared_ptr<const Snapshot> s = current();
        if (s->glb.empty()) {
            response.status = 404;
            response.set_content(s->error + "\n", "text/plain; charset=utf-8");
            return;
        }
        response.set_content(reinterpret_cast<const char*>(s->glb.data()), s->glb.size(),
                             "model/gltf-binary");
    });
    server_->Get("/summary.json", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(current()->summary_json, "application/json");
    });
    server_->Get("/state.json", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(current()->state_json, "application/json");
    });
}

} // namespace vtl::view
