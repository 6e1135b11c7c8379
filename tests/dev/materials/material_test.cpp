// Materials written through the front into the real Scene file writer (each case a call
// sequence and the exact text after the banner and version lines), then what the file cannot
// show: the order of the shader calls, the shader stack, the shader choice and the colour clamp.

#include "dev/materials/clamp01.h"
#include "dev/materials/diffuse.h"
#include "dev/materials/emissive_material.h"
#include "dev/materials/generic_material.h"
#include "dev/materials/glass_material.h"
#include "dev/materials/metal_material.h"
#include "dev/materials/plastic_material.h"
#include "dev/materials/shader_builders.h"
#include "oo/front_scene.h"
#include "oo/recording_api.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using Oo = vtl::vtlSceneapi_oo;
using Calls = std::vector<std::string>;

// A plastic material named "q" written inline.
const std::string kPlasticQ = "material \"q\" {\n"
                              " surface  \"vtl_plastic_simple\" {\n"
                              "  \"diffuse\" 0.75 0.5 0.5,\n"
                              " } \n"
                              " flags 4096\n"
                              "}\n";

const vtl_test::SceneCase kCases[] = {
    {"never defined: inline at every emit, under its new name",
     [](Oo& oo) {
         vtl::PlasticMaterial material("p");
         material.set_name("q");
         material.emit(oo);
         material.emit(oo);
     },
     kPlasticQ + kPlasticQ},
    {"glass with its colour clamped",
     [](Oo& oo) {
         vtl::GlassMaterial material("g");
         material.set_color(2, -1, 0.3f);
         material.emit(oo);
     },
     "material \"g\" {\n"
     " surface  \"vtl_window_glass\" {\n"
     "  \"transmission\" 1 0 0.3,\n"
     " } \n"
     " flags 4096\n"
     "}\n"},
    {"emissive with its colour unclamped",
     [](Oo& oo) {
         vtl::EmissiveMaterial material("lamp");
         material.set_visible_in_shadows(false);
         material.set_color(2, -1, 0.5f);
         material.set_intensity(3);
         material.emit(oo);
     },
     "material \"lamp\" {\n"
     " surface  \"vtl_emissive\" {\n"
     "  \"color\" 2 -1 0.5,\n"
     "  \"intensity\" 3,\n"
     "  \"visible in shadows\" off,\n"
     " } \n"
     " flags 4096\n"
     "}\n"},
    {"the vertex-colour diffuse nests a vertex colour shader",
     [](Oo& oo) {
         vtl::Diffuse material("vc");
         material.set_color(0.25f, 0.5f, 1);
         material.set_vertex_color(true);
         material.emit(oo);
     },
     "material \"vc\" {\n"
     " surface  \"vtl_diffuse\" {\n"
     "  \"diffuse\" 0.25 0.5 1,\n"
     "  \"diffuse\" !  \"vertex_color\" {\n"
     "   \"default_color\" 0.8 0.8 0.8,\n"
     "  } ,\n"
     " } \n"
     " flags 4096\n"
     "}\n"},
    {"generic with only a colour: one numbered diffuse shader as the surface",
     [](Oo& oo) {
         vtl::GenericMaterial material("g");
         material.set_color(0.5f, 0.25f, 1);
         material.emit(oo);
     },
     "material \"g\" {\n"
     " #define shader 1 vtl_diffuse {\n"
     "  \"diffuse\" 0.5 0.25 1,\n"
     " }\n"
     " surface 1\n"
     " flags 4096\n"
     "}\n"},
    {"generic with a specular colour: the plastic shader",
     [](Oo& oo) {
         vtl::GenericMaterial material("a");
         material.set_specular(2, 0.5f, -1);
         material.emit(oo);
     },
     "material \"a\" {\n"
     " #define shader 1 vtl_plastic_simple {\n"
     "  \"diffuse\" 0.75 0.5 0.5,\n"
     "  \"specular\" 1 0.5 0,\n"
     "  \"roughness\" 0,\n"
     " }\n"
     " surface 1\n"
     " flags 4096\n"
     "}\n"},
    {"generic plastic with both textures, numbered before the shader that uses them",
     [](Oo& oo) {
         vtl::GenericMaterial material("p");
         material.set_color(0.5f, 0.5f, 0.5f);
         material.set_specular(1, 0, 0);
         material.set_roughness(0.25f);
         material.set_diffuse_texture("d.png");
         material.set_diffuse_uv_scale(1, 2);
         material.set_specular_texture("s.png");
         material.set_specular_uv_scale(3, 4);
         material.emit(oo);
     },
     "material \"p\" {\n"
     " #define shader 1 texture2_rgb {\n"
     "  \"uv_projection\" 4,\n"
     "  \"texture\" \"d.png\",\n"
     "  \"uv_scale_u\" 1,\n"
     "  \"uv_scale_v\" 2,\n"
     "  \"blend_color\" off,\n"
     "  \"default_color\" 0.5 0.5 0.5,\n"
     " }\n"
     " #define shader 2 texture2_rgb {\n"
     "  \"uv_projection\" 4,\n"
     "  \"texture\" \"s.png\",\n"
     "  \"uv_scale_u\" 3,\n"
     "  \"uv_scale_v\" 4,\n"
     "  \"blend_color\" off,\n"
     "  \"default_color\" 0.5 0.5 0.5,\n"
     " }\n"
     " #define shader 3 vtl_plastic_simple {\n"
     "  \"diffuse\" ! 1,\n"
     "  \"specular\" ! 2,\n"
     "  \"diffuse\" 0.5 0.5 0.5,\n"
     "  \"specular\" 1 0 0,\n"
     "  \"roughness\" 0.25,\n"
     " }\n"
     " surface 3\n"
     " flags 4096\n"
     "}\n"},
    {"generic defined with diffuse texture, bump and opacity: a composite, then references",
     [](Oo& oo) {
         vtl::GenericMaterial material("mat");
         material.set_color(1, 0.5f, 0.25f);
         material.set_diffuse_texture("wood.png");
         material.set_diffuse_uv_scale(2, 3);
         material.set_blend_color(true);
         material.set_bump_texture("bump.png");
         material.set_bump_uv_scale(4, 5);
         material.set_bump_height(0.5f);
         material.set_opacity_texture("alpha.png");
         material.set_opacity_uv_scale(6, 7);
         material.define(oo);
         material.emit(oo);
         material.emit(oo);
     },
     "\n"
     "#define material \"mat\" {\n"
     " #define shader 1 texture2_rgb {\n"
     "  \"uv_projection\" 4,\n"
     "  \"texture\" \"wood.png\",\n"
     "  \"uv_scale_u\" 2,\n"
     "  \"uv_scale_v\" 3,\n"
     "  \"blend_color\" on,\n"
     "  \"default_color\" 1 0.5 0.25,\n"
     " }\n"
     " #define shader 2 vtl_diffuse {\n"
     "  \"diffuse\" ! 1,\n"
     "  \"diffuse\" 1 0.5 0.25,\n"
     " }\n"
     " #define shader 3 texture2_rgb {\n"
     "  \"texture\" \"bump.png\",\n"
     "  \"uv_projection\" 4,\n"
     "  \"bump_height\" 0.5,\n"
     "  \"uv_scale_u\" 4,\n"
     "  \"uv_scale_v\" 5,\n"
     "  \"bump_mode\" 0,\n"
     " }\n"
     " #define shader 4 vtl_bumpmap {\n"
     "\"bumpmap\" 3,\n"
     "\"shader\" 2,\n"
     " }\n"
     " #define shader 5 texture2_rgba {\n"
     "  \"uv_projection\" 4,\n"
     "  \"texture\" \"alpha.png\",\n"
     "  \"uv_scale_u\" 6,\n"
     "  \"uv_scale_v\" 7,\n"
     " }\n"
     " #define shader 6 vtl_advanced {\n"
     "  \"diffuse\" ! 5,\n"
     "  \"alpha\" 1,\n"
     "  \"opacity_mode\" 2,\n"
     "  \"use_diffuse_map_alpha\" on,\n"
     " }\n"
     " #define shader 7 vtl_composite {\n"
     "  \"shaders\" [\n"
     "   6, 4 ],\n"
     "  \"opacity_map\" on,\n"
     " }\n"
     " surface 7\n"
     " flags 4096\n"
     "}\n"
     "material \"mat\"\n"
     "material \"mat\"\n"},
};

