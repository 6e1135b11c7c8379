#include "live_scene_api.h"

#include "file_api/vtlscene_api_file.h"
#include "platform/clock.h"
#include "platform/posix/unique_fd.h"
#include "sim_protocol.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace photara_sim {

namespace {

constexpr std::uint32_t kRetryPauseMs = 250;
constexpr int kAnswerTimeoutSeconds = 3;

// Opens a TCP connection to host:port; not open on failure.
platform::UniqueFd open_connection(const char* host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, std::to_string(port).c_str(), &hints, &found) != 0) return {};
    platform::UniqueFd connection;
    for (addrinfo* address = found; address; address = address->ai_next) {
        platform::UniqueFd candidate(::socket(
            address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol));
        if (candidate.get() < 0) continue;
        if (::connect(candidate.get(), address->ai_addr, address->ai_addrlen) == 0) {
            connection = std::move(candidate);
            break;
        }
    }
    ::freeaddrinfo(found);
    return connection;
}

// Sends all of text; false when the connection fails.
bool send_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// Greets the instance and waits a bounded time for its answer line.
bool greet(int fd, unsigned link_id) {
    const std::string greeting = kGreeting + std::to_string(link_id) + kLineEnd;
    if (!send_all(fd, greeting.data(), greeting.size())) return false;
    timeval timeout{};
    timeout.tv_sec = kAnswerTimeoutSeconds;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string answer;
    char c = 0;
    while (answer.size() < kMaxGreeting) {
        ssize_t got = ::recv(fd, &c, 1, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        if (c == kLineEnd) break;
        answer += c;
    }
    return answer.compare(0, std::strlen(kReady), kReady) == 0;
}

// The stream functions of a connection: writes never raise SIGPIPE in the host.
ssize_t stream_write(void* cookie, const char* data, size_t size) {
    return send_all(static_cast<int>(reinterpret_cast<intptr_t>(cookie)), data, size)
               ? static_cast<ssize_t>(size)
               : -1;
}

int stream_close(void* cookie) {
    return ::close(static_cast<int>(reinterpret_cast<intptr_t>(cookie)));
}

} // namespace

LiveSceneApi::~LiveSceneApi() {
    disconnect();
}

bool LiveSceneApi::connect(const char* host, int port, int attempts) {
    disconnect();
    if (!host || port <= 0) return false;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) platform::sleep_ms(kRetryPauseMs);
        platform::UniqueFd connection = open_connection(host, port);
        if (connection.get() < 0 || !greet(connection.get(), link_id_)) continue;
        cookie_io_functions_t functions{};
        functions.write = &stream_write;
        functions.close = &stream_close;
        void* cookie = reinterpret_cast<void*>(static_cast<intptr_t>(connection.get()));
        stream_ = ::fopencookie(cookie, "w", functions);
        if (!stream_) return false;
        connection.release(); // the stream closes it
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
    return true;
}

} // namespace photara_sim
