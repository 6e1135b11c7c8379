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

#ifndef _WIN32
std::string read_fd(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    return text;
}
#endif

// Windows has no always-full device; the failing close is covered there by the end-to-end
// checks of the DLL.
#ifdef _WIN32
#define SKIP_WITHOUT_DEV_FULL() GTEST_SKIP() << "no /dev/full on Windows"
#else
#define SKIP_WITHOUT_DEV_FULL() (void)0
#endif

TEST(LightFileFactory, WritesTheHeaderLinesThenTheSceneAndTruncatesAnOldFile) {
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
    {
        vtl::LightFileFactory factory(path);
        ASSERT_NE(factory.get_api(), nullptr);
        factory.begin_scene(nullptr);
        factory.get_api()->set_version(10);
    }
    EXPECT_EQ(read_file(path), kHeader + "version 10\n\n");
}

TEST(LightFileFactory, CloseReleasesTheWriterOnceAndDestructionAddsNothing) {
    TempDir dir;
    std::string path = dir.file("a.scene");
    vtl::LightFileFactory factory(path);
    factory.begin_scene(nullptr);
    factory.close();
    EXPECT_EQ(factory.get_api(), nullptr);
    factory.close();
    factory.begin_scene(nullptr); // no writer any more: nothing happens
    EXPECT_EQ(read_file(path), kHeader);
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
        testing::internal::CaptureStderr();
        vtl::LightFileFactory factory("/dev/full");
        factory.begin_scene(nullptr);
        try {
            factory.close();
            ADD_FAILURE() << "closing a full device succeeded";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "could not close file");
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "closing file: No space left on device\n");
        EXPECT_EQ(factory.get_api(), nullptr);
    }
    testing::internal::CaptureStderr();
    {
        vtl::LightFileFactory factory("/dev/full");
        factory.begin_scene(nullptr);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "closing file: No space left on device\n");
}

TEST(LightFileFactory, AWriteErrorFlushedOutEarlierStillFailsTheClose) {
    SKIP_WITHOUT_DEV_FULL();
    vtl::LightFileFactory factory("/dev/full");
    factory.begin_scene(nullptr);
    std::fflush(nullptr); // a host flushing every stream: the write fails here, unseen
    testing::internal::CaptureStderr();
    EXPECT_THROW(factory.close(), std::runtime_error);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "closing file: No space left on device\n");
    EXPECT_EQ(factory.failure(),
              "writing \"/dev/full\": No space left on device (0 bytes had reached it)");
}

TEST(LightFileFactory, DashWritesToTheFormerStandardOutputAndMovesLaterOutputToStandardError) {
#ifdef _WIN32
    GTEST_SKIP() << "needs fork; standard output through the DLL is checked by scripts/windows-test";
#else
    int out_pipe[2], err_pipe[2];
    ASSERT_EQ(pipe(out_pipe), 0);
    ASSERT_EQ(pipe(err_pipe), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(out_pipe[1], STDOUT_FILENO);
        dup2(err_pipe[1], STDERR_FILENO);
        close(out_pipe[0]);
        close(err_pipe[0]);
        close(out_pipe[1]);
        close(err_pipe[1]);
        {
            vtl::LightFileFactory factory("-");
            factory.begin_scene(nullptr);
            factory.get_api()->print("to the file");
            std::printf("printed later\n");
            std::fflush(stdout);
        }
        _exit(0);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    std::string out = read_fd(out_pipe[0]);
    std::string err = read_fd(err_pipe[0]);
    close(out_pipe[0]);
    close(err_pipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(out, kHeader + "#print \"to the file\"\n");
    EXPECT_EQ(err, "printed later\n");
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