TEST(MaterialSceneFile, EachCallSequenceWritesItsText) {
    for (const vtl_test::SceneCase& c : kCases)
        EXPECT_EQ(vtl_test::scene_body(c.calls), c.expected) << c.name;
}

Calls written(vtl::Material& material) {
    vtl_test::RecordedFront f;
    material.write_shader(f.oo);
    EXPECT_EQ(f.api.shader_depth(), 0u) << material.get_name();
    return f.api.calls;
}

// The handle of an anonymous shader is the same whether it is taken before or after the
// shader closes; the kinds take it in their own order.
TEST(MaterialKinds, OneColourKindsTakeTheHandleBeforeClosingEmissiveAfter) {
    vtl::Diffuse diffuse("d");
    vtl::PlasticMaterial plastic("p");
    vtl::MetalMaterial metal("m");
    vtl::GlassMaterial glass("g");
    vtl::EmissiveMaterial emissive("e");
    for (vtl::Material* one_colour :
         {static_cast<vtl::Material*>(&diffuse), static_cast<vtl::Material*>(&plastic),
          static_cast<vtl::Material*>(&metal), static_cast<vtl::Material*>(&glass)}) {
        const Calls calls = written(*one_colour);
        ASSERT_EQ(calls.size(), 5u) << one_colour->get_name();
        EXPECT_EQ(Calls(calls.begin() + 2, calls.end()),
                  (Calls{"get_shader -> shader#1", "end_shader", "set_shader 0 shader#1"}))
            << one_colour->get_name();
    }
    EXPECT_EQ(written(emissive),
              (Calls{"begin_shader vtl_emissive", "set_parameter color 1",
                     "set_parameter intensity 3", "set_parameter visible in shadows 7",
                     "end_shader", "get_shader -> shader#1", "set_shader 0 shader#1"}));
}

