// Faults injected around the Scene file destination: paths that cannot be opened, a full disk,
// standard output closed or without reader. Every time the host keeps running, learns of the
// failure, and no file it had is lost.

#include "scene_file_texts.h"
#include "scene_oracle.h"
#include "sceneapi_cs_wrapper.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

using cs_test::TempFolder;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// The file passes the oracle and carries every one of `names`.
void expect_whole_scene(const std::string& path, std::initializer_list<const char*> names) {
    const fuzz::SceneCheck check = fuzz::check_scene(cs_test::read_file(path));
    EXPECT_TRUE(check.ok) << check.fault;
    for (const char* name : names)
        EXPECT_EQ(check.strings.count(name), 1u) << name << " missing in " << path;
}

std::pair<int, std::string> last_error() {
    char text[1024];
    const int result = getLastError(text, sizeof text);
    text[sizeof text - 1] = '\0';
    return {result, text};
}

TEST(FileFaults, RefusedPathsLeaveThePreviousFileOpenAndWhole) {
    TempFolder folder;
    const std::string good = folder.file("good.scene");
    ASSERT_EQ(openFile(good.c_str(), nullptr, 2, 0.5f), 0);
    addLineLight("before", 1.0f, 1.0f, 1.0f);

    // The reason is the system's, whatever it is.
    const std::pair<std::string, std::string> refused[] = {
        {folder.file("missing/x.scene"), "No such file or directory"},
        {"", "No such file or directory"},
    };
    for (const auto& [path, reason] : refused) {
        CaptureStderr();
        EXPECT_EQ(openFile(path.c_str(), nullptr, 2, 0.5f), -1) << path;
        EXPECT_EQ(GetCapturedStderr(), "opening file: " + reason + "\n") << path;
        EXPECT_EQ(last_error(), std::make_pair(-1, "opening \"" + path + "\": " + reason));
    }
    CaptureStderr();
    EXPECT_EQ(openFile(nullptr, nullptr, 2, 0.5f), -1);
    EXPECT_EQ(GetCapturedStderr(), "opening file: No such file or directory\n");
    addLineLight("after", 1.0f, 1.0f, 1.0f);
    closeFile();
    expect_whole_scene(good, {"before", "after"});
}

TEST(FileFaults, AFullDiskIsSeenAtTheFailedWriteReportedAtCloseAndTheNextFileIsWhole) {
    TempFolder folder;
    const std::string next = folder.file("next.scene");
    const std::string full = "writing \"/dev/full\": No space left on device (0 bytes had "
                             "reached it)";
    for (bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced by the next file" : "closed");
        ASSERT_EQ(openFile("/dev/full", nullptr, 2, 0.5f), 0);
        beginGroup("lost");
        beginTriangleObject("big");
        for (int i = 0; i < 20000; ++i)
            addVertex(static_cast<float>(i), 0.5f, 0.25f);
        addTriangle(0, 1, 2);
        endTriangleObject(nullptr, true); // far more than a stream buffer: written, and refused
        EXPECT_EQ(last_error(), std::make_pair(-1, full));
        CaptureStderr();
        if (replaced)
            EXPECT_EQ(openFile(next.c_str(), nullptr, 2, 0.5f), 0);
        else
            closeFile();
        EXPECT_EQ(GetCapturedStderr(), "closing file: No space left on device\n");
        // Closed: the host learns that nothing reached the device. Replaced: the successful
        // open of the next file starts afresh.
        EXPECT_EQ(last_error(),
                  replaced ? std::make_pair(0, std::string()) : std::make_pair(-1, full));
        if (!replaced) {
            // The text is copied as strncpy copies it; no room, no copy.
            char small[9];
            std::memset(small, '#', sizeof small);
            EXPECT_EQ(getLastError(small, 8), -1);
            EXPECT_EQ(std::string(small, sizeof small), full.substr(0, 8) + "#");
            EXPECT_EQ(getLastError(nullptr, 100), -1);
            EXPECT_EQ(getLastError(small, 0), -1);
            EXPECT_EQ(getLastError(small, -5), -1);
            EXPECT_EQ(openFile(next.c_str(), nullptr, 2, 0.5f), 0);
            char empty[4] = {'x', 'x', 'x', 'x'};
            EXPECT_EQ(getLastError(empty, sizeof empty), 0);
            EXPECT_EQ(empty[0], '\0');
        }
        beginGroup("kept");
        endGroup();
        closeFile();
        EXPECT_EQ(last_error(), std::make_pair(0, std::string()));
        expect_whole_scene(next, {"kept"});
    }
}

// Standard output closed, or a pipe whose reader went away: "-" is refused at once or fails at
// its close, without a SIGPIPE, and the host goes on to write a whole file.
TEST(FileFaults, ABrokenStandardOutputFailsAndLeavesTheHostRunning) {
    struct Case {
        bool closed; // else a pipe without reader
        int opened;
        std::string logged;
        std::string error;
    };
    const Case cases[] = {
        {true, -1, "opening file: Bad file descriptor\n",
         "opening standard output: Bad file descriptor"},
        {false, 0, "closing file: Broken pipe\n",
         "writing standard output: Broken pipe (0 bytes had reached it)"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string after = folder.file("after.scene");
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {    // its exit status: the number of failed checks
            CaptureStderr(); // before the close, so that its file cannot take descriptor 1
            int ends[2];
            if (c.closed || ::pipe(ends) != 0) {
                ::close(STDOUT_FILENO);
            } else {
                ::dup2(ends[1], STDOUT_FILENO);
                ::close(ends[1]);
                ::close(ends[0]);
            }
            int failures = openFile("-", nullptr, 2, 0.5f) == c.opened ? 0 : 1;
            addLineLight("lost", 1.0f, 1.0f, 1.0f);
            closeFile();
            failures += GetCapturedStderr() == c.logged ? 0 : 1;
            failures += last_error() == std::make_pair(-1, c.error) ? 0 : 1;
            failures += openFile(after.c_str(), nullptr, 2, 0.5f) == 0 ? 0 : 1;
            addLineLight("after", 1.0f, 1.0f, 1.0f);
            closeFile();
            _exit(failures);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status)) << c.logged << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0) << c.logged;
        expect_whole_scene(after, {"after"});
    }
}

} // namespace
