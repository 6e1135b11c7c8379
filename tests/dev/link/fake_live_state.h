#pragma once
// What the fake Live library answers and what it was asked. The test reaches the state of a
// loaded copy through the exported function fake_live_state.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace test_support {

struct FakeLiveState {
    // Answers.
    bool hand_out_scene_api = true;
    bool hand_out_query_api = true;
    std::vector<std::string> instance_documents; // query k gets the k-th, then the last again
    std::map<std::int64_t, std::string> scenes;  // attachable processes; "" for no scene text
    std::set<int> open_ports;                    // connect succeeds on these

    // Questions, in order: "initialize", "set_id 1", "attach 12", "detach", "scene",
    // "connect localhost 9001 4", "disconnect", "destroyed".
    std::vector<std::string> calls;
    int instance_queries = 0;
};

using FakeLiveStateAccess = FakeLiveState* (*)();
constexpr const char* kFakeLiveStateFunction = "fake_live_state";

} // namespace test_support
