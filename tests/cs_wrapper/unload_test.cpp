// Unloading the library in the middle of a scene (groups open, objects under construction)
// closes the file with everything finished before it, ending where the host stopped, and
// leaves no descriptor behind, neither the file's nor the log's.

#include "platform/dynamic_library.h"
#include "scene_file_texts.h"
#include "sceneapi_cs_wrapper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

namespace {

// The number of descriptors the process has open, where /proc tells it; 0 elsewhere, and on
// Windows, where under Wine /proc shows the emulator's own descriptors.
long open_descriptors() {
#ifdef _WIN32
    return 0;
#else
    std::error_code error;
    std::filesystem::directory_iterator entries("/proc/self/fd", error);
    return error ? 0 : static_cast<long>(std::distance(entries, {}));
#endif
}

TEST(Unload, OpenFileIsClosedWhenTheLibraryGoes) {
    cs_test::TempFolder folder;
    const std::string path = folder.file("unload.scene");
    const long before = open_descriptors();
    auto library = vtl::platform::DynamicLibrary::load(SCENEAPI_LIBRARY_PATH);
    // The exports' types only: the program does not link the library it loads.
#define SYMBOL(name) reinterpret_cast<decltype(&name)>(library.find_symbol(#name))
    auto open = SYMBOL(openFile);
    auto group = SYMBOL(beginGroup);
    auto mesh = SYMBOL(beginTriangleObject);
    auto animation = SYMBOL(beginAnimation);
#undef SYMBOL
    ASSERT_TRUE(open && group && mesh && animation);
    ASSERT_EQ(open(path.c_str(), nullptr, 2, 0.5f), 0);
    group("outer");
    group("inner");
    mesh("unfinished");
    animation("unfinished too", 0.0f, 1.0f, false);
    library.unload(); // the warning about the open groups opens the log for its line alone

    EXPECT_EQ(open_descriptors(), before);
    EXPECT_EQ(cs_test::body_after_opening(cs_test::read_file(path)), "\ngroup \"outer\" {\n"
                                                                     "\n group \"inner\" {\n");
}

// Nothing to say while unloading: the log the library had opened goes with it.
TEST(Unload, TheLogIsClosedWhenTheLibraryGoes) {
    cs_test::TempFolder folder;
    const long before = open_descriptors();
    auto library = vtl::platform::DynamicLibrary::load(SCENEAPI_LIBRARY_PATH);
    auto open = reinterpret_cast<decltype(&openFile)>(library.find_symbol("openFile"));
    ASSERT_TRUE(open);
    testing::internal::CaptureStderr();
    EXPECT_EQ(open(folder.file("missing/x.scene").c_str(), nullptr, 2, 0.5f), -1); // to the log
    testing::internal::GetCapturedStderr();
    library.unload();
    EXPECT_EQ(open_descriptors(), before);
}

} // namespace
