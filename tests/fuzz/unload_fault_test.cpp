// The library unloaded while the host is in the middle of a scene: a group open and objects
// under construction. The file is closed with everything finished before, ending where the
// host stopped; loading and unloading again and again leaves no descriptor behind.

#include "scene_file_texts.h"
#include "scene_oracle.h"
#include "sceneapi_cs_wrapper.h"
#include "support/registry_files.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>
#include <filesystem>

namespace {

template <typename F> F* symbol(void* library, const char* name) {
    return reinterpret_cast<F*>(dlsym(library, name));
}

// The number of descriptors the process has open.
int open_descriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(UnloadFault, GroupsLeftOpenStayOpenWhenTheLibraryGoes) {
    cs_test::TempFolder folder;
    const std::string path = folder.file("unload.scene");
    void* library = dlopen(SCENEAPI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto open = symbol<decltype(openFile)>(library, "openFile");
    auto group = symbol<decltype(beginGroup)>(library, "beginGroup");
    auto light = symbol<decltype(addLineLight)>(library, "addLineLight");
    auto mesh = symbol<decltype(beginTriangleObject)>(library, "beginTriangleObject");
    auto animation = symbol<decltype(beginAnimation)>(library, "beginAnimation");
    ASSERT_TRUE(open && group && light && mesh && animation);
    ASSERT_EQ(open(path.c_str(), nullptr, 2, 0.5f), 0);
    group("outer");
    group("inner");
    light("lamp", 1.0f, 1.0f, 1.0f);
    mesh("unfinished");
    animation("unfinished too", 0.0f, 1.0f, false);
    ASSERT_EQ(dlclose(library), 0);

    const fuzz::SceneCheck check = fuzz::check_scene(cs_test::read_file(path), 2);
    EXPECT_TRUE(check.ok) << check.fault;
    for (const char* name : {"outer", "inner", "lamp"})
        EXPECT_EQ(check.strings.count(name), 1u) << name;
    EXPECT_EQ(check.strings.count("unfinished"), 0u);
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
        void* library = dlopen(SCENEAPI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto open = symbol<decltype(openFile)>(library, "openFile");
        ASSERT_TRUE(open);
        testing::internal::CaptureStderr();
        EXPECT_EQ(open(missing.c_str(), nullptr, 2, 0.5f), -1); // a failure goes to the log
        testing::internal::GetCapturedStderr();
        ASSERT_EQ(dlclose(library), 0);
        if (cycle == 0) before = open_descriptors();
    }
    EXPECT_EQ(open_descriptors(), before);
    const std::string log = cs_test::read_file(records.folder.file("sceneapi.log"));
    EXPECT_NE(log.find("ERROR:  opening \"" + missing + "\": No such file or directory\n"),
              std::string::npos)
        << log;
}

} // namespace
