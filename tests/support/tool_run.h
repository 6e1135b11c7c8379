#pragma once
// Runs a command (a tool, a shell line) and captures what it prints.

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace tool_test {

struct Run {
    int status = -1; // exit status
    std::string out; // standard output (standard error too when asked)
};

// Runs `command` through the shell.
inline Run run(const std::string& command) {
    Run r;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        r.out.append(buffer, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace tool_test
