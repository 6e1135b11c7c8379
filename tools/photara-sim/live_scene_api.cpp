#include "live_scene_api.h"

#include "file_api/vtlscene_api_file.h"
#include "platform/clock.h"
#include "sim_protocol.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <vector>
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include "platform/posix/unique_fd.h"

#include <cerrno>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace photara_sim {

namespace {

constexpr std::uint32_t kRetryPauseMs = 250;
constexpr int kAnswerTimeoutSeconds = 3;

#ifdef _WIN32
using SocketHandle = SOCKET;
constexpr WORD kWinsockVersion = MAKEWORD(2, 2);
constexpr unsigned kPipeSize = 64 * 1024;
constexpr unsigned kForwardChunk = 16 * 1024;
constexpr int kLargestSend = 1 << 30;

// Starts Winsock once per process; it stays started until the process ends.
bool winsock_started() {
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(kWinsockVersion, &data) == 0;
    }();
    return started;
}

// Owns one socket; move-only.
class Connection {
public:
    Connection() noexcept = default;
    explicit Connection(SOCKET socket) noexcept : socket_(socket) {}
    Connection(Connection&& other) noexcept : socket_(other.release()) {}
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            reset();
            socket_ = other.release();
        }
        return *this;
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { reset(); }

    // Returns the socket, INVALID_SOCKET when none.
    SOCKET get() const noexcept { return socket_; }

    // Gives up ownership and returns the socket.
    SOCKET release() noexcept {
        const SOCKET socket = socket_;
        socket_ = INVALID_SOCKET;
        return socket;
    }

    // Closes the socket held, if any.
    void reset() noexcept {
        if (socket_ != INVALID_SOCKET) ::closesocket(release());
    }

private:
    SOCKET socket_ = INVALID_SOCKET;
};

bool is_open(const Connection& connection) {
    return connection.get() != INVALID_SOCKET;
}

// Opens a socket that the programs the host starts do not inherit.
Connection open_socket(const addrinfo& address) {
    Connection socket(::socket(address.ai_family, address.ai_socktype, address.ai_protocol));
    if (is_open(socket))
        ::SetHandleInformation(reinterpret_cast<HANDLE>(socket.get()), HANDLE_FLAG_INHERIT, 0);
    return socket;
}

// Sends part of data; the count sent, 0 or less when the connection fails.
long send_some(SOCKET socket, const char* data, std::size_t size) {
    const int chunk =
        size > static_cast<std::size_t>(kLargestSend) ? kLargestSend : static_cast<int>(size);
    return ::send(socket, data, chunk, 0);
}

// Receives one byte; 1, or 0 or less when the connection ends, fails or times out.
long receive_byte(SOCKET socket, char& c) {
    return ::recv(socket, &c, 1, 0);
}

constexpr int kShutSend = SD_SEND;

void set_timeout(SOCKET socket, int option, unsigned milliseconds) {
    const DWORD timeout = milliseconds;
    ::setsockopt(socket, SOL_SOCKET, option, reinterpret_cast<const char*>(&timeout),
                 sizeof timeout);
}
#else
using SocketHandle = int;
using Connection = vtl::platform::UniqueFd;

bool winsock_started() {
    return true;
}

bool is_open(const Connection& connection) {
    return connection.get() >= 0;
}

Connection open_socket(const addrinfo& address) {
    return Connection(
        ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol));
}

// Sends part of data without raising SIGPIPE in the host; an interrupted send is retried.
long send_some(int fd, const char* data, std::size_t size) {
    for (;;) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        return static_cast<long>(sent);
    }
}

// Receives one byte; an interrupted receive is retried.
long receive_byte(int fd, char& c) {
    for (;;) {
        const ssize_t got = ::recv(fd, &c, 1, 0);
        if (got < 0 && errno == EINTR) continue;
        return static_cast<long>(got);
    }
}

constexpr int kShutSend = SHUT_WR;

void set_timeout(int fd, int option, unsigned milliseconds) {
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(milliseconds / 1000);
    timeout.tv_usec = static_cast<suseconds_t>(milliseconds % 1000 * 1000);
    ::setsockopt(fd, SOL_SOCKET, option, &timeout, sizeof timeout);
}
#endif

// The bound of every send and of the wait for the confirmation: PHOTARA_LIVE_SEND_TIMEOUT_MS
// when it holds a whole number of milliseconds in range, else the default.
unsigned link_timeout_ms() {
    const std::string text = environment(kSendTimeoutVariable);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 9)
        return kDefaultSendTimeoutMs;
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    return value >= 1 && value <= kLongestSendTimeoutMs ? static_cast<unsigned>(value)
                                                        : kDefaultSendTimeoutMs;
}

// Opens a TCP connection to host:port; not open on failure.
Connection open_connection(const char* host, int port) {
    if (!winsock_started()) return {};
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, std::to_string(port).c_str(), &hints, &found) != 0) return {};
    Connection connection;
    for (addrinfo* address = found; address; address = address->ai_next) {
        Connection candidate = open_socket(*address);
        if (!is_open(candidate)) continue;
        if (::connect(candidate.get(), address->ai_addr, address->ai_addrlen) == 0) {
            connection = std::move(candidate);
            break;
        }
    }
    ::freeaddrinfo(found);
    return connection;
}

