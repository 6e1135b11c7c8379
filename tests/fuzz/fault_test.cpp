// Faults injected around the Scene file destination: paths that cannot be opened, a full disk,
// standard output closed. Every time the host keeps running and no file it had is lost.

#include "scene_file_texts.h"
#include "scene_oracle.h"
#include "sceneapi_cs_wrapper.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

using cs_test::read_file;
using cs_test::TempFolder;

constexpr char kOpeningFile[] = "opening file: ";
constexpr char kClosingFile[] = "closing file: ";

// Everything written on standard error while it lives, kept in a file of `folder`.
class StderrCapture {
public:
    explicit StderrCapture(const TempFolder& folder) : path_(folder.file("stderr.txt")) {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrCapture() { restore(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Restores standard error and returns what was written.
    std::string text() {
        restore();
        return read_file(path_);
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int saved_ = -1;
};

// The file passes the oracle and carries every one of `names`.
void expect_whole_scene(const std::string& path, std::initializer_list<const char*> names) {
    const fuzz::SceneCheck check = fuzz::check_scene(read_file(path));
    EXPECT_TRUE(check.ok) << check.fault;
    for (const char* name : names)
        EXPECT_EQ(check.strings.count(name), 1u) << name << " missing in " << path;
}

// getLastError's result and text.
std::pair<int, std::string> last_error() {
    char text[1024];
    const int result = getLastError(text, sizeof text);
    text[sizeof text - 1] = '\0';
    return {result, text};
}

// Runs `body` in a child process; its exit status is the number of failed checks.
template <typename Body> int in_child(Body body) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) _exit(body());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(FileFaults, RefusedPathsLeaveThePreviousFileOpenAndWhole) {
    TempFolder folder;
    const std::string good = folder.file("good.scene");
    const std::string regular = folder.file("regular.txt");
    std::ofstream(regular) << "x";
    ASSERT_EQ(openFile(good.c_str(), nullptr, 2, 0.5f), 0);
    addLineLight("before", 1.0f, 1.0f, 1.0f);

    struct Refused {
        std::string path;
        const char* reason;
    };
    std::vector<Refused> refused = {
        {folder.file("missing/x.scene"), "No such file or directory"},
        {folder.file(""), "Is a directory"},
        {regular + "/x.scene", "Not a directory"}, // refused to root as well
        {"", "No such file or directory"},
    };
    // A read-only file that root cannot write either, where the system has one.
    if (::access("/sys/kernel/notes", F_OK) == 0)
        refused.push_back({"/sys/kernel/notes", "Permission denied"});
    for (const Refused& r : refused) {
        StderrCapture err(folder);
        EXPECT_EQ(openFile(r.path.c_str(), nullptr, 2, 0.5f), -1) << r.path;
        EXPECT_EQ(err.text(), std::string(kOpeningFile) + r.reason + "\n") << r.path;
        EXPECT_EQ(last_error(), std::make_pair(-1, "opening \"" + r.path + "\": " + r.reason));
    }
    {
        StderrCapture err(folder);
        EXPECT_EQ(openFile(nullptr, nullptr, 2, 0.5f), -1);
        EXPECT_EQ(err.text(), std::string(kOpeningFile) + "No such file or directory\n");
    }
    addLineLight("after", 1.0f, 1.0f, 1.0f);
    closeFile();
    expect_whole_scene(good, {"before", "after"});
}

TEST(FileFaults, AFullDiskIsReportedAtCloseAndTheNextFileIsWhole) {
    TempFolder folder;
    const std::string next = folder.file("next.scene");
    for (bool replaced : {false, true}) {
        ASSERT_EQ(openFile("/dev/full", nullptr, 2, 0.5f), 0);
        beginGroup("lost");
        beginTriangleObject("big");
        for (int i = 0; i < 20000; ++i)
            addVertex(static_cast<float>(i), 0.5f, 0.25f);
        addTriangle(0, 1, 2);
        int id = 0;
        endTriangleObject(&id, true);
        StderrCapture err(folder);
        // Ending the full destination by closing it or by opening the next one.
        if (replaced) {
            EXPECT_EQ(openFile(next.c_str(), nullptr, 2, 0.5f), 0);
        } else {
            closeFile();
        }
        EXPECT_EQ(err.text(), std::string(kClosingFile) + "No space left on device\n");
        // Closed: the host learns that nothing reached the device. Replaced: the successful
        // open of the next file starts afresh.
        EXPECT_EQ(last_error(),
                  replaced ? std::make_pair(0, std::string())
                           : std::make_pair(-1, std::string("writing \"/dev/full\": No space "
                                                            "left on device (0 bytes had "
                                                            "reached it)")));
        if (!replaced) {
            EXPECT_EQ(openFile(next.c_str(), nullptr, 2, 0.5f), 0);
            EXPECT_EQ(last_error(), std::make_pair(0, std::string()));
        }
        beginGroup("kept");
        endGroup();
        closeFile();
        expect_whole_scene(next, {"kept"});
    }
}

TEST(FileFaults, StandardOutputClosedRefusesTheDashAndLeavesTheHostRunning) {
    TempFolder folder;
    const std::string after = folder.file("after.scene");
    const int failed = in_child([&] {
        StderrCapture err(folder); // before the close, so that it cannot take descriptor 1
        ::close(STDOUT_FILENO);
        int failures = openFile("-", nullptr, 2, 0.5f) == -1 ? 0 : 1;
        failures += err.text() == std::string(kOpeningFile) + "Bad file descriptor\n" ? 0 : 1;
        failures += last_error() == std::make_pair(-1, std::string("opening standard output: "
                                                                   "Bad file descriptor"))
                        ? 0
                        : 1;
        addLineLight("ignored", 1.0f, 1.0f, 1.0f);
        failures += openFile(after.c_str(), nullptr, 2, 0.5f) == 0 ? 0 : 1;
        addLineLight("after", 1.0f, 1.0f, 1.0f);
        closeFile();
        return failures;
    });
    EXPECT_EQ(failed, 0);
    expect_whole_scene(after, {"after"});
}

TEST(FileFaults, AStandardOutputPipeWithoutReaderFailsAtCloseWithoutSigpipe) {
    TempFolder folder;
    const std::string after = folder.file("after.scene");
    const int failed = in_child([&] {
        int ends[2];
        if (::pipe(ends) != 0) return 100;
        ::dup2(ends[1], STDOUT_FILENO);
        ::close(ends[1]);
        ::close(ends[0]); // the reader goes away
        StderrCapture err(folder);
        int failures = openFile("-", nullptr, 2, 0.5f) == 0 ? 0 : 1;
        addLineLight("lost", 1.0f, 1.0f, 1.0f);
        closeFile();
        failures += err.text() == std::string(kClosingFile) + "Broken pipe\n" ? 0 : 1;
        failures += last_error() == std::make_pair(-1, std::string("writing standard output: "
                                                                   "Broken pipe (0 bytes had "
                                                                   "reached it)"))
                        ? 0
                        : 1;
        failures += openFile(after.c_str(), nullptr, 2, 0.5f) == 0 ? 0 : 1;
        addLineLight("after", 1.0f, 1.0f, 1.0f);
        closeFile();
        return failures;
    });
    EXPECT_EQ(failed, 0) << "a status above 128 is the signal that ended the host";
    expect_whole_scene(after, {"after"});
}

} // namespace

namespace {

TEST(FileFaults, AFailedWriteIsSeenBeforeTheCloseAndTheTextIsCopiedAsStrncpyDoes) {
    ASSERT_EQ(openFile("/dev/full", nullptr, 2, 0.5f), 0);
    EXPECT_EQ(last_error(), std::make_pair(0, std::string()));
    beginTriangleObject("big");
    for (int i = 0; i < 20000; ++i)
        addVertex(static_cast<float>(i), 0.5f, 0.25f);
    addTriangle(0, 1, 2);
    endTriangleObject(nullptr, true); // far more than a stream buffer: written, and refused
    const std::string expected =
        "writing \"/dev/full\": No space left on device (0 bytes had reached it)";
    EXPECT_EQ(last_error(), std::make_pair(-1, expected));

    char small[9];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(getLastError(small, 8), -1);
    EXPECT_EQ(std::string(small, sizeof small), expected.substr(0, 8) + "#");
    EXPECT_EQ(getLastError(nullptr, 100), -1);
    EXPECT_EQ(getLastError(small, 0), -1);
    EXPECT_EQ(getLastError(small, -5), -1);

    testing::internal::CaptureStderr();
    closeFile();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(last_error(), std::make_pair(-1, expected));
    char empty[4] = {'x', 'x', 'x', 'x'};
    TempFolder folder;
    ASSERT_EQ(openFile(folder.file("good.scene").c_str(), nullptr, 2, 0.5f), 0);
    EXPECT_EQ(getLastError(empty, sizeof empty), 0);
    EXPECT_EQ(empty[0], '\0');
    closeFile();
    EXPECT_EQ(last_error(), std::make_pair(0, std::string()));
}

} // namespace
