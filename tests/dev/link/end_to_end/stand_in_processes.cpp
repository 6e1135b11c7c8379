#include "stand_in_processes.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <regex>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace test_support {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr double kTermGraceSeconds = 3.0;

// Reaps the process if it has ended; true when it has.
bool reaped(pid_t pid) {
    int status = 0;
    pid_t result = ::waitpid(pid, &status, WNOHANG);
    return result == pid || (result < 0 && errno == ECHILD);
}

} // namespace

bool wait_until(double seconds, const std::function<bool()>& check) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    for (;;) {
        if (check()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool wait_for_file(const std::string& path, double seconds) {
    return wait_until(seconds, [&path] { return std::filesystem::exists(path); });
}

vtl::platform::UniqueFd listen_on_loopback(int& port) {
    vtl::platform::UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    port = 0;
    if (socket.get() >= 0 &&
        ::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(socket.get(), 1) == 0 &&
        ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    return socket;
}

int registered_port(const StandIn& stand_in, const std::string& instances) {
    const std::string record = instances + "/" + std::to_string(stand_in.pid()) + ".instance";
    if (!wait_for_file(record)) return 0;
    std::ifstream in(record);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::smatch port;
    return std::regex_search(text, port, std::regex("<listening_port>(\\d+)<")) ? std::stoi(port[1])
                                                                                : 0;
}

StandIn::StandIn(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> texts;
    texts.push_back(program);
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        // Ended with this process even when it dies before it can end its children.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
}

StandIn::StandIn(StandIn&& other) noexcept : pid_(other.pid_) {
    other.pid_ = -1;
}

StandIn::~StandIn() {
    stop();
}

void StandIn::stop() noexcept {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    if (!wait_until(kTermGraceSeconds, [this] { return reaped(pid_); })) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    pid_ = -1;
}

} // namespace test_support
