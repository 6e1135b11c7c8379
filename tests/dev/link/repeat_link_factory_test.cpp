#include "dev/link/repeat_link_factory.h"

#include "live_fixture.h"

#include <algorithm>
#include <array>

using test_support::FakeLiveState;
using test_support::LiveFixture;
using vtl::RepeatLinkFactory;

namespace {

using Calls = std::vector<std::string>;

constexpr const char* kEmptyScene = "<photara_scene><scene/></photara_scene>";
constexpr const char* kBusyScene =
    "<photara_scene><scene><link><group name=\"chair\"/></link></scene></photara_scene>";

// A running-instances document of (version, process id, port) triples.
std::string instances(const std::vector<std::array<int, 3>>& list) {
    std::string text = "<photara_instances>";
    for (const auto& [version, process_id, port] : list)
        text += "<photara_instance><version_major>" + std::to_string(version) +
                "</version_major><process_id>" + std::to_string(process_id) +
                "</process_id><livelink_port>" + std::to_string(port) +
                "</livelink_port></photara_instance>";
    return text + "</photara_instances>";
}

class RepeatLinkFactoryTest : public LiveFixture {
protected:
    // A factory as the live-link export configures it, without pauses.
    static void configure(RepeatLinkFactory& factory, bool accept_any, int attempts = 3) {
        factory.set_accept_any_instance(accept_any);
        factory.set_attempts(attempts);
        factory.set_attempt_pause(0);
    }
};

TEST_F(RepeatLinkFactoryTest, WithoutInstallationThereIsNoSceneApi) {
    install(6); // out of range; it only gives the log a folder
    place_fake();
    RepeatLinkFactory factory;
    configure(factory, false);
    EXPECT_EQ(factory.get_api(), nullptr);
    EXPECT_EQ(factory.get_last_error(), "Failed to connect. Could not get a scene api. Please "
                                        "check your Photara installation.\n");
    EXPECT_FALSE(factory.probe());
    EXPECT_EQ(factory.get_last_error(),
              "Could not get a query api. Please check your Photara installation.\n");
}

TEST_F(RepeatLinkFactoryTest, AnAcceptedInstanceIsConnectedOnItsPortAndReleasedByClose) {
    install(8, "", false); // a launch would fail
    FakeLiveState& state = place_fake();
    state.instance_documents = {instances({{8, 10, 9001}})};
    state.scenes = {{10, kBusyScene}};
    state.open_ports = {9001};
    {
        RepeatLinkFactory factory;
        configure(factory, true);
        vtlScene_api* api = factory.get_api();
        EXPECT_NE(api, nullptr);
        EXPECT_EQ(factory.get_last_error(), "");
        EXPECT_EQ(factory.get_api(), api); // no second connection
        EXPECT_FALSE(factory.found_selector());
    }
    EXPECT_EQ(state.calls, Calls({"initialize", "set_id 1", "attach 10", "scene", "detach",
                                  "connect localhost 9001 4", "disconnect", "destroyed"}));
}

TEST_F(RepeatLinkFactoryTest, WhenNoInstanceQualifiesTheApplicationIsLaunchedAndAwaited) {
    install(8);
    FakeLiveState& state = place_fake();
    state.instance_documents = {instances({{8, 10, 9001}}), instances({{8, 10, 9001}}),
                                instances({{8, 10, 9001}, {9, 11, 9002}})};
    state.scenes = {{10, kBusyScene}, {11, kEmptyScene}};
    state.open_ports = {9002};
    RepeatLinkFactory factory;
    configure(factory, false, 4);
    EXPECT_NE(factory.get_api(), nullptr);
    EXPECT_EQ(factory.get_last_error(), "");
    EXPECT_EQ(state.instance_queries, 3);
    EXPECT_EQ(state.calls.back(), "connect localhost 9002 4");
}

TEST_F(RepeatLinkFactoryTest, AfterTheLastAttemptTheRegistryPortRangeIsScanned) {
    install(8, "\"LiveLinkPort\"=dword:00001b58\n\"LiveLinkMaxPort\"=dword:00001b5a\n");
    FakeLiveState& state = place_fake();
    state.instance_documents = {instances({})};
    state.open_ports = {7002}; // the range's last
    RepeatLinkFactory factory;
    configure(factory, false, 1);
    EXPECT_NE(factory.get_api(), nullptr);
    EXPECT_EQ(state.instance_queries, 1); // one attempt: no query after the launch
    EXPECT_EQ(state.calls, Calls({"initialize", "set_id 1", "connect 127.0.0.1 7000 1",
                                  "connect 127.0.0.1 7001 1", "connect 127.0.0.1 7002 1"}));
}

TEST_F(RepeatLinkFactoryTest, WithoutAReachablePortTheApiIsDroppedAndTheLibraryStays) {
    install(8, "\"LiveLinkPort\"=\"7000\"\n");
    FakeLiveState& state = place_fake();
    state.instance_documents = {instances({{8, 10, 0}})};
    state.scenes = {{10, kEmptyScene}};
    RepeatLinkFactory factory;
    configure(factory, false);
    EXPECT_EQ(factory.get_api(), nullptr);
    EXPECT_EQ(factory.get_last_error(),
              "Failed to connect. Could not connect on any known port. Please check your "
              "Photara installation and Live Link settings.");
    factory.close();
    EXPECT_EQ(state.calls, Calls({"initialize", "set_id 1", "attach 10", "scene", "detach"}));
}

TEST_F(RepeatLinkFactoryTest, LaunchAndQueryFailuresKeepTheApiUntilClose) {
    install(8, "", false);
    FakeLiveState& state = place_fake();
    state.instance_documents = {instances({})};
    RepeatLinkFactory factory;
    configure(factory, false);
    EXPECT_NE(factory.get_api(), nullptr);
    EXPECT_EQ(factory.get_last_error(), "Failed to connect. Unabled to launch Photara. Please "
                                        "check your Photara installation.");
    factory.close();
    EXPECT_EQ(state.calls, Calls({"initialize", "set_id 1", "disconnect", "destroyed"}));

    state.calls.clear();
    state.hand_out_query_api = false;
    EXPECT_NE(factory.get_api(), nullptr);
    EXPECT_EQ(factory.get_last_error(), "Failed to connect. Could not get a query api. Please "
                                        "check your Photara installation.\n");
    EXPECT_FALSE(factory.probe());
}

TEST_F(RepeatLinkFactoryTest, AProbeChoosesWithoutConnecting) {
    install(8, "", false);
    FakeLiveState& state = place_fake();
    state.instance_documents = {instances({{9, 10, 9001}, {8, 11, 9002}, {8, 12, 9003}})};
    state.scenes = {{10, kEmptyScene}, {11, kBusyScene}};
    RepeatLinkFactory factory;
    factory.set_accept_any_instance(false);
    factory.set_selector("chair");
    EXPECT_TRUE(factory.probe());
    EXPECT_TRUE(factory.found_selector());
    factory.set_selector("table");
    EXPECT_TRUE(factory.probe());
    EXPECT_FALSE(factory.found_selector());
    factory.set_version_range(10, 20);
    EXPECT_FALSE(factory.probe());
    EXPECT_EQ(std::count(state.calls.begin(), state.calls.end(), "set_id 1"), 0);
    EXPECT_EQ(std::count(state.calls.begin(), state.calls.end(), "destroyed"), 0);
}

} // namespace
