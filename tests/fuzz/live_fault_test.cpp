// Faults injected around the live link: broken Live libraries, instance documents that are
// garbage, truncated or huge, an instance that dies in the middle of a scene, and a log folder
// that cannot be written. The host keeps running, and a Scene file opened afterwards is whole.

#include "scene_file_texts.h"
#include "scene_oracle.h"
#include "sceneapi_cs_wrapper.h"
#include "stand_in_processes.h"
#include "support/registry_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using cs_test::read_file;

constexpr const char* kSimFolder = STAND_IN_FOLDER;
constexpr const char* kSimName = "photara-sim";
constexpr const char* kLiveLibraryName = "vtlphotaralive6_64.so";
constexpr const char* kFailedToConnect = "Failed to connect. ";
constexpr const char* kLogOpenFailed = "could not open log file:";
constexpr double kStartSeconds = 5.0;
constexpr std::size_t kDeepNesting = 200000;
constexpr std::size_t kHugeText = 16u << 20;

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class LiveFaults : public ::testing::Test, protected test_support::RegistryFiles {
protected:
    static void SetUpTestSuite() { test_support::become_subreaper(); }

    void SetUp() override {
        std::filesystem::create_directory(instances());
        write_text(folder.file("not-runnable"), "");
        ::chmod(folder.file("not-runnable").c_str(), 0644);
        ::setenv("PHOTARA_SIM_INSTANCES", instances().c_str(), 1);
        ::setenv("PHOTARA_SIM_OUTPUT", folder.file("received.scene").c_str(), 1);
        write_text(folder.file("machine.reg"), "");
        install(kSimFolder, folder.file("resources"));
    }
    void TearDown() override {
        disconnect();
        test_support::stop_children_named(kSimName);
        for (const char* name : {"PHOTARA_SIM_INSTANCES", "PHOTARA_SIM_OUTPUT"})
            ::unsetenv(name);
    }

    std::string instances() const { return folder.file("instances"); }

    // Records version 8 with its Live library in bin_folder; starting it always fails, so a
    // link that finds no instance fails at once instead of waiting for one.
    void install(const std::string& bin_folder, const std::string& resource_folder) {
        write_text(folder.file("user.reg"),
                   "Windows Registry Editor Version 5.00\n\n"
                   "[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n\"BinName\"=\"" +
                       folder.file("not-runnable") + "\"\n\"BinFolder\"=\"" + bin_folder +
                       "\"\n\"ResourceFolder\"=\"" + resource_folder + "\"\n");
    }

    // Registers this process as an instance of the stand-in, with the two documents given.
    void register_instance(const std::string& element, const std::string& scene) {
        const std::string base = instances() + "/" + std::to_string(::getpid());
        write_text(base + ".instance", element);
        write_text(base + ".scene", scene);
    }

    std::string instance_element(const std::string& version = "8") const {
        return "<photara_instance><version_major>" + version + "</version_major><process_id>" +
               std::to_string(::getpid()) + "</process_id><livelink_port>1</livelink_port>" +
               "</photara_instance>";
    }

    // A connection attempt that must fail with the link's error text.
    void expect_refused_link() {
        char error[256] = {};
        EXPECT_EQ(connectToPhotara("chair", error, sizeof error - 1, 2, 1.0f, 7, 20, true), -1);
        EXPECT_EQ(std::strncmp(error, kFailedToConnect, std::strlen(kFailedToConnect)), 0) << error;
        // The host's report starts with the same text.
        char report[4096] = {};
        EXPECT_EQ(getLastError(report, sizeof report - 1), -1);
        EXPECT_EQ(std::string(report).rfind(error, 0), 0u) << report;
        // Then what was searched: the records read and the Live library paths tried.
        EXPECT_NE(std::string(report).find("searched: HKEY_CURRENT_USER records \"" +
                                           folder.file("user.reg") + "\" (read"),
                  std::string::npos)
            << report;
        EXPECT_NE(std::string(report).find("Live library"), std::string::npos) << report;
    }

    // Scene exports on a destination that has no back-end, then a Scene file that is whole.
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
        const fuzz::SceneCheck check = fuzz::check_scene(read_file(path));
        EXPECT_TRUE(check.ok) << check.fault;
        EXPECT_EQ(check.strings.count("after"), 1u);
        EXPECT_EQ(check.strings.count("ignored"), 0u);
    }
};

