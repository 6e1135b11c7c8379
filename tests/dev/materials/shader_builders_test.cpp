#include "dev/materials/shader_builders.h"

#include "oo/recording_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

const vtlColor kRed{1.0f, 0.0f, 0.0f};
const vtlColor kGrey{0.5f, 0.5f, 0.5f};

// What texture_shader writes as shader `id`.
Calls texture_calls(int id, const std::string& file, const std::string& u, const std::string& v,
                    int blend, const std::string& color) {
    return {"define_shader \"texture2_rgb\" " + std::to_string(id),
            "set_parameter \"uv_projection\" 6 4",
            "set_parameter \"texture\" 10 \"" + file + "\"",
            "set_parameter \"uv_scale_u\" 3 " + u,
            "set_parameter \"uv_scale_v\" 3 " + v,
            "set_parameter \"blend_color\" 7 " + std::to_string(blend),
            "set_parameter \"default_color\" 1 " + color,
            "end_shader"};
}

TEST(ShaderBuilders, TextureShaderSetsItsParametersInOrder) {
    vtl_test::RecordedFront f;
    EXPECT_EQ(vtl::texture_shader(f.oo, "wood.png", kRed, true, 2.0f, 0.5f), 1);
    EXPECT_EQ(f.api.calls, texture_calls(1, "wood.png", "2", "0.5", 1, "1 0 0"));
}

TEST(ShaderBuilders, DiffuseWithoutTextureIsOneShaderWithoutReference) {
    vtl_test::RecordedFront f;
    EXPECT_EQ(vtl::diffuse_shader(f.oo, kGrey, "", false, 1, 1), 1);
    EXPECT_EQ(f.api.calls, (Calls{"define_shader \"vtl_diffuse\" 1",
                                  "set_parameter \"diffuse\" 1 0.5 0.5 0.5", "end_shader"}));
}

TEST(ShaderBuilders, DiffuseWithTextureWritesTheTextureFirstAndBindsIt) {
    vtl_test::RecordedFront f;
    EXPECT_EQ(vtl::diffuse_shader(f.oo, kGrey, "wood.png", true, 3, 4), 2);
    EXPECT_EQ(f.api.calls,
              vtl_test::concat({texture_calls(1, "wood.png", "3", "4", 1, "0.5 0.5 0.5"),
                                {
                                    "define_shader \"vtl_diffuse\" 2",
                                    "set_parameter_id \"diffuse\" 1",
                                    "set_parameter \"diffuse\" 1 0.5 0.5 0.5",
                                    "end_shader",
                                }}));
}

TEST(ShaderBuilders, PlasticTexturesUseTheDiffuseColourAndTheirOwnScales) {
    vtl_test::RecordedFront f;
    EXPECT_EQ(vtl::plastic_shader(f.oo, kGrey, kRed, "d.png", "s.png", 0.25f, 1, 2, 3, 4), 3);
    EXPECT_EQ(f.api.calls, vtl_test::concat({texture_calls(1, "d.png", "1", "2", 0, "0.5 0.5 0.5"),
                                             texture_calls(2, "s.png", "3", "4", 0, "0.5 0.5 0.5"),
                                             {
                                                 "define_shader \"vtl_plastic_simple\" 3",
                                                 "set_parameter_id \"diffuse\" 1",
                                                 "set_parameter_id \"specular\" 2",
                                                 "set_parameter \"diffuse\" 1 0.5 0.5 0.5",
                                                 "set_parameter \"specular\" 1 1 0 0",
                                                 "set_parameter \"roughness\" 3 0.25",
                                                 "end_shader",
                                             }}));
}

TEST(ShaderBuilders, PlasticWithoutTexturesIsOneShader) {
    vtl_test::RecordedFront f;
    EXPECT_EQ(vtl::plastic_shader(f.oo, kGrey, kRed, "", "", 0, 1, 1, 1, 1), 1);
    EXPECT_EQ(f.api.calls.front(), "define_shader \"vtl_plastic_simple\" 1");
    EXPECT_TRUE(f.api.starting_with("set_parameter_id").empty());
}

TEST(ShaderBuilders, BumpRefersToItsTextureAndTheBaseShader) {
    vtl_test::RecordedFront f;
    f.oo.begin_shader("base");
    f.api.calls.clear();
    EXPECT_EQ(vtl::bump_shader(f.oo, 1, "bump.png", 0.1f, 2, 3), 3);
    EXPECT_EQ(f.api.calls, (Calls{
                               "define_shader \"texture2_rgb\" 2",
                               "set_parameter \"texture\" 10 \"bump.png\"",
                               "set_parameter \"uv_projection\" 6 4",
                               "set_parameter \"bump_height\" 3 0.100000001",
                               "set_parameter \"uv_scale_u\" 3 2",
                               "set_parameter \"uv_scale_v\" 3 3",
                               "set_parameter \"bump_mode\" 6 0",
                               "end_shader",
                               "define_shader \"vtl_bumpmap\" 3",
                               "set_parameter \"bumpmap\" 23 2",
                               "set_parameter \"shader\" 23 1",
                               "end_shader",
                           }));
}

TEST(ShaderBuilders, OpacityOverBase3NumbersItsShaders4To6) {
    vtl_test::RecordedFront f;
    for (int i = 0; i < 3; ++i)
        f.oo.begin_shader("s");
    f.api.calls.clear();
    EXPECT_EQ(vtl::opacity_shader(f.oo, 3, "alpha.png", 0.5f, 2), 6);
    EXPECT_EQ(f.api.calls, (Calls{
                               "define_shader \"texture2_rgba\" 4",
                               "set_parameter \"uv_projection\" 6 4",
                               "set_parameter \"texture\" 10 \"alpha.png\"",
                               "set_parameter \"uv_scale_u\" 3 0.5",
                               "set_parameter \"uv_scale_v\" 3 2",
                               "end_shader",
                               "define_shader \"vtl_advanced\" 5",
                               "set_parameter_id \"diffuse\" 4",
                               "set_parameter \"alpha\" 6 1",
                               "set_parameter \"opacity_mode\" 6 2",
                               "set_parameter \"use_diffuse_map_alpha\" 7 1",
                               "end_shader",
                               "define_shader \"vtl_composite\" 6",
                               "begin_array \"shaders\"",
                               "add_array_element 6 5",
                               "add_array_element 6 3",
                               "end_array",
                               "set_parameter \"opacity_map\" 7 1",
                               "end_shader",
                           }));
}

TEST(ShaderBuilders, WithoutABackEndNothingIsBuilt) {
    vtl::PassThroughFactory factory(nullptr);
    vtl::vtlSceneapi_oo oo(&factory);
    EXPECT_EQ(vtl::texture_shader(oo, "t", kRed, false, 1, 1), 0);
    EXPECT_EQ(vtl::diffuse_shader(oo, kRed, "t", false, 1, 1), 0);
    EXPECT_EQ(vtl::plastic_shader(oo, kRed, kRed, "t", "u", 0, 1, 1, 1, 1), 0);
    EXPECT_EQ(vtl::bump_shader(oo, 1, "t", 1, 1, 1), 0);
    EXPECT_EQ(vtl::opacity_shader(oo, 1, "t", 1, 1), 0);
}

} // namespace
