// Unloading the library with a Scene file still open closes the file complete.

#include "platform/dynamic_library.h"
#include "scene_file_texts.h"
#include "sceneapi_cs_wrapper.h"

#include <gtest/gtest.h>

namespace {

TEST(Unload, OpenFileIsClosedWhenTheLibraryGoes) {
    cs_test::TempFolder folder;
    const std::string path = folder.file("unload.scene");
    auto library = vtl::platform::DynamicLibrary::load(SCENEAPI_LIBRARY_PATH);
    auto open = reinterpret_cast<decltype(&openFile)>(library.find_symbol("openFile"));
    auto line_light =
        reinterpret_cast<decltype(&addLineLight)>(library.find_symbol("addLineLight"));
    ASSERT_NE(open, nullptr);
    ASSERT_NE(line_light, nullptr);
    ASSERT_EQ(open(path.c_str(), nullptr, 2, 0.5f), 0);
    line_light("last", 1.0f, 2.0f, 2.0f);
    library.unload();

    const std::string body = cs_test::body_after_opening(cs_test::read_file(path));
    EXPECT_EQ(body.substr(0, 16), "object \"last\" {\n");
    const std::string tail = "   \"power\" 1,\n  }  \n }\n}\n";
    ASSERT_GE(body.size(), tail.size());
    EXPECT_EQ(body.substr(body.size() - tail.size()), tail);
}

} // namespace
