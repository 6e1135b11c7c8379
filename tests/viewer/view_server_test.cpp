// The viewer's server in the process: who it answers, what it serves, how it takes bad scenes.

#include "view_server.h"

#include "support/tool_run.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

namespace {

// A Scene file with one triangle object, as the writer makes it.
const std::string kScene = "// ---vantel:dal:7---\n"
                           "version 10\n"
                           "object \"tri\" {\n"
                           " geometry \"triangles\" {\n"
                           "  \"vertices\" [ 0 0 0, 1 0 0, 0 1 0 ],\n"
                           "  \"triangles\" [ 0 1 2 ],\n"
                           " }\n"
                           "}\n";

class ViewServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<vtl::view::ViewServer>(vtl::view::ServerOptions{});
        std::string error;
        ASSERT_TRUE(server->start(error)) << error;
        client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
    }

    // GET with the Host header given (empty: the client's own, 127.0.0.1:PORT).
    int status(const std::string& path, const std::string& host = "") {
        httplib::Headers headers;
        if (!host.empty()) headers.emplace("Host", host);
        auto r = client->Get(path, headers);
        return r ? r->status : -1;
    }
    std::string with_token(const std::string& path) { return path + "?token=" + server->token(); }
    std::string body(const std::string& path) {
        auto r = client->Get(with_token(path));
        return r && r->status == 200 ? r->body : "";
    }
    std::string host(const std::string& name) {
        return name + ":" + std::to_string(server->port());
    }

    std::unique_ptr<vtl::view::ViewServer> server;
    std::unique_ptr<httplib::Client> client;
};

const char* const kEndpoints[] = {"/",
                                  "/viewer.js",
                                  "/viewer.css",
                                  "/three/three.min.js",
                                  "/three/GLTFLoader.js",
                                  "/three/OrbitControls.js",
                                  "/scene.glb",
                                  "/summary.json",
                                  "/state.json"};

TEST_F(ViewServerTest, EveryEndpointAnswersOnlyWithTheTokenOfItsUrl) {
    server->show("tri.scene", kScene);
    const std::string token = server->token();
    ASSERT_EQ(token.size(), 48u);
    EXPECT_NE(token, vtl::view::random_token()); // not a constant
    EXPECT_EQ(server->url(),
              "http://127.0.0.1:" + std::to_string(server->port()) + "/?token=" + token);
    for (const char* path : kEndpoints) {
        const std::string p = path;
        EXPECT_EQ(status(with_token(p)), 200) << p;
        EXPECT_EQ(status(p), 403) << p;
        EXPECT_EQ(status(p + "?token=" + token.substr(0, token.size() - 1)), 403) << p;
        EXPECT_EQ(status(p + "?token=" + token + "0"), 403) << p;
        std::string other = token;
        other[0] = other[0] == 'a' ? 'b' : 'a';
        EXPECT_EQ(status(p + "?token=" + other), 403) << p;
    }
    EXPECT_EQ(status("/nothing-here"), 403); // unknown paths tell nothing either
    EXPECT_EQ(status(with_token("/nothing-here")), 404);
}

TEST_F(ViewServerTest, AHostOtherThanItsOwnAddressIsRefusedEvenWithTheToken) {
    server->show("tri.scene", kScene);
    for (const char* path : kEndpoints) {
        const std::string p = with_token(path);
        EXPECT_EQ(status(p, host("localhost")), 200) << p;
        EXPECT_EQ(status(p, host("LocalHost")), 200) << p;
        EXPECT_EQ(status(p, host("attacker.example")), 421) << p;
        EXPECT_EQ(status(p, host("127.0.0.1.attacker.example")), 421) << p;
        EXPECT_EQ(status(p, "127.0.0.1:" + std::to_string(server->port() + 1)), 421) << p;
        EXPECT_EQ(status(p, host("[::1]")), 421) << p;
    }
    // A rebinding page has no token either: the Host is refused first.
    EXPECT_EQ(status("/", host("attacker.example")), 421);
}