TEST(MaterialKinds, TheVertexColourDiffusePairsEachPushWithAPop) {
    vtl::Diffuse diffuse("vc");
    diffuse.set_vertex_color(true);
    EXPECT_EQ(written(diffuse), (Calls{
                                    "push_shader",
                                    "begin_shader vtl_diffuse",
                                    "push_shader",
                                    "begin_shader vertex_color",
                                    "set_parameter default_color 1",
                                    "end_shader",
                                    "get_shader -> shader#2",
                                    "pop_shader",
                                    "set_parameter diffuse 1",
                                    "set_parameter_shader diffuse shader#2",
                                    "end_shader",
                                    "get_shader -> shader#1",
                                    "pop_shader",
                                    "set_shader 0 shader#1",
                                }));
}

TEST(GenericMaterial, SpecularRoughnessOrASpecularTextureChooseThePlasticShader) {
    vtl::GenericMaterial by_roughness("b");
    by_roughness.set_roughness(0);
    vtl::GenericMaterial by_texture("c");
    by_texture.set_specular_texture("s.png");
    vtl::GenericMaterial by_empty_texture("d");
    by_empty_texture.set_specular_texture("");
    EXPECT_EQ(vtl::GenericMaterial("a").get_shader_name(), "vtl_diffuse");
    EXPECT_EQ(by_roughness.get_shader_name(), "vtl_plastic_simple");
    EXPECT_EQ(by_texture.get_shader_name(), "vtl_plastic_simple");
    EXPECT_EQ(by_empty_texture.get_shader_name(), "vtl_diffuse");
}

// The glass case shows a colour clamped at both ends; here what the file cannot show.
TEST(Clamp01, ClampsAnInfinityAndPassesNaN) {
    EXPECT_EQ(vtl::clamp01(-std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_TRUE(std::isnan(vtl::clamp01(std::numeric_limits<float>::quiet_NaN())));
}

TEST(Material, WithoutABackEndNothingIsBuiltAndItStaysUndefined) {
    vtl::PassThroughFactory factory(nullptr);
    Oo oo(&factory);
    vtl::GenericMaterial material("m");
    material.set_bump_texture("b");
    material.set_opacity_texture("o");
    material.define(oo);
    material.emit(oo);
    EXPECT_FALSE(material.is_instance());
    const vtlColor red{1, 0, 0};
    EXPECT_EQ(vtl::texture_shader(oo, "t", red, false, 1, 1), 0);
    EXPECT_EQ(vtl::diffuse_shader(oo, red, "t", false, 1, 1), 0);
    EXPECT_EQ(vtl::plastic_shader(oo, red, red, "t", "u", 0, 1, 1, 1, 1), 0);
    EXPECT_EQ(vtl::bump_shader(oo, 1, "t", 1, 1, 1), 0);
    EXPECT_EQ(vtl::opacity_shader(oo, 1, "t", 1, 1), 0);
}

} // namespace
