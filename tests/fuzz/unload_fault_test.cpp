// Loading and unloading the library again and again leaves no descriptor behind. (What an
// unload does to an open file: tests/cs_wrapper/unload_test.cpp.)

#include "platform/dynamic_library.h"
#include "scene_file_texts.h"
#include "sceneapi_cs_wrapper.h"
#include "support/registry_files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// The number of descriptors the process has open.
int open_descriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(UnloadFault, EveryLoadAndUnloadClosesTheLogItOpened) {
    test_support::RegistryFiles records;
    records.folder.write("photara", "");
    records.write_user("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n"
                       "\"BinName\"=\"" +
                       records.folder.file("photara") +
                       "\"\n"
                       "\"ResourceFolder\"=\"" +
                       records.folder.path() + "\"\n");
    const std::string missing = records.folder.file("missing/x.scene");
    int before = -1;
    for (int cycle = 0; cycle < 4; ++cycle) {
        auto library = vtl::platform::DynamicLibrary::load(SCENEAPI_LIBRARY_PATH);
        auto open = reinterpret_cast<decltype(&openFile)>(library.find_symbol("openFile"));
        ASSERT_TRUE(open);
        testing::internal::CaptureStderr();
        EXPECT_EQ(open(missing.c_str(), nullptr, 2, 0.5f), -1); // a failure goes to the log
        testing::internal::GetCapturedStderr();
        library.unload();
        if (cycle == 0) before = open_descriptors();
    }
    EXPECT_EQ(open_descriptors(), before);
    const std::string log = cs_test::read_file(records.folder.file("sceneapi.log"));
    EXPECT_NE(log.find("ERROR:  opening \"" + missing + "\": No such file or directory\n"),
              std::string::npos)
        << log;
}

} // namespace
