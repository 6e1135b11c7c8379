// photara-sim: a stand-in for the rendering application that accepts live links on the
// loopback interface. It registers itself as a running instance in the shared folder, writes
// the Scene file text of each finished link to its output file, and names each link's groups,
// objects and materials in its scene document (see sim_protocol.h).
//
//     photara-sim [--major N] [--port N] [--advertise-port N] [--scene FILE]
//                 [--output FILE] [--instances FOLDER] [--view [--view-port N] [--no-browser]]
//     photara-sim register [--major N] [--records FILE]
//     photara-sim unregister [--major N] [--records FILE]
//     photara-sim stop [--instances FOLDER]
//     photara-sim --version | --help
//
// "register" writes the installation record that names this executable (version key
// "Photara N", 8 by default; its program folder; "resources" beside it as resource folder) into
// the current user's record file the library reads, or into FILE, and prints it; "unregister"
// removes the records that name this executable; "stop" ends this executable's running
// instances. A running instance prints one line: its version, where it listens and where it
// keeps what it receives (the output file, by default "received.scene" in the resource folder
// of its record, and its scene document in the instances folder).
//
// An instance plays the installation whose record names its executable as "BinName": the
// record's version is its major version (--major N; "--version N" is its older spelling), and it
// listens on the first free port of the record's LiveLinkPort..LiveLinkMaxPort range. Each option
// overrides that, and falls back to an environment variable (PHOTARA_SIM_VERSION, PHOTARA_SIM_PORT,
// PHOTARA_SIM_SCENE, PHOTARA_SIM_OUTPUT, PHOTARA_SIM_INSTANCES) that overrides it too, so that an
// instance started without arguments, as the library starts the application, can be configured.
// Without a port or a recorded range, a free port is taken (so does --port 0); --advertise-port
// names the port the instance offers in its record (default: the one it listens on; 0 offers none).
// SIGTERM or SIGINT end it; it then removes its record. Instances register in the folder of
// PHOTARA_SIM_INSTANCES, by default photara-sim-<user id> in the temporary folder.
//
// --view also serves the browser viewer of sceneapi-view on 127.0.0.1 (any free port unless
// --view-port N) for the latest scene received, prints its URL and opens it unless --no-browser;
// an open page shows each new scene when its link ends.

#include "platform/posix/unique_fd.h"
#include "reader/scene_reader.h"
#include "sceneapi_version.h"
#include "sim_protocol.h"
#include "sim_records.h"
#include "view_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using vtl::platform::UniqueFd;

