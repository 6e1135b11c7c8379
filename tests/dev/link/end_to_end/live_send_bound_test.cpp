// The stand-in's Live library, loaded as the library loads it, over links that fail after the
// greeting: an instance that stops reading, one that closes at once, and a working instance.
// Sends are bounded, and disconnect() tells whether the whole scene reached the instance.

#include "dev/link/photara_live.h"
#include "file_api/vtlscene_api.h"
#include "platform/dynamic_library.h"
#include "stand_in_processes.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/socket.h>

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

// What a fake instance does once it has answered the greeting.
enum class AfterReady { StopReading, Close };

// Connects the scene API to port, sends `pieces` pieces of text of `size` bytes each and ends
// the link; the result of disconnect(). With a listener, this thread plays the instance on its
// far end: it answers the greeting with the READY line, then closes or reads no more until the
// export has ended. Fails the test (after closing, which lets a blocked send end) when the
// export does not end within the bound.
bool send_scene(vtlScene_api& api, int port, int pieces, std::size_t size,
                const vtl::platform::UniqueFd* listener = nullptr,
                AfterReady after = AfterReady::Close) {
    std::future<bool> result = std::async(std::launch::async, [&api, port, pieces, size] {
        EXPECT_TRUE(api.connect("127.0.0.1", port, 1));
        const std::string text(size - 1, 'x');
        for (int i = 0; i < pieces; ++i) {
            api.write_raw(text.c_str());
            api.write_raw("\n");
        }
        return api.disconnect();
    });
    vtl::platform::UniqueFd connection;
    pollfd incoming{listener ? listener->get() : -1, POLLIN, 0};
    if (listener && ::poll(&incoming, 1, 20000) == 1) {
        connection =
            vtl::platform::UniqueFd(::accept4(listener->get(), nullptr, nullptr, SOCK_CLOEXEC));
        char c = 0;
        while (::recv(connection.get(), &c, 1, 0) == 1 && c != '\n') {
        }
        const std::string ready = "READY 4242\n";
        ::send(connection.get(), ready.data(), ready.size(), MSG_NOSIGNAL);
        if (after == AfterReady::Close) connection = vtl::platform::UniqueFd();
    }
    if (result.wait_for(kExportBound) != std::future_status::ready) {
        ADD_FAILURE() << "the export did not end within the bound";
        connection = vtl::platform::UniqueFd();
    }
    return result.get();
}

// The Live library loaded and initialised, as the live-link factory loads it.
class LiveSendBoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv(kTimeoutVariable, kShortTimeout, 1);
        library_ = vtl::platform::DynamicLibrary::load(kLiveLibrary);
        auto initialize = reinterpret_cast<vtl::PhotaraLiveInitialize>(
            library_.find_symbol(vtl::kPhotaraLiveEntryPoint));
        ASSERT_NE(initialize, nullptr);
        root_.reset(initialize());
        ASSERT_NE(root_, nullptr);
    }
    void TearDown() override { ::unsetenv(kTimeoutVariable); }

    // The scene API with link id 1 set, as the factory hands it out.
    vtlScene_api* scene_api() {
        vtlScene_api* api = root_->get_scene_api();
        if (api) api->set_id(1);
        return api;
    }

    vtl::platform::DynamicLibrary library_;
    std::unique_ptr<vtl::PhotaraLiveRoot> root_; // destroyed before the library is unloaded
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
        vtlScene_api* api = scene_api();
        ASSERT_NE(api, nullptr);
        int port = 0;
        const vtl::platform::UniqueFd listener = test_support::listen_on_loopback(port);
        ASSERT_GT(port, 0);
        EXPECT_FALSE(send_scene(*api, port, c.pieces, c.size, &listener, c.after));
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

    vtlScene_api* api = scene_api();
    ASSERT_NE(api, nullptr);
    const int pieces = 4;
    EXPECT_TRUE(send_scene(*api, port, pieces, kPieceSize));
    ASSERT_TRUE(test_support::wait_for_file(output));
    EXPECT_EQ(std::filesystem::file_size(output), pieces * kPieceSize);
}

} // namespace