TEST_F(LiveFaults, LiveLibrariesWithoutEntryPointOrRootRefuseTheLink) {
    int copies = 0;
    for (const char* broken : {NO_ENTRY_LIBRARY, NULL_ROOT_LIBRARY}) {
        SCOPED_TRACE(broken);
        // A program folder of its own for each: a library once loaded is never overwritten.
        const std::string bin = folder.file("bin" + std::to_string(++copies));
        std::filesystem::create_directory(bin);
        std::filesystem::copy_file(broken, bin + "/" + kLiveLibraryName);
        install(bin, folder.file("resources"));
        bool found = true;
        EXPECT_EQ(probePhotara("chair", 7, 20, true, &found), -1);
        EXPECT_FALSE(found);
        expect_refused_link();
        expect_host_carries_on();
    }
}

TEST_F(LiveFaults, GarbageTruncatedOrHugeInstanceDocumentsChooseNoInstance) {
    const std::string element = instance_element();
    std::string nested;
    for (std::size_t i = 0; i < kDeepNesting; ++i)
        nested += "<a>";
    const std::vector<std::string> bad_elements = {
        "\x01\xff<<<&&&>>> not a document",
        element.substr(0, element.size() / 2),
        nested,
        "<photara_instance><version_major>" + std::string(kHugeText, '9') + "</version_major>" +
            "</photara_instance>",
        instance_element("99999999999999999999999"),
        instance_element("-2147483656"),
    };
    for (const std::string& bad : bad_elements) {
        SCOPED_TRACE(bad.substr(0, 60));
        register_instance(bad, "<photara_scene><scene/></photara_scene>");
        bool found = true;
        EXPECT_EQ(probePhotara("chair", 7, 20, true, &found), -1);
        EXPECT_FALSE(found);
    }
    register_instance(nested, "");
    expect_refused_link();
    expect_host_carries_on();
}

TEST_F(LiveFaults, AnInstanceWhoseSceneIsUnreadableCountsAsBusy) {
    std::string nested;
    for (std::size_t i = 0; i < kDeepNesting; ++i)
        nested += "<scene name=\"chair\">";
    const std::vector<std::string> bad_scenes = {
        "\x01\xff<<<&&&>>> not a document",
        "<photara_scene><scene><link number=\"1\"><group name=\"chair\"/></lin", // cut
        nested,
        "<photara_scene><scene><link><group name=\"" + std::string(kHugeText, 'c') +
            "\"/></link></scene></photara_scene>",
    };
    for (const std::string& scene : bad_scenes) {
        SCOPED_TRACE(scene.substr(0, 60));
        register_instance(instance_element(), scene);
        bool found = true;
        EXPECT_EQ(probePhotara("chair", 7, 20, false, &found), -1); // not an empty scene
        EXPECT_EQ(probePhotara("chair", 7, 20, true, &found), 0);   // but attachable
        EXPECT_FALSE(found);
    }
    expect_host_carries_on();
}

TEST_F(LiveFaults, AnInstanceThatDiesMidSceneLeavesTheHostRunning) {
    test_support::StandIn instance(std::string(kSimFolder) + "/" + kSimName,
                                   {"--major", "8", "--instances", instances()});
    const std::string record = instances() + "/" + std::to_string(instance.pid()) + ".instance";
    ASSERT_TRUE(test_support::wait_until(
        kStartSeconds,
        [](const void* path) {
            return std::filesystem::exists(*static_cast<const std::string*>(path));
        },
        &record));
    char error[256] = {};
    ASSERT_EQ(connectToPhotara("", error, sizeof error - 1, 2, 1.0f, 7, 20, true), 0) << error;
    beginGroup("before");
    ASSERT_EQ(::kill(instance.pid(), SIGKILL), 0);
    instance.stop(); // reaped: gone for good
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

TEST_F(LiveFaults, AnUnwritableLogFolderIsReportedAndTheLinkGoesOn) {
    write_text(folder.file("plain-file"), "x");
    install(kSimFolder, folder.file("plain-file") + "/resources"); // a folder nobody can make
    register_instance(instance_element(), "<photara_scene><scene/></photara_scene>");
    ::fflush(stderr);
    testing::internal::CaptureStderr();
    bool found = true;
    const int probed = probePhotara("chair", 7, 20, false, &found);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(probed, 0); // the empty instance qualifies
    EXPECT_NE(err.find(kLogOpenFailed), std::string::npos) << err;
    expect_host_carries_on();
}

} // namespace
