// Unloading the library in the middle of a scene (groups open, objects under construction)
// closes the file with everything finished before it, ending where the host stopped.

#include "platform/dynamic_library.h"
#include "scene_file_texts.h"
#include "sceneapi_cs_wrapper.h"

#include <gtest/gtest.h>

namespace {

TEST(Unload, OpenFileIsClosedWhenTheLibraryGoes) {
    cs_test::TempFolder folder;
    const std::string path = folder.file("unload.scene");
    auto library = vtl::platform::DynamicLibrary::load(SCENEAPI_LIBRARY_PATH);
    const auto symbol = [&library](auto* type, const char* name) {
        return reinterpret_cast<decltype(type)>(library.find_symbol(name));
    };
    auto open = symbol(&openFile, "openFile");
    auto group = symbol(&beginGroup, "beginGroup");
    auto mesh = symbol(&beginTriangleObject, "beginTriangleObject");
    auto animation = symbol(&beginAnimation, "beginAnimation");
    ASSERT_TRUE(open && group && mesh && animation);
    ASSERT_EQ(open(path.c_str(), nullptr, 2, 0.5f), 0);
    group("outer");
    group("inner");
    mesh("unfinished");
    animation("unfinished too", 0.0f, 1.0f, false);
    library.unload();

    EXPECT_EQ(cs_test::body_after_opening(cs_test::read_file(path)), "\ngroup \"outer\" {\n"
                                                                     "\n group \"inner\" {\n");
}

} // namespace
