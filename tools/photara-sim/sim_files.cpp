#include "sim_protocol.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace photara_sim {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string instances_folder() {
    std::string folder = environment(kInstancesVariable);
    if (!folder.empty()) return folder;
    folder = environment(kTemporaryFolderVariable);
    if (folder.empty()) folder = kDefaultTemporaryFolder;
    return folder + kDefaultInstancesFolder + std::to_string(::getuid());
}

bool read_whole_file(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

bool replace_file(const std::string& path, const std::string& content) {
    const std::string pending = path + kPendingSuffix;
    {
        std::ofstream out(pending, std::ios::binary | std::ios::trunc);
        if (!(out << content) || !out.flush()) return false;
    }
    return std::rename(pending.c_str(), path.c_str()) == 0;
}

bool process_alive(long long process_id) {
    if (process_id <= 0) return false;
    return ::kill(static_cast<pid_t>(process_id), 0) == 0 || errno == EPERM;
}

} // namespace photara_sim
