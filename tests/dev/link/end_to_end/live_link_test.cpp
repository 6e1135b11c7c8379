// The live link end to end: the exported interface, the Live library of the stand-in
// application and stand-in instances, over the loopback interface.

#include "fuzz/scene_oracle.h"
#include "sceneapi_cs_wrapper.h"
#include "stand_in_processes.h"

#include "support/registry_files.h"
#include "support/tool_run.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>

using test_support::StandIn;

namespace {

constexpr const char* kSim = STAND_IN_FOLDER "/photara-sim";
// Bounded: an export that hangs fails the test instead of holding the run up.
constexpr const char* kExportLive = "timeout 20 '" EXPORTER "' --live";
constexpr int kUpAxisZ = 2;

class LiveLinkTest : public ::testing::Test, protected test_support::RegistryFiles {
protected:
    // Applications the library starts detached become this process's children.
    static void SetUpTestSuite() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }

    void SetUp() override {
        std::filesystem::create_directory(instances());
        std::filesystem::create_directory(folder.file("resources"));
        ::setenv("PHOTARA_SIM_INSTANCES", instances().c_str(), 1);
        ::setenv("PHOTARA_SIM_OUTPUT", output().c_str(), 1);
        install("");
    }
    void TearDown() override {
        disconnect();
        instances_.clear();
        // Those still registered are the ones the library started: ended and reaped here.
        for (const auto& entry : std::filesystem::directory_iterator(instances())) {
            const pid_t pid = static_cast<pid_t>(std::atol(entry.path().stem().c_str()));
            if (entry.path().extension() == ".instance" && ::waitpid(pid, nullptr, WNOHANG) == 0)
                StandIn(pid).stop();
        }
        for (const char* name : {"PHOTARA_SIM_INSTANCES", "PHOTARA_SIM_OUTPUT"})
            ::unsetenv(name);
    }

    std::string instances() const { return folder.file("instances"); }
    std::string output() const { return folder.file("received.scene"); }

    // Records a version of the application: the stand-in, and the Live library of bin_folder.
    void install(const std::string& more_values, int version = 8,
                 const std::string& bin_folder = STAND_IN_FOLDER) {
        write_user("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara " + std::to_string(version) +
                   "]\n\"BinName\"=\"" + kSim + "\"\n\"BinFolder\"=\"" + bin_folder +
                   "\"\n\"ResourceFolder\"=\"" + folder.file("resources") + "\"\n" + more_values);
        write_machine("");
    }

    // After a link that failed or broke: the scene exports have no back-end, and a Scene file
    // opened afterwards is whole.
    void expect_host_carries_on() {
        beginGroup("ignored");
        beginTriangleObject("ignored");
        addVertex(0, 0, 0);
        addTriangle(0, 0, 0);
        int id = -7;
        endTriangleObject(&id, true);
        endGroup();
        addLineLight("ignored", 1, 1, 1);
        const std::string path = folder.file("after.scene");
        ASSERT_EQ(openFile(path.c_str(), nullptr, 2, 0.5f), 0);
        beginGroup("after");
        endGroup();
        closeFile();
        const fuzz::SceneCheck check = fuzz::check_scene(test_support::read_file(path));
        EXPECT_TRUE(check.ok) << check.fault;
        EXPECT_EQ(check.strings.count("after"), 1u);
        EXPECT_EQ(check.strings.count("ignored"), 0u);
    }

    // Starts an instance and waits until it is registered; returns the port it listens on.
    int start_instance(std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--instances", instances()});
        instances_.emplace_back(kSim, arguments);
        const int port = test_support::registered_port(instances_.back(), instances());
        EXPECT_GT(port, 0) << "the stand-in did not register";
        return port;
    }

    // Waits for the text of the finished link and returns it.
    std::string received() {
        test_support::wait_for_file(output());
        return test_support::read_file(output());
    }

    // Connects with the error text; returns the export's result.
    int connect(const char* selector, bool any_instance, std::string& error) {
        char buffer[256] = {};
        const int result = connectToPhotara(selector, buffer, sizeof buffer - 1, kUpAxisZ, 1.0f, 7,
                                            20, any_instance);
        error = buffer;
        return result;
    }