TEST_F(ViewServerTest, ListensOnTheLoopbackAddressOnly) {
    // /proc/net/tcp: local address 0100007F is 127.0.0.1; state 0A is LISTEN.
    std::ifstream table("/proc/net/tcp");
    std::string line;
    char port[8];
    std::snprintf(port, sizeof port, ":%04X", server->port());
    int listening = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == port) {
            EXPECT_EQ(local.substr(0, 8), "0100007F") << line;
            ++listening;
        }
    }
    EXPECT_EQ(listening, 1);
}

TEST_F(ViewServerTest, ServesTheSceneTheInspectorsSummaryAndANewVersionForEachScene) {
    EXPECT_EQ(status(with_token("/scene.glb")), 404); // nothing shown yet
    EXPECT_NE(body("/state.json").find("\"version\": 0"), std::string::npos);
    EXPECT_NE(body("/").find("viewer.js?token=" + server->token()), std::string::npos);

    const std::string folder = ::testing::TempDir() + "/view_server_test";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/tri.scene") << kScene;
    EXPECT_EQ(server->show("tri.scene", kScene), 1u);
    const std::string glb = body("/scene.glb");
    ASSERT_GE(glb.size(), 12u);
    EXPECT_EQ(glb.substr(0, 4), "glTF");
    // Byte for byte what "sceneapi-info --json" prints for the file under the same name.
    EXPECT_EQ(
        body("/summary.json"),
        tool_test::run("cd '" + folder + "' && '" SCENEAPI_INFO_PATH "' --json tri.scene").out);
    const std::string state = body("/state.json");
    EXPECT_NE(state.find("\"version\": 1"), std::string::npos) << state;
    EXPECT_NE(state.find("\"ok\": true"), std::string::npos) << state;
    EXPECT_NE(state.find("\"triangles\": 1"), std::string::npos) << state;

    EXPECT_EQ(server->show("tri.scene", kScene), 2u);
    EXPECT_NE(body("/state.json").find("\"version\": 2"), std::string::npos);
}

TEST_F(ViewServerTest, BadScenesAreShownAsErrorsWithoutAScene) {
    const std::string cases[] = {
        "",
        "not a scene at all {",
        "// header\nobject \"cut\" {\n geometry \"triangles\" {\n  \"vertices\" [ 0 0",
    };
    std::uint64_t version = 0;
    for (const std::string& text : cases) {
        version = server->show("bad.scene", text);
        const std::string state = body("/state.json");
        EXPECT_NE(state.find("\"version\": " + std::to_string(version)), std::string::npos);
        const std::string summary = body("/summary.json");
        EXPECT_FALSE(summary.empty()) << text;
        EXPECT_NE(state.find("\"ok\": false"), std::string::npos) << state;
        EXPECT_EQ(status(with_token("/scene.glb")), 404) << text;
        EXPECT_EQ(state.find("\"error\": \"\""), std::string::npos) << state;
    }
    EXPECT_EQ(version, std::size(cases));
    // A good scene after bad ones is shown again.
    server->show("tri.scene", kScene);
    EXPECT_EQ(status(with_token("/scene.glb")), 200);
}

TEST(ViewServerStart, APortInUseIsReportedNotServed) {
    vtl::view::ViewServer first{vtl::view::ServerOptions{}};
    std::string error;
    ASSERT_TRUE(first.start(error)) << error;
    vtl::view::ServerOptions same;
    same.port = first.port();
    vtl::view::ViewServer second(same);
    EXPECT_FALSE(second.start(error));
    EXPECT_NE(error.find(std::to_string(first.port())), std::string::npos) << error;

    vtl::view::ServerOptions no_page;
    no_page.page_folder = ::testing::TempDir() + "/no such folder";
    vtl::view::ViewServer third(no_page);
    EXPECT_FALSE(third.start(error));
    EXPECT_NE(error.find("index.html"), std::string::npos) << error;
}

} // namespace
