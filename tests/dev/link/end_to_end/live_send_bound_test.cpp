// The stand-in's Live library, loaded as the library loads it, over links that fail after the
// greeting: an instance that stops reading, one that closes at once, and a working instance.
// Sends are bounded, and disconnect() tells whether the whole scene reached the instance.

#include "dev/link/photara_live.h"
#include "file_api/vtlscene_api.h"
#include "stand_in_processes.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <thread>

namespace {

constexpr const char* kLiveLibrary = LIVE_LIBRARY;
constexpr const char* kSim = STAND_IN_FOLDER "/photara-sim";
constexpr const char* kTimeoutVariable = "PHOTARA_LIVE_SEND_TIMEOUT_MS";
constexpr const char* kShortTimeout = "200";
// How long an export may take before the test gives up on it (it hangs without a bound).
constexpr auto kExportBound = std::chrono::seconds(20);
// Far more than the loopback buffers of both sides hold.
constexpr int kBigPieces = 48;
constexpr std::size_t kPieceSize = 1000 * 1000;

// The Live library loaded and initialised; unloaded when destroyed.
class LiveLibrary {
public:
    LiveLibrary() : handle_(::dlopen(kLiveLibrary, RTLD_NOW | RTLD_LOCAL)) {
        if (!handle_) return;
        auto initialize = reinterpret_cast<vtl::PhotaraLiveInitialize>(
            ::dlsym(handle_, vtl::kPhotaraLiveEntryPoint));
        if (initialize) root_ = initialize();
    }
    LiveLibrary(const LiveLibrary&) = delete;
    LiveLibrary& operator=(const LiveLibrary&) = delete;
    ~LiveLibrary() {
        delete root_;
        if (handle_) ::dlclose(handle_);
    }

    // The scene API as the live-link factory gets it: link id 1 set; null when not loaded.
    vtlScene_api* scene_api() {
        vtlScene_api* api = root_ ? root_->get_scene_api() : nullptr;
        if (api) api->set_id(1);
        return api;
    }

private:
    void* handle_;
    vtl::PhotaraLiveRoot* root_ = nullptr;
};

// What a fake instance does once it has answered the greeting.
enum class AfterReady { StopReading, Close };

// An instance on 127.0.0.1 that answers one greeting with the READY line and then either
// never reads again (until destroyed) or closes the connection.
class FakeInstance {
public:
    explicit FakeInstance(AfterReady after) : after_(after) {
        listener_ = test_support::listen_on_loopback(port_);
        if (port_ > 0) thread_ = std::thread([this] { serve(); });
    }
    FakeInstance(const FakeInstance&) = delete;
    FakeInstance& operator=(const FakeInstance&) = delete;
    ~FakeInstance() { release(); }

    int port() const { return port_; }

    // Ends the connection and the serving thread.
    void release() noexcept {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            released_ = true;
        }
        released_changed_.notify_all();
        if (listener_.get() >= 0) ::shutdown(listener_.get(), SHUT_RDWR); // wakes accept()
        if (thread_.joinable()) thread_.join();
    }

private:
    void serve() {
        vtl::platform::UniqueFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (connection.get() < 0) return;
        char c = 0;
        while (::recv(connection.get(), &c, 1, 0) == 1 && c != '\n') {
        }
        const std::string ready = "READY 4242\n";
        ::send(connection.get(), ready.data(), ready.size(), MSG_NOSIGNAL);
        if (after_ == AfterReady::Close) return;
        std::unique_lock<std::mutex> lock(mutex_);
        released_changed_.wait(lock, [this] { return released_; });
    }

    AfterReady after_;
    vtl::platform::UniqueFd listener_;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable released_changed_;
    bool released_ = false;
    std::thread thread_;
};

// Connects the scene API to port, sends `pieces` pieces of text of `size` bytes each and ends
// the link; the result of disconnect(). Fails the test (after releasing the instance, which
// lets a blocked send end) when the export does not end within the bound.
bool send_scene(vtlScene_api& api, int port, int pieces, std::size_t size,
                FakeInstance* instance = nullptr) {
    EXPECT_TRUE(api.connect("127.0.0.1", port, 1));
    std::future<bool> result = std::async(std::launch::async, [&api, pieces, size] {
        const std::string text(size - 1, 'x');
        for (int i = 0; i < pieces; ++i) {
            api.write_raw(text.c_str());
            api.write_raw("\n");
        }
        return api.disconnect();
    });
    if (result.wait_for(kExportBound) != std::future_status::ready) {
        ADD_FAILURE() << "the export did not end within the bound";
        if (instance) instance->release();
    }
    return result.get();
}

class LiveSendBoundTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv(kTimeoutVariable, kShortTimeout, 1); }
    void TearDown() override { ::unsetenv(kTimeoutVariable); }

    LiveLibrary library_;
};

TEST_F(LiveSendBoundTest, LinksThatStopReadingOrEndEarlyEndTheExportAndReportFailure) {
    struct Case {
        const char* what;
        AfterReady after;
        int pieces;
        std::size_t size;
    };
    const Case cases[] = {
        {"an instance that stops reading", AfterReady::StopReading, kBigPieces, kPieceSize},
        {"a one-line scene, closed", AfterReady::Close, 1, 16},
        {"a large scene, closed", AfterReady::Close, kBigPieces, kPieceSize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        vtlScene_api* api = library_.scene_api();
        ASSERT_NE(api, nullptr);
        FakeInstance instance(c.after);
        ASSERT_GT(instance.port(), 0);
        EXPECT_FALSE(send_scene(*api, instance.port(), c.pieces, c.size, &instance));
        // The link is gone: a second disconnect has nothing to end.
        EXPECT_FALSE(api->disconnect());
    }
}

TEST_F(LiveSendBoundTest, AWorkingInstanceReceivesTheWholeSceneAndTheLinkReportsSuccess) {
    test_support::TempFolder folder;
    const std::string instances = folder.file("instances");
    const std::string output = folder.file("received.scene");
    std::filesystem::create_directory(instances);
    test_support::StandIn sim(
        kSim, {"--port", "0", "--major", "8", "--instances", instances, "--output", output});
    const int port = test_support::registered_port(sim, instances);
    ASSERT_GT(port, 0);

    vtlScene_api* api = library_.scene_api();
    ASSERT_NE(api, nullptr);
    const int pieces = 4;
    EXPECT_TRUE(send_scene(*api, port, pieces, kPieceSize));
    ASSERT_TRUE(test_support::wait_for_file(output));
    EXPECT_EQ(std::filesystem::file_size(output), pieces * kPieceSize);
}

} // namespace