    // Sends materials, a camera, a group with a mesh and a copy of it, and lights; ends the
    // destination.
    static void send_scene() {
        setDiffuse(1, "matte", 0.5f, 0.25f, 1.0f);
        setPlastic(2, "red plastic", 1.0f, 0.0f, 0.0f);
        const float fov[4] = {-0.5f, 0.5f, -0.375f, 0.375f};
        setCamera(0, -5, 1, 0, 1, 0, 0, 0, 1, false, fov);
        beginGroup("table");
        beginTriangleObject("top");
        for (float x : {0.0f, 1.0f})
            for (float y : {0.0f, 1.0f})
                addVertex(x, y, 0.5f);
        addTriangle(0, 1, 2);
        addTriangle(1, 3, 2);
        setMaterial(2);
        int id = 0;
        endTriangleObject(&id, true);
        beginInstanceObject("top copy");
        setInstanceId(id);
        setMaterial(1);
        endInstanceObject();
        endGroup();
        const float warm[3] = {1.0f, 0.75f, 0.5f};
        addPointLight("bulb", 800, warm);
        addLineLight("strip", 400, 2, 0.5f);
        closeFile();
        // The instance received the whole scene: the host has no failure to learn of.
        char report[512] = {};
        EXPECT_EQ(getLastError(report, sizeof report - 1), 0) << report;
    }

    // The lines from the banner on, their words separated by one space: what a Scene file and
    // a live link both carry, whatever their indentation.
    static std::vector<std::string> scene_lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text.substr(std::min(text.find("#print"), text.size())));
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string joined;
            for (std::string word; words >> word;)
                joined += (joined.empty() ? "" : " ") + word;
            lines.push_back(joined);
        }
        return lines;
    }

    std::vector<StandIn> instances_;
};

TEST_F(LiveLinkTest, TheInstanceReceivesWhatAFileWouldHoldAndThenHoldsItsNames) {
    const std::string file = folder.file("export.scene");
    ASSERT_EQ(openFile(file.c_str(), nullptr, kUpAxisZ, 1.0f), 0);
    send_scene();
    start_instance({"--major", "8"});
    bool found = true;
    EXPECT_EQ(probePhotara("table", 7, 20, false, &found), 0); // empty: it qualifies
    EXPECT_FALSE(found);
    std::string error;
    ASSERT_EQ(connect("", false, error), 0) << error;
    send_scene();
    const std::string live = received();
    EXPECT_EQ(live.rfind("#print \"Photara SceneApi oo ", 0), 0u) << live; // no header lines
    EXPECT_EQ(scene_lines(live), scene_lines(test_support::read_file(file)));
    // Groups, objects, lights and materials are named in the scene: each is found.
    for (const char* name : {"table", "top", "top copy", "bulb", "matte", "red plastic"}) {
        EXPECT_EQ(probePhotara(name, 7, 20, false, &found), 0) << name;
        EXPECT_TRUE(found) << name;
    }
    // Busy and not named: passed over unless any instance will do; out of range, never.
    EXPECT_EQ(probePhotara("camera", 7, 20, false, &found), -1);
    EXPECT_FALSE(found);
    EXPECT_EQ(probePhotara("camera", 7, 20, true, &found), 0);
    EXPECT_EQ(probePhotara("table", 9, 20, true, &found), -1);
}

TEST_F(LiveLinkTest, WithoutAQualifyingInstanceTheApplicationIsStartedAndAwaited) {
    // The installation's port range starts with a port in use: the instance takes a later one.
    int lowest = 0;
    const vtl::platform::UniqueFd taken = test_support::listen_on_loopback(lowest);
    ASSERT_GT(lowest, 0);
    char range[96];
    std::snprintf(range, sizeof range, "\"LiveLinkPort\"=\"%d\"\n\"LiveLinkMaxPort\"=dword:%08x\n",
                  lowest, lowest + 16);
    install(range, 11);
    bool found = true;
    EXPECT_EQ(probePhotara("", 7, 20, true, &found), -1);
    std::string error;
    ASSERT_EQ(connect("", false, error), 0) << error;
    send_scene();
    EXPECT_NE(received().find("\ngroup \"table\" {\n"), std::string::npos);
    EXPECT_EQ(probePhotara("table", 7, 20, false, &found), 0);
    EXPECT_TRUE(found);
    // Started without arguments, it played the recorded installation: version and ports.
    std::string record;
    for (const auto& entry : std::filesystem::directory_iterator(instances()))
        if (entry.path().extension() == ".instance") record = test_support::read_file(entry.path());
    EXPECT_NE(record.find("<version_major>11</version_major>"), std::string::npos) << record;
    std::smatch port;
    ASSERT_TRUE(std::regex_search(record, port, std::regex("<listening_port>(\\d+)<"))) << record;
    EXPECT_GT(std::stoi(port[1]), lowest);
    EXPECT_LE(std::stoi(port[1]), lowest + 16);
}

