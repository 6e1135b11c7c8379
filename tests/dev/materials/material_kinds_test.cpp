#include "dev/materials/diffuse.h"
#include "dev/materials/emissive_material.h"
#include "dev/materials/generic_material.h"
#include "dev/materials/glass_material.h"
#include "dev/materials/metal_material.h"
#include "dev/materials/plastic_material.h"

#include "oo/recording_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// What a one-colour kind writes: the shader, its colour, the handle taken before the shader
// closes, the surface and the flags.
Calls one_color_shader(const std::string& type, const std::string& key, const std::string& color) {
    return {"begin_shader null \"" + type + "\"",
            "set_parameter \"" + key + "\" 1 " + color,
            "get_shader -> shader#1",
            "end_shader",
            "set_shader 0 shader#1",
            "set_flags 4096"};
}

template <typename Kind> Calls written(Kind& material) {
    vtl_test::RecordedFront f;
    material.write_shader(f.oo);
    return f.api.calls;
}

TEST(MaterialKinds, OneColourKindsWriteTheirDefaultColourAndClampTheColourSet) {
    vtl::Diffuse diffuse("d");
    vtl::PlasticMaterial plastic("p");
    vtl::MetalMaterial metal("m");
    vtl::GlassMaterial glass("g");
    EXPECT_EQ(written(diffuse), one_color_shader("vtl_diffuse", "diffuse", "0.75 0.5 0.5"));
    EXPECT_EQ(written(plastic), one_color_shader("vtl_plastic_simple", "diffuse", "0.75 0.5 0.5"));
    EXPECT_EQ(written(metal), one_color_shader("vtl_metal", "color", "0.75 0.5 0.5"));
    EXPECT_EQ(written(glass), one_color_shader("vtl_window_glass", "transmission", "1 1 1"));
    EXPECT_EQ(diffuse.get_shader_name(), "vtl_diffuse");
    EXPECT_EQ(plastic.get_shader_name(), "vtl_plastic_simple");
    EXPECT_EQ(metal.get_shader_name(), "vtl_metal");
    EXPECT_EQ(glass.get_shader_name(), "vtl_window_glass");

    // The colour setters clamp each component.
    vtl::GenericMaterial generic("x");
    diffuse.set_color(2, -1, 0.3f);
    plastic.set_color(2, -1, 0.3f);
    metal.set_color(2, -1, 0.3f);
    glass.set_color(2, -1, 0.3f);
    generic.set_color(2, -1, 0.3f);
    for (const vtlColor& c : {diffuse.get_color(), plastic.get_color(), metal.get_color(),
                              glass.get_color(), generic.get_color()}) {
        EXPECT_EQ(c.r, 1.0f);
        EXPECT_EQ(c.g, 0.0f);
        EXPECT_EQ(c.b, 0.3f);
    }
    EXPECT_EQ(written(glass),
              one_color_shader("vtl_window_glass", "transmission", "1 0 0.300000012"));
}

TEST(MaterialKinds, EmissiveClosesItsShaderBeforeTakingItAndKeepsItsColourUnclamped) {
    vtl::EmissiveMaterial emissive("lamp");
    EXPECT_EQ(emissive.get_shader_name(), "vtl_emissive");
    emissive.set_visible_in_shadows(false);
    EXPECT_EQ(written(emissive), (Calls{
                                     "begin_shader null \"vtl_emissive\"",
                                     "set_parameter \"color\" 1 1 1 1",
                                     "set_parameter \"intensity\" 3 1",
                                     "set_parameter \"visible in shadows\" 7 0",
                                     "end_shader",
                                     "get_shader -> shader#1",
                                     "set_shader 0 shader#1",
                                     "set_flags 4096",
                                 }));
    emissive.set_color(2, -1, 0.5f);
    emissive.set_intensity(3);
    const Calls calls = written(emissive);
    EXPECT_EQ(calls[1], "set_parameter \"color\" 1 2 -1 0.5");
    EXPECT_EQ(calls[2], "set_parameter \"intensity\" 3 3");
}

TEST(MaterialKinds, TheVertexColourDiffuseNestsAVertexColourShader) {
    vtl::Diffuse diffuse("vc");
    diffuse.set_color(0.25f, 0.5f, 1);
    diffuse.set_vertex_color(true);
    EXPECT_EQ(written(diffuse), (Calls{
                                    "push_shader",
                                    "begin_shader null \"vtl_diffuse\"",
                                    "push_shader",
                                    "begin_shader null \"vertex_color\"",
                                    "set_parameter \"default_color\" 1 0.800000012 "
                                    "0.800000012 0.800000012",
                                    "end_shader",
                                    "get_shader -> shader#2",
                                    "pop_shader",
                                    "set_parameter \"diffuse\" 1 0.25 0.5 1",
                                    "set_parameter_shader \"diffuse\" shader#2",
                                    "end_shader",
                                    "get_shader -> shader#1",
                                    "pop_shader",
                                    "set_shader 0 shader#1",
                                    "set_flags 4096",
                                }));
}

