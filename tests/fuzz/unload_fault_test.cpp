// The library unloaded while the host is in the middle of a scene: a group open and objects
// under construction. The file is closed balanced, with everything finished before.

#include "scene_file_texts.h"
#include "scene_oracle.h"
#include "sceneapi_cs_wrapper.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

template <typename F> F* symbol(void* library, const char* name) {
    return reinterpret_cast<F*>(dlsym(library, name));
}

TEST(UnloadFault, GroupsLeftOpenAreClosedWhenTheLibraryGoes) {
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

    const fuzz::SceneCheck check = fuzz::check_scene(cs_test::read_file(path));
    EXPECT_TRUE(check.ok) << check.fault;
    for (const char* name : {"outer", "inner", "lamp"})
        EXPECT_EQ(check.strings.count(name), 1u) << name;
    EXPECT_EQ(check.strings.count("unfinished"), 0u);
}

} // namespace