TEST_F(LiveLinkTest, WithoutInstallationTheErrorIsCutAsStrncpyCuts) {
    folder.write("user.reg", "");
    char error[12];
    std::memset(error, 'x', sizeof error);
    EXPECT_EQ(connectToPhotara("chair", error, 10, 2, 1.0f, 7, 20, true), -1);
    EXPECT_EQ(std::memcmp(error, "Failed to xx", 12), 0); // no terminating zero
    char padded[128];
    std::memset(padded, 'x', sizeof padded);
    EXPECT_EQ(connectToPhotara(nullptr, padded, 128, 2, 1.0f, 7, 20, false), -1);
    EXPECT_STREQ(padded, "Failed to connect. Could not get a scene api. Please check your Photara "
                         "installation.\n");
    EXPECT_EQ(padded[127], '\0');
    bool found = true;
    EXPECT_EQ(probePhotara("chair", 7, 20, true, &found), -1);
    EXPECT_FALSE(found);
    EXPECT_EQ(probePhotara(nullptr, 7, 20, true, nullptr), -1);
    // The sample exporter fails with the same text.
    const tool_test::Run exporter = tool_test::run(kExportLive + std::string(" 2>&1"));
    EXPECT_EQ(exporter.status, 1);
    EXPECT_EQ(exporter.out,
              "sceneapi-export: Failed to connect. Could not get a scene api. Please check your "
              "Photara installation.\n");
}

TEST_F(LiveLinkTest, TheSampleExporterSendsItsSceneLive) {
    start_instance({"--major", "12"});
    EXPECT_EQ(tool_test::run(kExportLive).status, 0);
    const std::string text = received();
    EXPECT_TRUE(std::regex_search(text, std::regex("^#print \"Photara SceneApi oo "))) << text;
    EXPECT_NE(text.find("\ngroup \"table\" {\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"import_up_vector\" 1,\n"), std::string::npos) << text;
}

// Faults around the link: broken Live libraries, an instance that dies in the middle of a
// scene. The host keeps running.

TEST_F(LiveLinkTest, ALiveLibraryWithoutEntryPointRefusesTheLink) {
    const std::string bin = folder.file("bin");
    std::filesystem::create_directory(bin);
    std::filesystem::copy_file(NO_ENTRY_LIBRARY, bin + "/vtlphotaralive6_64.so");
    install("", 8, bin);
    bool found = true;
    EXPECT_EQ(probePhotara("chair", 7, 20, true, &found), -1);
    EXPECT_FALSE(found);
    std::string error;
    EXPECT_EQ(connect("chair", true, error), -1);
    EXPECT_EQ(error.rfind("Failed to connect. ", 0), 0u) << error;
    // The host's report starts with the same text, then tells what was searched.
    char report[4096] = {};
    EXPECT_EQ(getLastError(report, sizeof report - 1), -1);
    EXPECT_EQ(std::string(report).rfind(error, 0), 0u) << report;
    EXPECT_NE(std::string(report).find("searched: HKEY_CURRENT_USER records \"" +
                                       folder.file("user.reg") + "\" (read"),
              std::string::npos)
        << report;
    EXPECT_NE(std::string(report).find("Live library"), std::string::npos) << report;
    expect_host_carries_on();
}

TEST_F(LiveLinkTest, AnInstanceThatDiesMidSceneLeavesTheHostRunning) {
    start_instance({"--major", "8"});
    std::string error;
    ASSERT_EQ(connect("", true, error), 0) << error;
    beginGroup("before");
    ASSERT_EQ(::kill(instances_.back().pid(), SIGKILL), 0);
    instances_.back().stop(); // reaped: gone for good
    // Enough text after the death to fill every buffer on the way.
    for (int round = 0; round < 4; ++round) {
        beginTriangleObject("after death");
        for (int i = 0; i < 100000; ++i)
            addVertex(static_cast<float>(i), 1.0f, 2.0f);
        addTriangle(0, 1, 2);
        int id = 0;
        endTriangleObject(&id, true);
        setDiffuse(round, "paint", 1, 1, 1);
        addLineLight("lamp", 1, 1, 1);
    }
    endGroup();
    disconnect();
    // The host learns that the scene did not arrive whole.
    char report[512] = {};
    EXPECT_EQ(getLastError(report, sizeof report - 1), -1);
    EXPECT_STREQ(report, "the Photara instance closed the live link or refused data: the scene "
                         "did not reach it whole");
    bool found = true;
    EXPECT_EQ(probePhotara("before", 7, 20, true, &found), -1);
    expect_host_carries_on();
}

} // namespace