// Sends all of text; false when the connection fails.
bool send_all(SocketHandle socket, const char* data, std::size_t size) {
    while (size > 0) {
        const long sent = send_some(socket, data, size);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// Receives one line without its line end; false when the connection ends, fails or times out
// first, or the line is too long.
bool receive_line(SocketHandle socket, std::string& line) {
    char c = 0;
    while (line.size() < kMaxGreeting) {
        if (receive_byte(socket, c) <= 0) return false;
        if (c == kLineEnd) return true;
        line += c;
    }
    return false;
}

// Greets the instance and waits a bounded time for its answer line.
bool greet(SocketHandle socket, unsigned link_id) {
    const std::string greeting = kGreeting + std::to_string(link_id) + kLineEnd;
    if (!send_all(socket, greeting.data(), greeting.size())) return false;
    set_timeout(socket, SO_RCVTIMEO, kAnswerTimeoutSeconds * 1000);
    std::string answer;
    return receive_line(socket, answer) && answer.compare(0, std::strlen(kReady), kReady) == 0;
}

// Closes the sending side and waits, at most timeout_ms, for the instance to confirm that it
// received `sent` bytes.
bool confirm_delivery(SocketHandle socket, unsigned timeout_ms, std::uint64_t sent) {
    if (::shutdown(socket, kShutSend) != 0) return false;
    set_timeout(socket, SO_RCVTIMEO, timeout_ms);
    std::string answer;
    return receive_line(socket, answer) && answer == kReceived + std::to_string(sent);
}

} // namespace

// The open link: its connection, its bound, and what went over it. The stream (or, on Windows,
// the forwarder) sends through it, and records the first failure, after which it drops the rest.
struct LiveSceneApi::Link {
    Connection connection;
    unsigned timeout_ms = kDefaultSendTimeoutMs;
    std::uint64_t sent = 0;
    bool failed = false;

    // Sends data unless the link has failed; a failed send fails the link.
    void send(const char* data, std::size_t size) {
        if (failed) return;
        if (send_all(connection.get(), data, size))
            sent += size;
        else
            failed = true;
    }
    // Ends the link: waits for the confirmation unless it has failed, then closes it.
    void finish() {
        if (!failed && !confirm_delivery(connection.get(), timeout_ms, sent)) failed = true;
        connection.reset();
    }
};

namespace {

#ifdef _WIN32
// Carries what the writer puts into the pipe to the instance until the writer closes its end,
// then ends the link. Once the link fails, the rest is read and dropped, so that the writer
// never blocks.
void forward(int pipe_end, LiveSceneApi::Link* link) {
    std::vector<char> chunk(kForwardChunk);
    for (;;) {
        const int got = ::_read(pipe_end, chunk.data(), kForwardChunk);
        if (got <= 0) break;
        link->send(chunk.data(), static_cast<std::size_t>(got));
    }
    ::_close(pipe_end);
    link->finish();
}

// Returns a stream whose bytes the forwarder, started here, sends over the link; null on
// failure.
FILE* open_stream(LiveSceneApi::Link& link, std::thread& forwarder) {
    int ends[2] = {-1, -1};
    if (::_pipe(ends, kPipeSize, _O_BINARY | _O_NOINHERIT) != 0) return nullptr;
    FILE* stream = ::_fdopen(ends[1], "wb");
    if (!stream) {
        ::_close(ends[0]);
        ::_close(ends[1]);
        return nullptr;
    }
    try {
        forwarder = std::thread(forward, ends[0], &link);
    } catch (...) {
        std::fclose(stream);
        ::_close(ends[0]);
        return nullptr;
    }
    return stream;
}
#else
// The stream functions of a link. A write always takes the whole piece, sent or dropped, so
// that the stream never enters its error state; the link keeps the outcome.
ssize_t stream_write(void* cookie, const char* data, size_t size) {
    static_cast<LiveSceneApi::Link*>(cookie)->send(data, size);
    return static_cast<ssize_t>(size);
}

int stream_close(void* cookie) {
    static_cast<LiveSceneApi::Link*>(cookie)->finish();
    return 0;
}

// Returns a stream over the link, which the stream's close ends; null on failure.
FILE* open_stream(LiveSceneApi::Link& link) {
    cookie_io_functions_t functions{};
    functions.write = &stream_write;
    functions.close = &stream_close;
    return ::fopencookie(&link, "w", functions);
}
#endif

} // namespace

LiveSceneApi::LiveSceneApi() = default;

LiveSceneApi::~LiveSceneApi() {
    disconnect();
}

bool LiveSceneApi::connect(const char* host, int port, int attempts) {
    disconnect();
    if (!host || port <= 0) return false;
    const unsigned timeout_ms = link_timeout_ms();
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) vtl::platform::sleep_ms(kRetryPauseMs);
        Connection connection = open_connection(host, port);
        if (!is_open(connection)) continue;
        set_timeout(connection.get(), SO_SNDTIMEO, timeout_ms);
        if (!greet(connection.get(), link_id_)) continue;
        auto link = std::make_unique<Link>();
        link->connection = std::move(connection);
        link->timeout_ms = timeout_ms;
#ifdef _WIN32
        stream_ = open_stream(*link, forwarder_);
#else
        stream_ = open_stream(*link);
#endif
        if (!stream_) return false;
        link_ = std::move(link);
        writer_ = std::make_unique<vtlScene_api_file>(stream_, false);
        return true;
    }
    return false;
}

bool LiveSceneApi::disconnect() {
    if (!stream_) return false;
    writer_.reset();
    // POSIX: the stream sends what is left and its close ends the link. Windows: the pipe's end
    // is closed; the forwarder sends what is left and ends the link.
    std::fclose(stream_);
    stream_ = nullptr;
#ifdef _WIN32
    if (forwarder_.joinable()) forwarder_.join();
#endif
    const bool delivered = link_ && !link_->failed;
    link_.reset();
    return delivered;
}

} // namespace photara_sim
