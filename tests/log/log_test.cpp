#include "log/log.h"

#include "support/scoped_variable.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <unistd.h>

using test_support::ScopedVariable;
using test_support::TempFolder;

namespace {

constexpr std::uintmax_t kRestartSize = 20971520;
constexpr const char* kTimePattern = "[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}";

std::string g_folder; // what the provider below hands to the log

std::string test_folder() {
    return g_folder;
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_folder = folder.path();
        vtl::Output2FILE::set_folder_provider(&test_folder);
        vtl::Output2FILE::reset();
    }
    void TearDown() override {
        vtl::Output2FILE::reset();
        vtl::Output2FILE::set_folder_provider(nullptr);
        vtl::FILELog::reporting_level() = vtl::logDEBUG4;
    }
    std::string log_path() const { return folder.file("sceneapi.log"); }

    TempFolder folder;
};

// Returns a file's content from an offset on. The log is a text file: on Windows its lines end
// in "\r\n", read here as "\n".
std::string read_file(const std::string& path, std::uintmax_t offset = 0) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
#ifdef _WIN32
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
#endif
    return text;
}

int g_evaluations = 0;
int counted() {
    return ++g_evaluations;
}

TEST_F(LogFileTest, WritesOneLineWithNameLineTimeAndLevel) {
    const int line = __LINE__ + 1;
    SCENEAPI_LOG(vtl::logINFO) << "connected on port " << 9001;
    SCENEAPI_LOG(vtl::logDEBUG4) << "second";
    std::regex layout("log_test\\.cpp:" + std::to_string(line) + " - " + kTimePattern +
                      " INFO:  connected on port 9001\nlog_test\\.cpp:" + std::to_string(line + 1) +
                      " - " + kTimePattern + " DEBUG4:  second\n");
    std::string text = read_file(log_path());
    EXPECT_TRUE(std::regex_match(text, layout)) << text;
}

TEST_F(LogFileTest, TheBaseNameFollowsTheLastSeparatorOfEitherKind) {
    { vtl::FILELog().get_stream(vtl::logWARNING, "plain.cpp", 5) << "a"; }
    { vtl::FILELog().get_stream(vtl::logDEBUG, "C:\\src\\dev/mixed\\loader.cpp", 282) << "b"; }
    { vtl::FILELog().get_stream(vtl::logDEBUG1, "/src/dev/", 1) << "c"; }
    std::regex layout(std::string("plain\\.cpp:5 - ") + kTimePattern +
                      " WARNING:  a\nloader\\.cpp:282 - " + kTimePattern + " DEBUG:  b\n:1 - " +
                      kTimePattern + " DEBUG1:  c\n");
    std::string text = read_file(log_path());
    EXPECT_TRUE(std::regex_match(text, layout)) << text;
}

// A value the line's stream cannot take, as when memory runs out while a statement is built.
struct Unwritable {};
std::ostream& operator<<(std::ostream& stream, Unwritable) {
    stream.setstate(std::ios::badbit);
    return stream;
}

TEST_F(LogFileTest, ALineWhoseStreamFailedStillEndsBeforeTheNext) {
    { vtl::FILELog().get_stream(vtl::logERROR, "a.cpp", 1) << "kept" << Unwritable{} << "lost"; }
    { vtl::FILELog().get_stream(vtl::logERROR, "b.cpp", 2) << "next"; }
    std::regex layout(std::string("a\\.cpp:1 - ") + kTimePattern + " ERROR:  kept\nb\\.cpp:2 - " +
                      kTimePattern + " ERROR:  next\n");
    const std::string text = read_file(log_path());
    EXPECT_TRUE(std::regex_match(text, layout)) << text;
}

TEST_F(LogFileTest, StatementsAboveTheMaximumOrTheReportingLevelAreNeverEvaluated) {
    vtl::FILELog::reporting_level() = vtl::logINFO;
    g_evaluations = 0;
    SCENEAPI_LOG(8) << "set_flags: " << counted();
    SCENEAPI_LOG(vtl::logNONE) << counted();
    SCENEAPI_LOG(vtl::logDEBUG) << counted();
    EXPECT_EQ(g_evaluations, 0);
    // Not even the log file was opened.
    EXPECT_FALSE(std::filesystem::exists(log_path()));
    SCENEAPI_LOG(vtl::logINFO) << counted();
    EXPECT_EQ(g_evaluations, 1);
    EXPECT_TRUE(std::filesystem::exists(log_path()));
}

