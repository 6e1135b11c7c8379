#include "live_scene_api.h"

#include "file_api/vtlscene_api_file.h"
#include "platform/clock.h"
#include "sim_protocol.h"

#include <cstdint>
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
constexpr DWORD kMillisecondsPerSecond = 1000;
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

void set_answer_timeout(SOCKET socket) {
    const DWORD timeout = kAnswerTimeoutSeconds * kMillisecondsPerSecond;
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                 sizeof timeout);
}
#else
using SocketHandle = int;
using Connection = platform::UniqueFd;

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

void set_answer_timeout(int fd) {
    timeval timeout{};
    timeout.tv_sec = kAnswerTimeoutSeconds;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}
#endif

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

// Greets the instance and waits a bounded time for its answer line.
bool greet(SocketHandle socket, unsigned link_id) {
    const std::string greeting = kGreeting + std::to_string(link_id) + kLineEnd;
    if (!send_all(socket, greeting.data(), greeting.size())) return false;
    set_answer_timeout(socket);
    std::string answer;
    char c = 0;
    while (answer.size() < kMaxGreeting) {
        if (receive_byte(socket, c) <= 0) return false;
        if (c == kLineEnd) break;
        answer += c;
    }
    return answer.compare(0, std::strlen(kReady), kReady) == 0;
}

#ifdef _WIN32
// Carries what the writer puts into the pipe to the instance until the writer closes its end.
// Once the connection fails, the rest is read and dropped, so that the writer never blocks.
void forward(int pipe_end, SOCKET socket) {
    std::vector<char> chunk(kForwardChunk);
    bool connected = true;
    for (;;) {
        const int got = ::_read(pipe_end, chunk.data(), kForwardChunk);
        if (got <= 0) break;
        if (connected) connected = send_all(socket, chunk.data(), static_cast<std::size_t>(got));
    }
    ::_close(pipe_end);
    ::shutdown(socket, SD_SEND);
    ::closesocket(socket);
}

// Returns a stream whose bytes the forwarder, started here, sends over the connection; the
// connection then belongs to the forwarder. Null on failure.
FILE* open_stream(Connection& connection, std::thread& forwarder) {
    int ends[2] = {-1, -1};
    if (::_pipe(ends, kPipeSize, _O_BINARY | _O_NOINHERIT) != 0) return nullptr;
    FILE* stream = ::_fdopen(ends[1], "wb");
    if (!stream) {
        ::_close(ends[0]);
        ::_close(ends[1]);
        return nullptr;
    }
    try {
        forwarder = std::thread(forward, ends[0], connection.get());
    } catch (...) {
        std::fclose(stream);
        ::_close(ends[0]);
        return nullptr;
    }
    connection.release();
    return stream;
}
#else
// The stream functions of a connection: writes never raise SIGPIPE in the host.
ssize_t stream_write(void* cookie, const char* data, size_t size) {
    return send_all(static_cast<int>(reinterpret_cast<intptr_t>(cookie)), data, size)
               ? static_cast<ssize_t>(size)
               : -1;
}

int stream_close(void* cookie) {
    return ::close(static_cast<int>(reinterpret_cast<intptr_t>(cookie)));
}

// Returns a stream over the connection, which the stream then closes; null on failure.
FILE* open_stream(Connection& connection) {
    cookie_io_functions_t functions{};
    functions.write = &stream_write;
    functions.close = &stream_close;
    void* cookie = reinterpret_cast<void*>(static_cast<intptr_t>(connection.get()));
    FILE* stream = ::fopencookie(cookie, "w", functions);
    if (stream) connection.release();
    return stream;
}
#endif

} // namespace

LiveSceneApi::~LiveSceneApi() {
    disconnect();
}

bool LiveSceneApi::connect(const char* host, int port, int attempts) {
    disconnect();
    if (!host || port <= 0) return false;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) platform::sleep_ms(kRetryPauseMs);
        Connection connection = open_connection(host, port);
        if (!is_open(connection) || !greet(connection.get(), link_id_)) continue;
#ifdef _WIN32
        stream_ = open_stream(connection, forwarder_);
#else
        stream_ = open_stream(connection);
#endif
        if (!stream_) return false;
        writer_ = std::make_unique<vtlScene_api_file>(stream_, false);
        return true;
    }
    return false;
}

bool LiveSceneApi::disconnect() {
    if (!stream_) return false;
    writer_.reset();
    std::fclose(stream_);
    stream_ = nullptr;
#ifdef _WIN32
    // The pipe's end is closed: the forwarder sends what is left and closes the connection.
    if (forwarder_.joinable()) forwarder_.join();
#endif
    return true;
}

} // namespace photara_sim
