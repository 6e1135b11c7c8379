// The Scene file factory: what every Scene file starts with, where it goes, and how opening and
// closing failures are reported.

#include "dev/factory/light_file_factory.h"
#include "dev/factory/pass_through_factory.h"
#include "file_api/vtlscene_api_file.h"
#include "support/scene_memory.h"
#include "support/temp_folder.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#endif
#include <unistd.h>

namespace {

const std::string kHeader = "//---vantel:dal:7---\n"
                            "//---import:dal:1---\n"
                            "//---id:1---\n"
                            "// This is a Photara scene file\n\n";

using TempDir = test_support::TempFolder;
using test_support::read_file;

// Windows has no always-full device; the failing close is covered there by the end-to-end
// checks of the DLL.
#ifdef _WIN32
#define SKIP_WITHOUT_DEV_FULL() GTEST_SKIP() << "no /dev/full on Windows"
#else
#define SKIP_WITHOUT_DEV_FULL() (void)0
#endif

TEST(LightFileFactory, WritesTheHeaderLinesThenTheSceneTruncatingAnOldFileAndClosesOnce) {
    TempDir dir;
    std::string path = dir.file("sc\xc3\xa8ne \xe2\x82\xac.scene"); // UTF-8 name
    {
#ifdef _WIN32
        std::ofstream old(std::filesystem::u8path(path)); // a narrow name is not UTF-8 there
#else
        std::ofstream old(path);
#endif
        old << "an older and much longer Scene file that must disappear entirely\n";
    }
    vtl::LightFileFactory factory(path);
    ASSERT_NE(factory.get_api(), nullptr);
    factory.begin_scene(nullptr);
    factory.get_api()->set_version(10);
    // Close releases the writer once; later calls and the destructor add nothing.
    factory.close();
    EXPECT_EQ(factory.get_api(), nullptr);
    factory.close();
    factory.begin_scene(nullptr);
    EXPECT_EQ(read_file(path), kHeader + "version 10\n\n");
}

TEST(LightFileFactory, AnUnopenablePathPrintsTheReasonAndThrows) {
    TempDir dir;
    struct Case {
        std::string path;
        const char* reason;
    } cases[] = {{dir.file("missing/x.scene"), "No such file or directory"},
#ifdef _WIN32
                 {dir.file(""), "Permission denied"}}; // the C runtime's errno for a folder
#else
                 {dir.file(""), "Is a directory"}};
#endif
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        try {
            vtl::LightFileFactory factory(c.path);
            ADD_FAILURE() << "opened " << c.path;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "could not open file: \"" + c.path + "\"");
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("opening file: ") + c.reason + "\n");
    }
}

TEST(LightFileFactory, AFailingCloseIsReportedAndNeverEscapesTheDestructor) {
    SKIP_WITHOUT_DEV_FULL();
    {
        vtl::LightFileFactory factory("/dev/full");
        factory.begin_scene(nullptr);
        std::fflush(nullptr); // a host flushing every stream: the write fails here, unseen
        testing::internal::CaptureStderr();
        try {
            factory.close();
            ADD_FAILURE() << "closing a full device succeeded";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "could not close file");
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "closing file: No space left on device\n");
        EXPECT_EQ(factory.failure(),
                  "writing \"/dev/full\": No space left on device (0 bytes had reached it)");
        EXPECT_EQ(factory.get_api(), nullptr);
    }
    testing::internal::CaptureStderr();
    {
        vtl::LightFileFactory factory("/dev/full");
        factory.begin_scene(nullptr);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "closing file: No space left on device\n");
}

TEST(LightFileFactory, DashWritesToTheFormerStandardOutputAndMovesLaterOutputToStandardError) {
#ifdef _WIN32
    GTEST_SKIP()
        << "needs fork; standard output through the DLL is checked by scripts/windows-test";
#else
    TempDir dir;
    const std::string out = dir.file("out"), err = dir.file("err");
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (dup2(open(out.c_str(), O_WRONLY | O_CREAT, 0600), STDOUT_FILENO) < 0 ||
            dup2(open(err.c_str(), O_WRONLY | O_CREAT, 0600), STDERR_FILENO) < 0)
            _exit(2);
        {
            vtl::LightFileFactory factory("-");
            factory.begin_scene(nullptr);
            factory.get_api()->print("to the file");
            std::printf("printed later\n");
            std::fflush(stdout);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(read_file(out), kHeader + "#print \"to the file\"\n");
    EXPECT_EQ(read_file(err), "printed later\n");
#endif
}

TEST(PassThroughFactory, HandsOutTheBackEndAndLeavesItIntactWhenDestroyed) {
    const std::string text = write_scene(
        [](vtlScene_api_file& writer) {
            {
                vtl::PassThroughFactory factory(&writer);
                EXPECT_EQ(factory.get_api(), &writer);
                factory.begin_scene(nullptr); // writes nothing
                factory.close();
            }
            writer.set_id(3);
        },
        false, 0, false);
    EXPECT_EQ(text, "id 3\n");
}

} // namespace
