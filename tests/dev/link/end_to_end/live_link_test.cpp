// The live link end to end: the exported interface, the Live library of the stand-in
// application and stand-in instances, over the loopback interface.

#include "sceneapi_cs_wrapper.h"
#include "stand_in_processes.h"

#include "platform/temp_folder.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <stdlib.h>

using test_support::StandIn;
using test_support::TempFolder;

namespace {

constexpr const char* kSim = STAND_IN_FOLDER "/photara-sim";
constexpr const char* kSimName = "photara-sim";
constexpr const char* kExporter = EXPORTER;
constexpr double kExportSeconds = 20.0;
constexpr double kStartSeconds = 5.0;
constexpr double kDeliverySeconds = 5.0;
constexpr int kUpAxisZ = 2;

// The text up to and including the import options, as the instance receives it.
const std::regex kOpening("#print \"Photara SceneApi oo [^\"]*\"\nversion 10\n\nload "
                          "\"vtlrtopt.so\" \\{\n[^}]*\"import_up_vector\" 2,\n[^}]*\\}\n");

class LiveLinkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test_support::become_subreaper(); }

    void SetUp() override {
        std::filesystem::create_directory(instances());
        std::filesystem::create_directory(folder.file("resources"));
        ::setenv("SCENEAPI_HKCU_REG", folder.file("user.reg").c_str(), 1);
        ::setenv("SCENEAPI_HKLM_REG", folder.file("machine.reg").c_str(), 1);
        ::setenv("PHOTARA_SIM_INSTANCES", instances().c_str(), 1);
        ::setenv("PHOTARA_SIM_OUTPUT", output().c_str(), 1);
        ::setenv("PHOTARA_SIM_VERSION", "9", 1);
        install("");
    }
    void TearDown() override {
        disconnect();
        instances_.clear();
        test_support::stop_children_named(kSimName); // also those the library started
        for (const char* name : {"SCENEAPI_HKCU_REG", "SCENEAPI_HKLM_REG", "PHOTARA_SIM_INSTANCES",
                                 "PHOTARA_SIM_OUTPUT", "PHOTARA_SIM_VERSION"})
            ::unsetenv(name);
    }

    std::string instances() const { return folder.file("instances"); }
    std::string output() const { return folder.file("received.scene"); }

    // Records version 8 of the application: the stand-in and its Live library.
    void install(const std::string& more_values) {
        folder.write("user.reg", "Windows Registry Editor Version 5.00\n\n"
                                 "[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n"
                                 "\"BinName\"=\"" +
                                     std::string(kSim) +
                                     "\"\n\"BinFolder\"=\"" STAND_IN_FOLDER
                                     "\"\n\"ResourceFolder\"=\"" +
                                     folder.file("resources") + "\"\n" + more_values);
        folder.write("machine.reg", "");
    }

    // Starts an instance and waits until it is registered; returns the port it listens on.
    int start_instance(std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--instances", instances()});
        instances_.emplace_back(kSim, arguments);
        const std::string record =
            instances() + "/" + std::to_string(instances_.back().pid()) + ".instance";
        EXPECT_TRUE(test_support::wait_until(
            kStartSeconds,
            [](const void* path) {
                return std::filesystem::exists(*static_cast<const std::string*>(path));
            },
            &record))
            << "the stand-in did not register";
        const std::string text = test_support::read_file(record);
        std::smatch port;
        std::regex_search(text, port, std::regex("<listening_port>(\\d+)<"));
        return port.empty() ? 0 : std::stoi(port[1]);
    }

    // Waits for the text of the finished link and returns it.
    std::string received() {
        const std::string path = output();
        test_support::wait_until(
            kDeliverySeconds,
            [](const void* file) {
                return std::filesystem::exists(*static_cast<const std::string*>(file));
            },
            &path);
        return test_support::read_file(path);
    }

    // Connects with the error text; returns the export's result.
    int connect(const char* selector, bool any_instance, std::string& error) {
        char buffer[256] = {};
        const int result = connectToPhotara(selector, buffer, sizeof buffer - 1, kUpAxisZ, 1.0f, 7,
                                            20, any_instance);
        error = buffer;
        return result;
    }

    // Sends a group holding one triangle and ends the link.
    static void send_group(const char* name) {
        beginGroup(name);
        beginTriangleObject("tri");
        addVertex(0, 0, 0);
        addVertex(1, 0, 0);
        addVertex(0, 1, 0);
        addTriangle(0, 1, 2);
        int id = 0;
        endTriangleObject(&id, true);
        endGroup();
        disconnect();
    }

    TempFolder folder;
    std::vector<StandIn> instances_;
};

TEST_F(LiveLinkTest, ARunningInstanceReceivesTheSceneAndThenHoldsIt) {
    start_instance({"--version", "8"});
    bool found = true;
    EXPECT_EQ(probePhotara("chair", 7, 20, false, &found), 0); // empty: it qualifies
    EXPECT_FALSE(found);

    std::string error;
    ASSERT_EQ(connect("chair", false, error), 0) << error;
    send_group("chair");
    const std::string text = received();
    std::smatch opening;
    ASSERT_TRUE(std::regex_search(text, opening, kOpening)) << text;
    EXPECT_EQ(opening.position(), 0);
    EXPECT_NE(text.find("\ngroup \"chair\" {\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"triangles\""), std::string::npos) << text;

    // The instance now holds the selector: found; it is busy: passed over for another name.
    EXPECT_EQ(probePhotara("chair", 7, 20, false, &found), 0);
    EXPECT_TRUE(found);
    EXPECT_EQ(probePhotara("table", 7, 20, false, &found), -1);
    EXPECT_FALSE(found);
    EXPECT_EQ(probePhotara("table", 7, 20, true, &found), 0);
    EXPECT_EQ(probePhotara("chair", 9, 20, true, &found), -1); // out of range
}

TEST_F(LiveLinkTest, WithoutAQualifyingInstanceTheApplicationIsStartedAndAwaited) {
    bool found = true;
    EXPECT_EQ(probePhotara("", 7, 20, true, &found), -1);
    std::string error;
    ASSERT_EQ(connect("", false, error), 0) << error;
    send_group("started");
    EXPECT_NE(received().find("\ngroup \"started\" {\n"), std::string::npos);
    EXPECT_EQ(probePhotara("started", 7, 20, false, &found), 0);
    EXPECT_TRUE(found);
}

TEST_F(LiveLinkTest, AnInstanceWithoutPortIsReachedThroughTheRecordedPortRange) {
    const int port = start_instance({"--version", "8", "--advertise-port", "0"});
    ASSERT_GT(port, 1);
    char range[96];
    std::snprintf(range, sizeof range,
                  "\"LiveLinkPort\"=dword:%08x\n\"LiveLinkMaxPort\"=dword:%08x\n", port - 1, port);
    install(range);
    std::string error;
    ASSERT_EQ(connect("", false, error), 0) << error;
    send_group("scanned");
    EXPECT_NE(received().find("\ngroup \"scanned\" {\n"), std::string::npos);
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
}

TEST_F(LiveLinkTest, TheSampleExporterSendsItsSceneLive) {
    start_instance({"--version", "12"});
    StandIn exporter(kExporter, {"--live"});
    EXPECT_EQ(exporter.wait_exit(kExportSeconds), 0);
    const std::string text = received();
    EXPECT_TRUE(std::regex_search(text, std::regex("^#print \"Photara SceneApi oo "))) << text;
    EXPECT_NE(text.find("\ngroup \"table\" {\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"import_up_vector\" 1,\n"), std::string::npos) << text;
}

} // namespace