TEST_F(LogFileTest, AppendsBelowTwentyMebibytesAndStartsAfreshFromThere) {
    for (std::uintmax_t size : {kRestartSize - 1, kRestartSize, kRestartSize + 4096}) {
        vtl::Output2FILE::reset();
        std::filesystem::resize_file(folder.write("sceneapi.log", ""), size); // sparse
        SCENEAPI_LOG(vtl::logINFO) << "logged";
        // Appended: the last byte of what was there, then the line.
        const bool appended = size < kRestartSize;
        const std::string text = read_file(log_path(), appended ? size - 1 : 0);
        std::regex layout(std::string(appended ? "\\0" : "") + "log_test\\.cpp:[0-9]+ - " +
                          kTimePattern + " INFO:  logged\n");
        EXPECT_TRUE(std::regex_match(text, layout)) << size << ": " << text.size() << " bytes";
    }
}

// Without a resource folder the log goes to the user's state folder, created when missing, and
// never to the working directory.
TEST_F(LogFileTest, WithoutAResourceFolderTheLogGoesToTheStateFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "on Windows the log without a resource folder goes to the root of the "
                    "current drive, which a test does not write to";
#endif
    char* previous = ::getcwd(nullptr, 0);
    ASSERT_NE(previous, nullptr);
    std::string saved(previous);
    std::free(previous);
    TempFolder work;
    ASSERT_EQ(::chdir(work.path().c_str()), 0);
    const std::string state_home = folder.file("state/deeper");
    const std::string home = folder.file("home");
    {
        ScopedVariable state("XDG_STATE_HOME", state_home.c_str());
        g_folder.clear();
        SCENEAPI_LOG(vtl::logWARNING) << "no folder";
        vtl::Output2FILE::reset();
        vtl::Output2FILE::set_folder_provider(nullptr);
        SCENEAPI_LOG(vtl::logWARNING) << "no provider";
        vtl::Output2FILE::reset();
    }
    {
        // A relative XDG_STATE_HOME counts as unset: ~/.local/state.
        ScopedVariable state("XDG_STATE_HOME", "relative/state");
        ScopedVariable user_home("HOME", home.c_str());
        SCENEAPI_LOG(vtl::logWARNING) << "home";
        vtl::Output2FILE::reset();
    }
    ASSERT_EQ(::chdir(saved.c_str()), 0);

    EXPECT_FALSE(std::filesystem::exists(work.file("sceneapi.log")));
    EXPECT_FALSE(std::filesystem::exists(work.file("relative")));
    std::string text = read_file(state_home + "/vantel/sceneapi.log");
    std::regex layout(std::string("log_test\\.cpp:[0-9]+ - ") + kTimePattern +
                      " WARNING:  no folder\nlog_test\\.cpp:[0-9]+ - " + kTimePattern +
                      " WARNING:  no provider\n");
    EXPECT_TRUE(std::regex_match(text, layout)) << text;
    text = read_file(home + "/.local/state/vantel/sceneapi.log");
    EXPECT_TRUE(std::regex_match(text, std::regex(std::string("log_test\\.cpp:[0-9]+ - ") +
                                                  kTimePattern + " WARNING:  home\n")))
        << text;
}

TEST_F(LogFileTest, AFileThatCannotBeOpenedIsReportedAndTriedAgain) {
    g_folder = folder.file("not yet");
    g_evaluations = 0;
    ::testing::internal::CaptureStderr();
    SCENEAPI_LOG(vtl::logERROR) << counted();
    std::string reported = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(reported, "could not open log file:\nopening log: No such file or directory\n");
    EXPECT_EQ(g_evaluations, 0);

    std::filesystem::create_directory(g_folder);
    SCENEAPI_LOG(vtl::logERROR) << "now open";
    std::string text = read_file(g_folder + "/sceneapi.log");
    std::regex layout(std::string("log_test\\.cpp:[0-9]+ - ") + kTimePattern +
                      " ERROR:  now open\n");
    EXPECT_TRUE(std::regex_match(text, layout)) << text;
}

} // namespace
