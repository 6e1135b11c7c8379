#pragma once
// A test installation of the rendering application in a temporary folder: its records, its
// program folder for Live libraries, its resource folder for the log.

#include "dev/link/photaralive_loader.h"
#include "fake_live_state.h"
#include "log/log.h"
#include "platform/dynamic_library.h"
#include "support/registry_files.h"

#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>

namespace test_support {

class LiveFixture : public ::testing::Test, protected RegistryFiles {
protected:
    void SetUp() override {
        std::filesystem::create_directory(bin_folder());
        std::filesystem::create_directory(resource_folder());
        records("");
    }
    void TearDown() override {
        vtl_unload_live_library();
        held_.unload();
        vtl::Output2FILE::reset();
    }

    std::string bin_folder() const { return folder.file("bin"); }
    std::string resource_folder() const { return folder.file("resources"); }
    std::string executable() const { return folder.file("bin/photara"); }

    // Records one installation of the major version under the current user, with the given
    // further values; its executable is a program that exits at once, executable when told.
    void install(int major, const std::string& more_values = "", bool runnable = true) {
        std::filesystem::copy_file("/bin/true", executable(),
                                   std::filesystem::copy_options::overwrite_existing);
        ::chmod(executable().c_str(), runnable ? 0755 : 0644);
        records("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara " + std::to_string(major) +
                "]\n\"BinName\"=\"" + executable() + "\"\n\"BinFolder\"=\"" + bin_folder() +
                "\"\n\"ResourceFolder\"=\"" + resource_folder() + "\"\n" + more_values);
    }

    // Copies a built library into the program folder under name; returns the copy's path.
    std::string place_library(const std::string& built, const std::string& name) {
        std::string path = bin_folder() + "/" + name;
        std::filesystem::copy_file(built, path, std::filesystem::copy_options::overwrite_existing);
        return path;
    }

    // Places the fake Live library under name and returns its state; the test holds the
    // library loaded, so the state outlives the loader.
    FakeLiveState& place_fake(const std::string& name = "vtlphotaralive6_64.so") {
        held_ = vtl::platform::DynamicLibrary::load(place_library(FAKE_LIVE_LIBRARY, name));
        auto access =
            reinterpret_cast<FakeLiveStateAccess>(held_.find_symbol(kFakeLiveStateFunction));
        if (!access) throw std::runtime_error("fake Live library without its state");
        return *access();
    }

    // Tells whether the library at path is loaded in this process.
    static bool loaded(const std::string& path) {
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle) ::dlclose(handle);
        return handle != nullptr;
    }

private:
    void records(const std::string& user) {
        write_user(user);
        write_machine("");
    }

    vtl::platform::DynamicLibrary held_;
};

} // namespace test_support
