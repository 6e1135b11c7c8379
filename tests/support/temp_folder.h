#pragma once
// A temporary folder for a test, removed with everything in it when the test ends.

#include "support/windows_posix.h" // setenv on Windows too: tests point the library at folders

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

namespace test_support {

class TempFolder {
public:
    // A random name, created only when it does not exist yet.
    TempFolder() {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            std::filesystem::path candidate = std::filesystem::temp_directory_path() /
                                              ("sceneapi_test_" + std::to_string(random()));
            // Forward slashes: the path goes into record texts, where a backslash escapes.
            if (std::filesystem::create_directory(candidate)) path_ = candidate.generic_string();
        }
        if (path_.empty()) throw std::runtime_error("no temporary folder");
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    // Returns the folder's path.
    const std::string& path() const { return path_; }

    // Returns the path of a name inside the folder.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Writes a file inside the folder and returns its path.
    std::string write(const std::string& name, const std::string& content) const {
        std::string full = file(name);
        std::ofstream out(std::filesystem::u8path(full), std::ios::binary); // UTF-8 names
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

// Paths held as text are UTF-8, as the library takes them (not the ANSI code page on Windows).
inline std::string read_file(const std::string& path) {
    return read_file(std::filesystem::u8path(path));
}
inline std::string read_file(const char* path) {
    return read_file(std::filesystem::u8path(path));
}

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
