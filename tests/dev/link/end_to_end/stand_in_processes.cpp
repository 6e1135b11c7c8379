#include "stand_in_processes.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
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

// Returns the parent process id and command name of a process from /proc; false when gone.
bool process_parent_and_name(pid_t pid, pid_t& parent, std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(in, text)) return false;
    const std::size_t open = text.find('(');
    const std::size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos) return false;
    name = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 2));
    char state = 0;
    rest >> state >> parent;
    return static_cast<bool>(rest);
}

} // namespace

bool wait_until(double seconds, bool (*check)(const void*), const void* context) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    for (;;) {
        if (check(context)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
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
    const pid_t pid = pid_;
    if (!wait_until(
            kTermGraceSeconds,
            [](const void* context) { return reaped(*static_cast<const pid_t*>(context)); },
            &pid)) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    pid_ = -1;
}

int StandIn::wait_exit(double seconds) {
    struct Waited {
        pid_t pid;
        int status = 0;
        bool done = false;
    } waited{pid_};
    if (pid_ <= 0) return -1;
    wait_until(
        seconds,
        [](const void* context) {
            auto& w = *const_cast<Waited*>(static_cast<const Waited*>(context));
            w.done = ::waitpid(w.pid, &w.status, WNOHANG) == w.pid;
            return w.done;
        },
        &waited);
    if (!waited.done) return -1;
    pid_ = -1;
    return WIFEXITED(waited.status) ? WEXITSTATUS(waited.status) : -1;
}

void become_subreaper() {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

void stop_children_named(const std::string& program_name) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return;
    std::vector<pid_t> children;
    while (const dirent* entry = ::readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atol(entry->d_name));
        pid_t parent = 0;
        std::string name;
        if (pid > 0 && process_parent_and_name(pid, parent, name) && parent == ::getpid() &&
            name == program_name)
            children.push_back(pid);
    }
    ::closedir(proc);
    for (pid_t pid : children)
        StandIn(pid).stop();
}

} // namespace test_support