namespace photara_sim {

namespace {

constexpr int kDefaultVersion = 8;
constexpr const char* kUsage =
    "usage: photara-sim [--major N] [--port N] [--advertise-port N] [--scene FILE]\n"
    "                   [--output FILE] [--instances FOLDER]\n"
    "                   [--view [--view-port N] [--no-browser]]\n"
    "       photara-sim register [--major N] [--records FILE]\n"
    "       photara-sim unregister [--major N] [--records FILE]\n"
    "       photara-sim stop [--instances FOLDER]\n"
    "       photara-sim --version | --help\n";
constexpr const char* kHelp =
    "A stand-in for the Photara rendering application: it accepts live links from\n"
    "sceneapi_cs_wrapper on 127.0.0.1 and keeps the scenes it receives.\n"
    "\n"
    "  (no command)    run an instance until SIGTERM or SIGINT (Ctrl-C)\n"
    "  register        write the installation record naming this program into the current\n"
    "                  user's record file ($SCENEAPI_HKCU_REG, else\n"
    "                  $XDG_CONFIG_HOME/vantel/registry.reg or ~/.config/vantel/registry.reg)\n"
    "  unregister      remove the records naming this program from that file\n"
    "  stop            end the running instances of this program\n"
    "\n"
    "  --major N       the major version played or registered (default: the record's, else 8)\n"
    "  --records FILE  the record file to change instead of the current user's\n"
    "  --port N        listen on port N (0: any free port; default: the record's range)\n"
    "  --advertise-port N  the port offered in the instance record (0: none)\n"
    "  --scene FILE    the scene document to start with\n"
    "  --output FILE   where the Scene text of each link goes (default: received.scene in the\n"
    "                  record's resource folder)\n"
    "  --instances DIR the folder of the running instances\n"
    "  --view          show the latest scene received in the browser (a viewer on 127.0.0.1;\n"
    "                  its URL is printed and opened unless --no-browser)\n"
    "  --view-port N   the viewer's port (default: any free port)\n"
    "  --version       print the version;  --help  print this text\n";

volatile std::sig_atomic_t g_stop = 0;

// Asks the main loop to end.
void request_stop(int) {
    g_stop = 1;
}

struct Options {
    int version = kDefaultVersion;
    int port = -1; // -1: the first free port of the range, or any free port without one
    int lowest_port = 0;
    int highest_port = 0;
    int advertised_port = -1; // -1: the listening port
    std::string scene_file;
    std::string output_file;
    std::string instances;
    bool view = false;
    int view_port = 0; // 0: any free port
    bool browser = true;
};

// Tells whether a text is a decimal number of at most nine digits.
bool is_number(const char* text) {
    const std::size_t length = std::strlen(text);
    return length > 0 && length <= 9 && std::strspn(text, "0123456789") == length;
}

// Reads the options, each defaulting to its environment variable, then to the installation
// record; false on a bad argument.
bool read_options(int argc, char** argv, Options& options) {
    Installation installation;
    if (find_own_installation(installation)) {
        options.version = installation.version;
        options.lowest_port = installation.lowest_port;
        options.highest_port = installation.highest_port;
    }
    if (!environment(kVersionVariable).empty())
        options.version = std::atoi(environment(kVersionVariable).c_str());
    if (!environment(kPortVariable).empty())
        options.port = std::atoi(environment(kPortVariable).c_str());
    options.scene_file = environment(kSceneVariable);
    options.output_file = environment(kOutputVariable);
    options.instances = instances_folder();
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--view") {
            options.view = true;
            continue;
        }
        if (name == "--no-browser") {
            options.browser = false;
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (name == "--view-port") {
            if (!is_number(value) || std::atoi(value) > 65535) return false;
            options.view_port = std::atoi(value);
            options.view = true;
        } else if (name == "--major" || name == "--version") {
            if (!is_number(value)) return false;
            options.version = std::atoi(value);
        } else if (name == "--port") {
            options.port = std::atoi(value);
        } else if (name == "--advertise-port") {
            options.advertised_port = std::atoi(value);
        } else if (name == "--scene") {
            options.scene_file = value;
        } else if (name == "--output") {
            options.output_file = value;
        } else if (name == "--instances") {
            options.instances = value;
        } else {
            return false;
        }
    }
    if (options.output_file.empty()) {
        const std::string resources = recorded_resource_folder(options.version);
        if (!resources.empty()) options.output_file = resources + "/received.scene";
    }
    return true;
}

// The options of register, unregister and stop.
struct CommandOptions {
    int major = 0; // 0: not given
    std::string records;
    std::string instances;
};

// Reads the options of a command; false on a bad argument.
bool read_command_options(int argc, char** argv, CommandOptions& options) {
    options.instances = instances_folder();
    for (int i = 2; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (name == "--major" && is_number(value) && std::atoi(value) > 0)
            options.major = std::atoi(value);
        else if (name == "--records" && *value)
            options.records = value;
        else if (name == "--instances" && *value)
            options.instances = value;
        else
            return false;
    }
    return true;
}

// Returns the record file a command changes; empty (with a message) when there is none.
std::string records_file(const CommandOptions& options) {
    if (!options.records.empty()) return options.records;
    std::string file = default_record_file();
    if (file.empty())
        std::fputs("photara-sim: no record file: set HOME or SCENEAPI_HKCU_REG, or give "
                   "--records FILE\n",
                   stderr);
    return file;
}

// photara-sim register: writes this executable's installation record.
int register_command(const CommandOptions& options) {
    StandInRecord record;
    if (!own_record(options.major > 0 ? options.major : kDefaultVersion, record)) {
        std::perror("photara-sim: finding its own executable");
        return 1;
    }
    const std::string file = records_file(options);
    if (file.empty()) return 1;
    std::string error;
    if (!write_record(file, record, error)) {
        std::fprintf(stderr, "photara-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("photara-sim: registered in %s:\n%s", file.c_str(), record_text(record).c_str());
    return 0;
}

// photara-sim unregister: removes the records that name this executable.
int unregister_command(const CommandOptions& options) {
    StandInRecord record;
    if (!own_record(kDefaultVersion, record)) {
        std::perror("photara-sim: finding its own executable");
        return 1;
    }
    const std::string file = records_file(options);
    if (file.empty()) return 1;
    std::string removed;
    std::string error;
    if (!remove_records(file, record.bin_name, options.major, removed, error)) {
        std::fprintf(stderr, "photara-sim: %s\n", error.c_str());
        return 1;
    }
    if (removed.empty())
        std::printf("photara-sim: no record in %s names %s\n", file.c_str(),
                    record.bin_name.c_str());
    else
        std::printf("photara-sim: removed %s from %s\n", removed.c_str(), file.c_str());
    return 0;
}

// photara-sim stop: ends the running instances of this executable in the instances folder.
int stop_command(const CommandOptions& options) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", error);
    int stopped = 0;
    for (const auto& entry : std::filesystem::directory_iterator(options.instances, error)) {
        if (entry.path().extension() != kInstanceSuffix) continue;
        const std::string stem = entry.path().stem().string();
        if (!is_number(stem.c_str())) continue;
        const pid_t pid = static_cast<pid_t>(std::atol(stem.c_str()));
        std::error_code same_error;
        if (pid <= 0 || pid == ::getpid() ||
            !std::filesystem::equivalent("/proc/" + stem + "/exe", self, same_error))
            continue;
        if (::kill(pid, SIGTERM) == 0) {
            std::printf("photara-sim: stopped instance %ld\n", static_cast<long>(pid));
            ++stopped;
        }
    }
    if (stopped == 0) std::printf("photara-sim: no instance running\n");
    return 0;
}

// Opens the listening socket on the loopback address; *port receives the port bound.
UniqueFd listen_on_loopback(int& port) {
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (listener.get() < 0) return {};
    int reuse = 1;
    ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, kLoopbackAddress, &address.sin_addr);
    if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.get(), 8) != 0)
        return {};
    socklen_t size = sizeof address;
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return listener;
}

