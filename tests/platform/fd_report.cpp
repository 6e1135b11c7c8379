// A program for the launch tests: writes how many arguments and which descriptors it was started
// with, and whether each is the null device, into the file named by FD_REPORT_FILE:
//
//     pid 4711 args 0 fds 0:null 1:null 2:null
//
// It then stays alive for up to a minute, so that the test can see what it still holds; the
// test ends it.

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char**) {
    const char* report = std::getenv("FD_REPORT_FILE");
    if (!report) return 2;
    struct stat null_device {};
    if (::stat("/dev/null", &null_device) != 0) return 2;

    std::set<int> fds;
    DIR* listing = ::opendir("/proc/self/fd");
    if (!listing) return 2;
    const int listing_fd = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd != listing_fd) fds.insert(fd);
    }
    ::closedir(listing);

    std::string text =
        "pid " + std::to_string(::getpid()) + " args " + std::to_string(argc - 1) + " fds";
    for (int fd : fds) {
        struct stat info {};
        const bool is_null =
            ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == null_device.st_rdev;
        text += " " + std::to_string(fd) + (is_null ? ":null" : ":other");
    }
    text += "\n";

    const std::string partial = std::string(report) + ".tmp";
    FILE* out = std::fopen(partial.c_str(), "w");
    if (!out) return 2;
    std::fputs(text.c_str(), out);
    std::fclose(out);
    std::rename(partial.c_str(), report);

    for (int second = 0; second < 60; ++second)
        ::sleep(1);
    return 0;
}
