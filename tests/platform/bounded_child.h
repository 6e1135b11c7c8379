#pragma once
// Runs a piece of work in a forked child within a time bound, so that a test of something that
// may hang (or never end) fails instead of holding the test run up.

#include <functional>
#include <optional>
#include <string>
#ifdef _WIN32
#include "platform/win32/windows_lean.h"
#else
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace test_support {

#ifdef _WIN32
// Without fork: the work runs on a thread of its own, waited for within the bound. A thread that
// does not end is left running with its state (the test fails on the missing answer). A Win32
// thread waited for by its handle: a detached std::thread handing its answer over a future lost
// about one answer in a thousand under Wine on a busy machine (the wait ran out).
inline std::optional<std::string> run_bounded(const std::function<std::string()>& work,
                                              int seconds = 10) {
    struct Run {
        std::function<std::string()> work;
        std::string answer;
    };
    auto* run = new Run{work, std::string()};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* argument) -> DWORD {
            auto* run = static_cast<Run*>(argument);
            run->answer = run->work();
            return 0;
        },
        run, 0, nullptr);
    if (!thread) {
        delete run;
        return std::nullopt;
    }
    const bool ended =
        WaitForSingleObject(thread, static_cast<DWORD>(seconds) * 1000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    if (!ended) return std::nullopt; // the run stays with the thread that still uses it
    std::optional<std::string> answer = std::move(run->answer);
    delete run;
    return answer;
}
#else

// Returns what work returned in a child process, or nothing when the child did not end within
// seconds (the alarm kills it then) or died without an answer.
inline std::optional<std::string> run_bounded(const std::function<std::string()>& work,
                                              int seconds = 10) {
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        ::alarm(static_cast<unsigned>(seconds));
        const std::string answer = work();
        for (std::size_t at = 0; at < answer.size();) {
            const ssize_t written = ::write(fds[1], answer.data() + at, answer.size() - at);
            if (written <= 0) break;
            at += static_cast<std::size_t>(written);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string answer;
    char buffer[4096];
    ssize_t got;
    while (child > 0 &&
           ((got = ::read(fds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)))
        if (got > 0) answer.append(buffer, static_cast<std::size_t>(got));
    ::close(fds[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return std::nullopt;
    return answer;
}

#endif

} // namespace test_support
