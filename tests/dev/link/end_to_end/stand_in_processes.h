#pragma once
// Stand-in application processes for end-to-end tests: started on the loopback interface,
// waited for within a bound, and always ended (SIGTERM, then SIGKILL) and reaped.

#include "platform/posix/unique_fd.h"

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace test_support {

// Runs the check every few milliseconds until it holds or the seconds have passed.
bool wait_until(double seconds, const std::function<bool()>& check);
// Waits the seconds at most for the file to exist.
bool wait_for_file(const std::string& path, double seconds = 5.0);

// A socket listening on a free port of the loopback interface; `port` receives it, 0 on failure.
vtl::platform::UniqueFd listen_on_loopback(int& port);

// One started stand-in; ends it when destroyed. Move-only.
class StandIn {
public:
    // Starts program with arguments; not running when it cannot be started.
    StandIn(const std::string& program, const std::vector<std::string>& arguments);
    // Takes charge of a child process started elsewhere.
    explicit StandIn(pid_t adopted) noexcept : pid_(adopted) {}
    StandIn(StandIn&& other) noexcept;
    StandIn& operator=(StandIn&&) = delete;
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
    ~StandIn();

    // The process id, -1 when none.
    pid_t pid() const noexcept { return pid_; }
    // Ends the process: SIGTERM, a bounded wait, then SIGKILL; always reaps it.
    void stop() noexcept;

private:
    pid_t pid_ = -1;
};

// Waits for the stand-in to register in the instances folder; the port it listens on, 0 when it
// did not register in time.
int registered_port(const StandIn& stand_in, const std::string& instances);

} // namespace test_support
