// The one-shader material kinds: diffuse, plastic, metal, glass and emissive.

#include "dev/materials/clamp01.h"
#include "dev/materials/diffuse.h"
#include "dev/materials/emissive_material.h"
#include "dev/materials/glass_material.h"
#include "dev/materials/metal_material.h"
#include "dev/materials/plastic_material.h"
#include "dev/materials/scene_parameters.h"
#include "dev/vtlsceneapi_oo.h"

#include <utility>

namespace vtl {

namespace {

// Clamps each component to 0..1.
vtlColor clamped(float r, float g, float b) {
    return vtlColor{clamp01(r), clamp01(g), clamp01(b)};
}

} // namespace

OneColorMaterial::OneColorMaterial(std::string name, const char* shader, const char* key,
                                   vtlColor initial)
    : Material(std::move(name)), color_key(key), color(initial) {
    set_shader_name(shader);
}

void OneColorMaterial::set_color(float r, float g, float b) {
    color = clamped(r, g, b);
}

// Writes the shader with its one colour parameter, takes its handle while it is open, closes it
// and attaches it as the surface.
void OneColorMaterial::write_shader(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return;
    api->begin_shader(nullptr, get_shader_name().c_str());
    scene_param::set_color(*api, color_key, color);
    const vtlShader shader = api->get_shader();
    api->end_shader();
    api->set_shader(0, shader); // kind 0: the surface shader
    api->set_flags(4096);
}

Diffuse::Diffuse(std::string name)
    : OneColorMaterial(std::move(name), "vtl_diffuse", "diffuse", {0.75f, 0.5f, 0.5f}) {}

PlasticMaterial::PlasticMaterial(std::string name)
    : OneColorMaterial(std::move(name), "vtl_plastic_simple", "diffuse", {0.75f, 0.5f, 0.5f}) {}

MetalMaterial::MetalMaterial(std::string name)
    : OneColorMaterial(std::move(name), "vtl_metal", "color", {0.75f, 0.5f, 0.5f}) {}

GlassMaterial::GlassMaterial(std::string name)
    : OneColorMaterial(std::move(name), "vtl_window_glass", "transmission", {1.0f, 1.0f, 1.0f}) {}

void Diffuse::write_shader(vtlSceneapi_oo& oo) {
    if (!vertex_color) {
        OneColorMaterial::write_shader(oo);
        return;
    }
    if (vtlScene_api* api = oo.get_api()) write_vertex_color_shader(*api);
}

void Diffuse::write_vertex_color_shader(vtlScene_api& api) {
    api.push_shader();
    api.begin_shader(nullptr, get_shader_name().c_str());
    api.push_shader();
    api.begin_shader(nullptr, "vertex_color");
    scene_param::set_color(api, "default_color", 0.8f, 0.8f, 0.8f);
    api.end_shader();
    const vtlShader vertex_shader = api.get_shader();
    api.pop_shader();
    scene_param::set_color(api, "diffuse", get_color());
    api.set_parameter_shader("diffuse", vertex_shader);
    api.end_shader();
    const vtlShader surface = api.get_shader();
    // Pairs the push made before the surface shader opened, so the shader stack ends balanced.
    api.pop_shader();
    api.set_shader(0, surface); // kind 0: the surface shader
    api.set_flags(4096);
}

EmissiveMaterial::EmissiveMaterial(std::string name) : Material(std::move(name)) {
    set_shader_name("vtl_emissive");
}

void EmissiveMaterial::set_color(float r, float g, float b) {
    color = vtlColor{r, g, b};
}

void EmissiveMaterial::write_shader(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return;
    api->begin_shader(nullptr, "vtl_emissive");
    scene_param::set_color(*api, "color", color);
    scene_param::set_float(*api, "intensity", intensity);
    scene_param::set_bool(*api, "visible in shadows", visible_in_shadows);
    api->end_shader();
    const vtlShader shader = api->get_shader();
    api->set_shader(0, shader); // kind 0: the surface shader
    api->set_flags(4096);
}

} // namespace vtl