// Listens on the port asked for, else on the first free port of the range, else on any free
// port; *port receives the port bound.
UniqueFd listen_as_asked(const Options& options, int& port) {
    if (options.port >= 0 || options.lowest_port <= 0) {
        port = std::max(options.port, 0);
        return listen_on_loopback(port);
    }
    for (int candidate = options.lowest_port; candidate <= options.highest_port; ++candidate) {
        port = candidate;
        UniqueFd listener = listen_on_loopback(port);
        if (listener.get() >= 0) return listener;
    }
    return {};
}

// Waits until fd is readable; false when the time ran out or a stop was requested.
bool wait_readable(int fd, int timeout_ms) {
    const int step_ms = 100; // short enough to notice a stop request soon
    for (int waited = 0; !g_stop && (timeout_ms < 0 || waited < timeout_ms); waited += step_ms) {
        pollfd entry{fd, POLLIN, 0};
        int ready = ::poll(&entry, 1, step_ms);
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
    return false;
}

// Reads the greeting line within a bounded time; false when it is missing or malformed.
bool read_greeting(int fd) {
    std::string line;
    char c = 0;
    while (line.size() < kMaxGreeting) {
        if (!wait_readable(fd, 3000)) return false;
        ssize_t got = ::recv(fd, &c, 1, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        if (c == kLineEnd) return line.compare(0, std::strlen(kGreeting), kGreeting) == 0;
        line += c;
    }
    return false;
}

// Reads the scene text until the Live library closes its side; false when stopped.
bool read_scene(int fd, std::string& text) {
    char buffer[65536];
    for (;;) {
        if (!wait_readable(fd, -1)) return false;
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

// A named group, object or material block of a Scene file: its keyword and its name.
using NamedBlock = std::pair<std::string, std::string>;

// Returns the groups, objects (defined or placed) and materials (defined or inline) a Scene
// file text holds, each once, in order; a text cut short yields the blocks read before the cut.
std::vector<NamedBlock> named_blocks(const std::string& text) {
    std::vector<NamedBlock> blocks;
    std::set<NamedBlock> seen;
    const vtl::reader::ReadResult read = vtl::reader::read_scene(text);
    vtl::reader::walk(read.document.nodes, [&](const vtl::reader::Node& node, int) {
        if (node.kind != vtl::reader::NodeKind::Block || node.name().empty()) return;
        // Each keyword is also the name of the element listing such blocks.
        for (const char* keyword : {"group", "object", "material"}) {
            NamedBlock block{keyword, node.name()};
            if (node.keyword == keyword && seen.insert(block).second) blocks.push_back(block);
        }
    });
    return blocks;
}

// Returns the text with the characters XML reserves replaced by entities.
std::string xml_escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// One running instance: its record, its scene document and its links.
class Instance {
public:
    Instance(Options options, int listening_port)
        : options_(std::move(options)), listening_port_(listening_port),
          process_id_(static_cast<long long>(::getpid())) {
        if (options_.scene_file.empty() || !read_whole_file(options_.scene_file, scene_))
            scene_ = kEmptySceneDocument;
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    // Removes the record.
    ~Instance() {
        std::remove(instance_file(options_.instances, process_id_, kInstanceSuffix).c_str());
        std::remove(instance_file(options_.instances, process_id_, kSceneSuffix).c_str());
    }

    // Writes the scene document, then the record that makes the instance visible.
    bool publish() {
        const int offered =
            options_.advertised_port < 0 ? listening_port_ : options_.advertised_port;
        const std::string record =
            "<photara_instance><version_major>" + std::to_string(options_.version) +
            "</version_major><process_id>" + std::to_string(process_id_) +
            "</process_id><livelink_port>" + std::to_string(offered) + "</livelink_port><" +
            kListeningPortElement + ">" + std::to_string(listening_port_) + "</" +
            kListeningPortElement + "></photara_instance>";
        return replace_file(instance_file(options_.instances, process_id_, kSceneSuffix), scene_) &&
               replace_file(instance_file(options_.instances, process_id_, kInstanceSuffix),
                            record);
    }

    // Takes one finished link: its groups, objects and materials go into the scene, its text
    // to the output file.
    void take_link(const std::string& text) {
        ++links_;
        std::string link = "<link number=\"" + std::to_string(links_) + "\">";
        const std::vector<NamedBlock> blocks = named_blocks(text);
        for (const auto& [keyword, name] : blocks)
            link += "<" + keyword + " name=\"" + xml_escaped(name) + "\"/>";
        if (blocks.empty()) link += "<content/>";
        link += "</link>";
        const std::string closing = "</scene>";
        std::size_t at = scene_.rfind(closing);
        if (at == std::string::npos) {
            scene_ = kEmptySceneDocument;
            at = scene_.rfind("<scene/>");
            scene_.replace(at, std::strlen("<scene/>"), "<scene>" + closing);
            at = scene_.rfind(closing);
        }
        scene_.insert(at, link);
        publish();
        // Last, so that whoever waits for the text finds the scene document up to date.
        if (!options_.output_file.empty()) replace_file(options_.output_file, text);
    }

private:
    Options options_;
    int listening_port_;
    long long process_id_;
    std::string scene_;
    int links_ = 0;
};

// Sends one line whole; false when the connection fails.
bool send_line(int fd, const std::string& line) {
    return ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
}

// Serves one connection: greeting, answer, scene text, confirmation of its size; the viewer,
// when there is one, shows the scene.
void serve(int fd, Instance& instance, vtl::view::ViewServer* view, int& links) {
    if (!read_greeting(fd)) return;
    if (!send_line(fd, kReady + std::to_string(::getpid()) + kLineEnd)) return;
    std::string text;
    if (!read_scene(fd, text)) return;
    send_line(fd, kReceived + std::to_string(text.size()) + kLineEnd);
    instance.take_link(text);
    ++links;
    if (view) view->show("link " + std::to_string(links) + " received", text);
}

} // namespace

} // namespace photara_sim

int main(int argc, char** argv) {
    using namespace photara_sim;
    // --version and --help alone, wherever they stand; "--version N" is the older --major N.
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            std::printf("%s\n%s", kUsage, kHelp);
            return 0;
        }
        if (name == "--version" && (i + 1 >= argc || !is_number(argv[i + 1]))) {
            std::printf("photara-sim %s (sceneapi_cs_wrapper %s, interface %s)\n", SCENEAPI_VERSION,
                        SCENEAPI_VERSION, SCENEAPI_INTERFACE_VERSION);
            return 0;
        }
    }
    if (argc > 1 && argv[1][0] != '-') {
        const std::string command = argv[1];
        CommandOptions command_options;
        if (!read_command_options(argc, argv, command_options) ||
            (command != "register" && command != "unregister" && command != "stop")) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        if (command == "register") return register_command(command_options);
        if (command == "unregister") return unregister_command(command_options);
        return stop_command(command_options);
    }
    Options options;
    if (!read_options(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = &request_stop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    int port = 0;
    UniqueFd listener = listen_as_asked(options, port);
    if (listener.get() < 0) {
        std::perror("photara-sim: listening");
        return 1;
    }
    ::mkdir(options.instances.c_str(), 0700); // shared by the user's instances
    Instance instance(options, port);
    if (!instance.publish()) {
        std::perror("photara-sim: registering");
        return 1;
    }
    // One line on start: what it plays, where it listens, where what it receives goes.
    std::printf("photara-sim %s: Photara %d listening on %s:%d; received scenes: %s; scene "
                "document: %s\n",
                SCENEAPI_VERSION, options.version, kLoopbackAddress, port,
                options.output_file.empty() ? "not kept (--output FILE keeps them)"
                                            : options.output_file.c_str(),
                instance_file(options.instances, ::getpid(), kSceneSuffix).c_str());
    std::fflush(stdout);
    std::unique_ptr<vtl::view::ViewServer> view;
    if (options.view) {
        vtl::view::ServerOptions view_options;
        view_options.port = options.view_port;
        view = std::make_unique<vtl::view::ViewServer>(view_options);
        std::string error;
        if (!view->start(error)) {
            std::fprintf(stderr, "photara-sim: viewer: %s\n", error.c_str());
            return 1;
        }
        std::printf("photara-sim: viewer of the scenes received at %s\n", view->url().c_str());
        std::fflush(stdout);
        if (options.browser && vtl::view::can_open_browser()) vtl::view::open_browser(view->url());
    }
    int links = 0;
    while (!g_stop) {
        if (!wait_readable(listener.get(), -1)) continue;
        UniqueFd connection(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (connection.get() >= 0) serve(connection.get(), instance, view.get(), links);
    }
    return 0;
}