TEST(GenericMaterial, OnlyAColourWritesOneNumberedDiffuseShaderAsTheSurface) {
    vtl::GenericMaterial generic("g");
    generic.set_color(0.5f, 0.25f, 1);
    EXPECT_EQ(generic.get_shader_name(), "vtl_diffuse");
    EXPECT_EQ(written(generic), (Calls{
                                    "define_shader \"vtl_diffuse\" 1",
                                    "set_parameter \"diffuse\" 1 0.5 0.25 1",
                                    "end_shader",
                                    "set_shader_id 0 1",
                                    "set_flags 4096",
                                }));
}

TEST(GenericMaterial, DiffuseTextureAndBumpAreNumberedInOrderAndTheBumpIsTheSurface) {
    vtl::GenericMaterial generic("g");
    generic.set_diffuse_texture("wood.png");
    generic.set_bump_texture("bump.png");
    generic.set_blend_color(true);
    generic.set_diffuse_uv_scale(2, 3);
    generic.set_bump_uv_scale(4, 5);
    generic.set_bump_height(0.5f);
    const Calls calls = written(generic);
    Calls shaders;
    for (const std::string& call : calls) {
        if (call.rfind("define_shader", 0) == 0 || call.rfind("set_shader_id", 0) == 0 ||
            call.rfind("set_parameter_id", 0) == 0 || call.find(" 23 ") != std::string::npos ||
            call.find("uv_scale") != std::string::npos ||
            call.find("blend_color") != std::string::npos ||
            call.find("bump_height") != std::string::npos) {
            shaders.push_back(call);
        }
    }
    EXPECT_EQ(shaders, (Calls{
                           "define_shader \"texture2_rgb\" 1",
                           "set_parameter \"uv_scale_u\" 3 2",
                           "set_parameter \"uv_scale_v\" 3 3",
                           "set_parameter \"blend_color\" 7 1",
                           "define_shader \"vtl_diffuse\" 2",
                           "set_parameter_id \"diffuse\" 1",
                           "define_shader \"texture2_rgb\" 3",
                           "set_parameter \"bump_height\" 3 0.5",
                           "set_parameter \"uv_scale_u\" 3 4",
                           "set_parameter \"uv_scale_v\" 3 5",
                           "define_shader \"vtl_bumpmap\" 4",
                           "set_parameter \"bumpmap\" 23 3",
                           "set_parameter \"shader\" 23 2",
                           "set_shader_id 0 4",
                       }));
    EXPECT_EQ(calls.back(), "set_flags 4096");
}

TEST(GenericMaterial, SpecularRoughnessOrSpecularTextureChooseThePlasticShader) {
    vtl::GenericMaterial by_specular("a");
    by_specular.set_specular(2, 0.5f, -1);
    vtl::GenericMaterial by_roughness("b");
    by_roughness.set_roughness(0);
    vtl::GenericMaterial by_texture("c");
    by_texture.set_specular_texture("s.png");
    vtl::GenericMaterial by_empty_texture("d");
    by_empty_texture.set_specular_texture("");
    EXPECT_EQ(by_specular.get_shader_name(), "vtl_plastic_simple");
    EXPECT_EQ(by_roughness.get_shader_name(), "vtl_plastic_simple");
    EXPECT_EQ(by_texture.get_shader_name(), "vtl_plastic_simple");
    EXPECT_EQ(by_empty_texture.get_shader_name(), "vtl_diffuse");

    const Calls calls = written(by_specular);
    EXPECT_EQ(calls, (Calls{
                         "define_shader \"vtl_plastic_simple\" 1",
                         "set_parameter \"diffuse\" 1 0.75 0.5 0.5",
                         "set_parameter \"specular\" 1 1 0.5 0",
                         "set_parameter \"roughness\" 3 0",
                         "end_shader",
                         "set_shader_id 0 1",
                         "set_flags 4096",
                     }));
}

TEST(GenericMaterial, OpacityComesLastOverTheBumpAndBecomesTheSurface) {
    vtl::GenericMaterial generic("g");
    generic.set_roughness(0.5f);
    generic.set_specular_texture("s.png");
    generic.set_specular_uv_scale(7, 8);
    generic.set_bump_texture("b.png");
    generic.set_opacity_texture("o.png");
    generic.set_opacity_uv_scale(9, 10);
    vtl_test::RecordedFront f;
    generic.write_shader(f.oo);
    EXPECT_EQ(f.api.starting_with("define_shader"),
              (Calls{"define_shader \"texture2_rgb\" 1", "define_shader \"vtl_plastic_simple\" 2",
                     "define_shader \"texture2_rgb\" 3", "define_shader \"vtl_bumpmap\" 4",
                     "define_shader \"texture2_rgba\" 5", "define_shader \"vtl_advanced\" 6",
                     "define_shader \"vtl_composite\" 7"}));
    EXPECT_EQ(f.api.starting_with("add_array_element"),
              (Calls{"add_array_element 6 6", "add_array_element 6 4"}));
    EXPECT_EQ(f.api.starting_with("set_parameter_id"),
              (Calls{"set_parameter_id \"specular\" 1", "set_parameter_id \"diffuse\" 5"}));
    const Calls scales = f.api.starting_with("set_parameter \"uv_scale");
    EXPECT_EQ(scales.front(), "set_parameter \"uv_scale_u\" 3 7");
    EXPECT_EQ(scales.back(), "set_parameter \"uv_scale_v\" 3 10");
    EXPECT_EQ(f.api.starting_with("set_shader_id"), (Calls{"set_shader_id 0 7"}));
}

} // namespace
