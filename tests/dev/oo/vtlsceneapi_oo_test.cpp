#include "dev/vtlsceneapi_oo.h"

#include "dev/factory/light_factory.h"
#include "dev/nodes/light_node.h"
#include "oo/recording_api.h"

#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using vtl_test::RecordedFront;
using vtl_test::RecordingApi;
using Calls = std::vector<std::string>;

// A factory that records its begin_scene into the back-end's call log.
class RecordingFactory : public vtl::LightFactory {
public:
    explicit RecordingFactory(RecordingApi* api) : api_(api) {}
    vtlScene_api* get_api() override {
        ++get_api_calls;
        return api_;
    }
    void begin_scene(vtl::vtlSceneapi_oo* oo) override {
        begun_with = oo;
        if (api_ != nullptr) api_->calls.push_back("begin_scene");
    }
    void close() override {}

    int get_api_calls = 0;
    vtl::vtlSceneapi_oo* begun_with = nullptr;

private:
    RecordingApi* api_;
};

// A node that records which front it was emitted through.
class ProbeNode : public vtl::LightNode {
public:
    void emit(vtl::vtlSceneapi_oo& oo) override { emitted_with = &oo; }
    void define(vtl::vtlSceneapi_oo&) override { ++defines; }
    bool is_instance() const override { return false; }

    vtl::vtlSceneapi_oo* emitted_with = nullptr;
    int defines = 0;
};

vtlMatrix counting_matrix() {
    vtlMatrix m{};
    for (int k = 0; k < 16; ++k)
        m.m[k / 4][k % 4] = k + 1;
    return m;
}

const char* const kCountingMatrixText = "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16";

TEST(OoStartUp, OpensTheSceneThenPrintsTheBannerThenSendsVersion10) {
    RecordingApi api;
    RecordingFactory factory(&api);
    vtl::vtlSceneapi_oo oo(&factory);

    EXPECT_EQ(factory.get_api_calls, 1);
    EXPECT_EQ(factory.begun_with, &oo);
    EXPECT_EQ(oo.get_api(), &api);
    ASSERT_EQ(api.calls.size(), 3u) << api.text();
    EXPECT_EQ(api.calls[0], "begin_scene");
    // The build time stamp in the compiler's form, e.g. "Tue Feb  6 08:36:56 2018".
    const std::regex banner("print \"Photara SceneApi oo 8\\.1\\.24  \\(built "
                            "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] "
                            "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\\)\"");
    EXPECT_TRUE(std::regex_match(api.calls[1], banner)) << api.calls[1];
    EXPECT_EQ(api.calls[2], "set_version 10");
}

TEST(OoStartUp, AFactoryWithoutBackEndGetsNoSceneBannerOrVersion) {
    RecordingFactory factory(nullptr);
    vtl::vtlSceneapi_oo oo(&factory);
    EXPECT_EQ(factory.get_api_calls, 1);
    EXPECT_EQ(factory.begun_with, nullptr);
    EXPECT_EQ(oo.get_api(), nullptr);
}

TEST(OoStartUp, TheDefaultFrontDiscardsASceneIntoANullApi) {
    vtl::vtlSceneapi_oo oo;
    ASSERT_NE(oo.get_api(), nullptr);
    EXPECT_EQ(oo.new_id(), 1u);
    EXPECT_EQ(oo.begin_shader("vtl_diffuse"), 1u);
    oo.set_parameter("x", 1.0f);
    oo.end_shader();
}

TEST(OoCounters, IdsAndShaderNumbersAreIndependentSequencesFromOne) {
    RecordedFront f;
    EXPECT_EQ(f.oo.new_id(), 1u);
    EXPECT_EQ(f.oo.new_id(), 2u);
    EXPECT_EQ(f.oo.new_id(), 3u);
    EXPECT_EQ(f.oo.begin_shader("texture2_rgb"), 1u);
    f.oo.end_shader();
    EXPECT_EQ(f.oo.begin_shader("vtl_diffuse"), 2u);
    EXPECT_EQ(f.api.calls,
              (Calls{"set_id 1", "set_id 2", "set_id 3", "define_shader \"texture2_rgb\" 1",
                     "end_shader", "define_shader \"vtl_diffuse\" 2"}));
}

TEST(OoCounters, SetApiRestartsBothCounters) {
    RecordedFront f;
    f.oo.new_id();
    f.oo.new_id();
    f.oo.begin_shader("a");
    RecordingApi other;
    f.oo.set_api(&other);
    EXPECT_EQ(f.oo.get_api(), &other);
    EXPECT_EQ(f.oo.new_id(), 1u);
    EXPECT_EQ(f.oo.begin_shader("b"), 1u);
    EXPECT_EQ(other.calls, (Calls{"set_id 1", "define_shader \"b\" 1"}));
}

