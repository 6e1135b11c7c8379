// A Live library whose answers the test sets through fake_live_state.

#include "dev/link/photara_live.h"
#include "fake_live_state.h"
#include "file_api/null_api.h"

#include <memory>

using test_support::FakeLiveState;

namespace {

FakeLiveState g_state;

// Records the link calls and accepts every scene call.
class FakeSceneApi : public NullApi {
public:
    bool connect(const char* host, int port, int attempts) override {
        g_state.calls.push_back("connect " + std::string(host) + " " + std::to_string(port) + " " +
                                std::to_string(attempts));
        return g_state.open_ports.count(port) > 0;
    }
    bool disconnect() override {
        g_state.calls.push_back("disconnect");
        return true;
    }
    void set_id(unsigned id) override { g_state.calls.push_back("set_id " + std::to_string(id)); }
};

// Answers from the state.
class FakeQueryApi : public vtl::PhotaraQueryApi {
public:
    const char* get_instances_xml() override {
        const auto& documents = g_state.instance_documents;
        if (documents.empty()) return nullptr;
        std::size_t index = static_cast<std::size_t>(g_state.instance_queries++);
        text_ = documents[index < documents.size() ? index : documents.size() - 1];
        return text_.c_str();
    }
    bool attach_instance(std::int64_t process_id) override {
        g_state.calls.push_back("attach " + std::to_string(process_id));
        auto found = g_state.scenes.find(process_id);
        if (found == g_state.scenes.end()) return false;
        attached_ = &found->second;
        return true;
    }
    void reserved_3() override {}
    bool detach_instance() override {
        g_state.calls.push_back("detach");
        attached_ = nullptr;
        return true;
    }
    void reserved_5() override {}
    void reserved_6() override {}
    const char* get_scene_xml() override {
        g_state.calls.push_back("scene");
        return attached_ && !attached_->empty() ? attached_->c_str() : nullptr;
    }

private:
    std::string text_;
    const std::string* attached_ = nullptr;
};

class FakeRoot : public vtl::PhotaraLiveRoot {
public:
    ~FakeRoot() override { g_state.calls.push_back("destroyed"); }
    vtlScene_api* get_scene_api() override {
        return g_state.hand_out_scene_api ? &scene_api_ : nullptr;
    }
    vtl::PhotaraQueryApi* get_query_api() override {
        return g_state.hand_out_query_api ? &query_api_ : nullptr;
    }

private:
    FakeSceneApi scene_api_;
    FakeQueryApi query_api_;
};

} // namespace

extern "C" __attribute__((visibility("default"))) vtl::PhotaraLiveRoot* photara_live_initialize() {
    g_state.calls.push_back("initialize");
    return new FakeRoot();
}

extern "C" __attribute__((visibility("default"))) FakeLiveState* fake_live_state() {
    return &g_state;
}
