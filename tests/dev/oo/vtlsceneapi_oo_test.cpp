#include "dev/vtlsceneapi_oo.h"

#include "dev/factory/light_factory.h"
#include "oo/front_scene.h"
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

vtlMatrix counting_matrix() {
    vtlMatrix m{};
    for (int k = 0; k < 16; ++k)
        m.m[k / 4][k % 4] = k + 1;
    return m;
}

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
    const std::regex banner("print Photara SceneApi oo 8\\.1\\.24  \\(built "
                            "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] "
                            "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\\)");
    EXPECT_TRUE(std::regex_match(api.calls[1], banner)) << api.calls[1];
    EXPECT_EQ(api.calls[2], "set_version 10");
}

TEST(OoStartUp, WithoutABackEndThereIsNoSceneAndEveryOperationIsANoOp) {
    RecordingFactory factory(nullptr);
    vtl::vtlSceneapi_oo oo(&factory);
    EXPECT_EQ(factory.get_api_calls, 1);
    EXPECT_EQ(factory.begun_with, nullptr);
    EXPECT_EQ(oo.get_api(), nullptr);
    EXPECT_EQ(oo.new_id(), 1u);
    EXPECT_EQ(oo.begin_shader("vtl_diffuse"), 1u);
    oo.end_shader();
    oo.progress("p", 1.0f);
    oo.begin_group("g");
    oo.end_group();
    // Every typed parameter and array goes through one guarded send; one of each shows it.
    oo.set_parameter("s", std::string("v"));
    oo.set_array("i", std::vector<int>{1});
    oo.set_transform(counting_matrix(), true);
    oo.set_flags(1);
    oo.print("p");
    oo.error("e");
    EXPECT_THROW(oo.set_parameter("x", "y"), std::invalid_argument);

    // The default front discards a scene into a back-end of its own.
    vtl::vtlSceneapi_oo discarding;
    ASSERT_NE(discarding.get_api(), nullptr);
    EXPECT_EQ(discarding.begin_shader("vtl_diffuse"), 1u);
}

TEST(OoCounters, IdsAndShaderNumbersAreIndependentSequencesFromOneThatSetApiRestarts) {
    RecordedFront f;
    EXPECT_EQ(f.oo.new_id(), 1u);
    EXPECT_EQ(f.oo.new_id(), 2u);
    EXPECT_EQ(f.oo.new_id(), 3u);
    EXPECT_EQ(f.oo.begin_shader("texture2_rgb"), 1u);
    f.oo.end_shader();
    EXPECT_EQ(f.oo.begin_shader("vtl_diffuse"), 2u);
    EXPECT_EQ(f.api.calls,
              (Calls{"set_id 1", "set_id 2", "set_id 3", "define_shader texture2_rgb 1",
                     "end_shader", "define_shader vtl_diffuse 2"}));

    RecordingApi other;
    f.oo.set_api(&other);
    EXPECT_EQ(f.oo.get_api(), &other);
    EXPECT_EQ(f.oo.new_id(), 1u);
    EXPECT_EQ(f.oo.begin_shader("b"), 1u);
    EXPECT_EQ(other.calls, (Calls{"set_id 1", "define_shader b 1"}));
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

// The front's calls that no node makes, and the Scene file text they end up as, at the top level
// where parameters take the quoted form.
TEST(OoSceneFile, EachCallBecomesItsTypedLine) {
    const std::string matrix = "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16";
    const std::string text = vtl_test::scene_body([](vtl::vtlSceneapi_oo& oo) {
        oo.set_parameter("diffuse", vtlColor{0.75f, 0.5f, 0.25f});
        oo.set_vec3_array("vertices", std::vector<float>{1, 2, 3, 4, 5, 6, 7});
        oo.set_transform(counting_matrix());
        oo.set_transform(counting_matrix(), true);
        oo.progress("meshes", 0.5f);
        oo.set_flags(4096);
        oo.print("hello");
    });
    EXPECT_EQ(text, "\"diffuse\" 0.75 0.5 0.25,\n"
                    "\"vertices\" [ 1 2 3,4 5 6 ] ,\n"
                    "transform " +
                        matrix + "\nset transform " + matrix +
                        "\n"
                        "progress \"meshes\" 0.500\n"
                        "\n"
                        "flags 4096\n"
                        "#print \"hello\"\n");
}

} // namespace
