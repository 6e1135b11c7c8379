#pragma once
// A temporary folder for a test, removed with everything in it when the test ends.

#include <cstdlib>
#include <filesystem>
#ifdef _WIN32
#include "support/windows_posix.h"
#include <random>
#endif
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

class TempFolder {
public:
    TempFolder() {
#ifdef _WIN32
        // No mkdtemp: a random name, created only when it does not exist yet.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            std::filesystem::path candidate = std::filesystem::temp_directory_path() /
                                              ("sceneapi_test_" + std::to_string(random()));
            // Forward slashes: the path goes into record texts, where a backslash escapes.
            if (std::filesystem::create_directory(candidate)) path_ = candidate.generic_string();
        }
        if (path_.empty()) throw std::runtime_error("no temporary folder");
#else
        std::string pattern =
            (std::filesystem::temp_directory_path() / "sceneapi_test_XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!::mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
        path_ = name.data();
#endif
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    // Returns the folder's path.
    const std::string& path() const {
        return path_;
    }

    // Returns the path of a name inside the folder.
    std::string file(const std::string& name) const {
        return path_ + "/" + name;
    }

    // Writes a file inside the folder and returns its path.
    std::string write(const std::string& name, const std::string& content) const {
        std::string full = file(name);
#ifdef _WIN32
        std::ofstream out(std::filesystem::u8path(full), std::ios::binary); // UTF-8 names
#else
        std::ofstream out(full, std::ios::binary);
#endif
        out << content;
        return full;
    }

private:
    std::string path_;
};

// Returns a file's whole content; empty when it cannot be read.
inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

#ifdef _WIN32
// Paths held as text are UTF-8, as the library takes them (not the ANSI code page).
inline std::string read_file(const std::string& path) {
    return read_file(std::filesystem::u8path(path));
}
inline std::string read_file(const char* path) {
    return read_file(std::filesystem::u8path(path));
}
#endif

// Waits, within 20 seconds, until a file another process writes ends in a line feed; returns its
// content, or nothing when the time passed.
inline std::string wait_for_line(const std::string& path) {
    for (int waited = 0; waited < 20000; waited += 20) {
        std::string content = read_file(path);
        if (!content.empty() && content.back() == '\n') return content;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::string();
}

} // namespace test_support
