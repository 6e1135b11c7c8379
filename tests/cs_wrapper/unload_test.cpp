// Unloading the library with a Scene file still open closes the file complete.

#include "scene_file_texts.h"
#include "sceneapi_cs_wrapper.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "support/windows_dlfcn.h"
#else
#include <dlfcn.h>
#endif

namespace {

TEST(Unload, OpenFileIsClosedWhenTheLibraryGoes) {
    cs_test::TempFolder folder;
    const std::string path = folder.file("unload.scene");
    void* library = dlopen(SCENEAPI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto open = reinterpret_cast<decltype(&openFile)>(dlsym(library, "openFile"));
    auto line_light = reinterpret_cast<decltype(&addLineLight)>(dlsym(library, "addLineLight"));
    ASSERT_NE(open, nullptr);
    ASSERT_NE(line_light, nullptr);
    ASSERT_EQ(open(path.c_str(), nullptr, 2, 0.5f), 0);
    line_light("last", 1.0f, 2.0f, 2.0f);
    ASSERT_EQ(dlclose(library), 0);

    const std::string body = cs_test::body_after_opening(cs_test::read_file(path));
    EXPECT_EQ(body.substr(0, 16), "object \"last\" {\n");
    const std::string tail = "   \"power\" 1,\n  }  \n }\n}\n";
    ASSERT_GE(body.size(), tail.size());
    EXPECT_EQ(body.substr(body.size() - tail.size()), tail);
}

} // namespace