TEST(OoParameters, EachValueTypeGoesOutWithItsTypeCode) {
    RecordedFront f;
    f.oo.set_parameter("on", true);
    f.oo.set_parameter("off", false);
    f.oo.set_parameter("count", -7);
    f.oo.set_parameter("scale", 0.25f);
    f.oo.set_parameter("umin", 0.1);
    f.oo.set_parameter("position", vtlVector{1.5, -2, 3});
    f.oo.set_parameter("diffuse", vtlColor{0.75f, 0.5f, 0.25f});
    f.oo.set_parameter("texture", std::string("wood.png"));
    EXPECT_EQ(f.api.calls, (Calls{
                               "set_parameter \"on\" 7 1",
                               "set_parameter \"off\" 7 0",
                               "set_parameter \"count\" 6 -7",
                               "set_parameter \"scale\" 3 0.25",
                               "set_parameter \"umin\" 4 0.10000000000000001",
                               "set_parameter \"position\" 5 1.5 -2 3",
                               "set_parameter \"diffuse\" 1 0.75 0.5 0.25",
                               "set_parameter \"texture\" 10 \"wood.png\"",
                           }));
}

TEST(OoParameters, ACharPointerValueIsRefusedAndNothingIsSent) {
    RecordedFront f;
    try {
        f.oo.set_parameter("projection", "perspective");
        FAIL() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "const char * are deprecated");
    }
    EXPECT_TRUE(f.api.calls.empty()) << f.api.text();
}

TEST(OoArrays, EachElementTypeGoesOutAsAnArrayOfItsCode) {
    RecordedFront f;
    f.oo.set_array("ints", std::vector<int>{3, -1});
    f.oo.set_array("floats", std::vector<float>{0.5f});
    f.oo.set_array("doubles", std::vector<double>{});
    f.oo.set_array("matrices", std::vector<vtlMatrix>{counting_matrix()});
    EXPECT_EQ(f.api.calls,
              (Calls{
                  "set_parameter \"ints\" 0x8006 [2] 3 -1",
                  "set_parameter \"floats\" 0x8003 [1] 0.5",
                  "set_parameter \"doubles\" 0x8004 [0]",
                  std::string("set_parameter \"matrices\" 0x8009 [1] ") + kCountingMatrixText,
              }));
}

TEST(OoArrays, Vec3ArraysCountWholeTriplesOnly) {
    RecordedFront f;
    f.oo.set_vec3_array("vertices", std::vector<float>{1, 2, 3, 4, 5, 6, 7});
    f.oo.set_vec3_array("normals", std::vector<float>{1, 2});
    EXPECT_EQ(f.api.calls, (Calls{
                               "set_parameter \"vertices\" 0x8001 [2] 1 2 3 4 5 6",
                               "set_parameter \"normals\" 0x8001 [0]",
                           }));
}

TEST(OoTransform, TheOneArgumentFormMultipliesAndReplaceTrueReplaces) {
    RecordedFront f;
    const vtlMatrix m = counting_matrix();
    f.oo.set_transform(m);
    f.oo.set_transform(m, true);
    f.oo.set_transform(m, false);
    const std::string values = kCountingMatrixText;
    EXPECT_EQ(f.api.calls,
              (Calls{"transform " + values, "set_transform " + values, "transform " + values}));
}

TEST(OoForwarding, GroupsProgressFlagsAndMessagesReachTheBackEnd) {
    RecordedFront f;
    f.oo.begin_group("walls");
    f.oo.end_group();
    f.oo.progress("meshes", 0.5f);
    f.oo.set_flags(4096);
    f.oo.print("hello");
    f.oo.error("broken");
    EXPECT_EQ(f.api.calls,
              (Calls{"begin_group \"walls\" 1", "end_group", "set_progress \"meshes\" 0.5",
                     "set_flags 4096", "print \"hello\"", "error \"broken\""}));
}

TEST(OoForwarding, AddEmitsTheNodeThroughThisFront) {
    RecordedFront f;
    ProbeNode node;
    f.oo.add(node);
    EXPECT_EQ(node.emitted_with, &f.oo);
    EXPECT_EQ(node.defines, 0);
}

TEST(OoWithoutBackEnd, EveryOperationIsASafeNoOp) {
    RecordingFactory factory(nullptr);
    vtl::vtlSceneapi_oo oo(&factory);
    EXPECT_EQ(oo.new_id(), 1u);
    EXPECT_EQ(oo.begin_shader("vtl_diffuse"), 1u);
    oo.end_shader();
    oo.progress("p", 1.0f);
    oo.begin_group("g");
    oo.end_group();
    oo.set_parameter("s", std::string("v"));
    oo.set_parameter("c", vtlColor{1, 1, 1});
    oo.set_parameter("v", vtlVector{1, 1, 1});
    oo.set_parameter("d", 1.0);
    oo.set_parameter("f", 1.0f);
    oo.set_parameter("i", 1);
    oo.set_parameter("b", true);
    oo.set_array("m", std::vector<vtlMatrix>(1));
    oo.set_array("i", std::vector<int>{1});
    oo.set_array("f", std::vector<float>{1});
    oo.set_array("d", std::vector<double>{1});
    oo.set_vec3_array("v", std::vector<float>{1, 2, 3});
    oo.set_transform(counting_matrix());
    oo.set_transform(counting_matrix(), true);
    oo.set_flags(1);
    oo.print("p");
    oo.error("e");
    ProbeNode node;
    oo.add(node);
    EXPECT_EQ(node.emitted_with, &oo);
    EXPECT_THROW(oo.set_parameter("x", "y"), std::invalid_argument);
}

} // namespace
