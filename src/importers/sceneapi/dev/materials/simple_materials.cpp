// The one-shader material kinds: diffuse, plastic, metal, glass and emissive.

#include "dev/materials/clamp01.h"
#include "dev/materials/diffuse.h"
#include "dev/materials/emissive_material.h"
#include "dev/materials/glass_material.h"
#include "dev/materials/material_texts.h"
#include "dev/materials/metal_material.h"
#include "dev/materials/plastic_material.h"
#include "dev/materials/scene_parameters.h"
#include "dev/vtlsceneapi_oo.h"

#include <utility>

namespace vtl {

using namespace material_text;

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
    api->set_shader(kSurfaceKind, shader);
    api->set_flags(kMaterialFlags);
}

Diffuse::Diffuse(std::string name)
    : OneColorMaterial(std::move(name), kDiffuseShader, kDiffuse, {0.75f, 0.5f, 0.5f}) {}

PlasticMaterial::PlasticMaterial(std::string name)
    : OneColorMaterial(std::move(name), kPlasticShader, kDiffuse, {0.75f, 0.5f, 0.5f}) {}

MetalMaterial::MetalMaterial(std::string name)
    : OneColorMaterial(std::move(name), kMetalShader, kColor, {0.75f, 0.5f, 0.5f}) {}

GlassMaterial::GlassMaterial(std::string name)
    : OneColorMaterial(std::move(name), kGlassShader, kTransmission, {1.0f, 1.0f, 1.0f}) {}

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
    api.begin_shader(nullptr, kVertexColorShader);
    scene_param::set_color(api, kDefaultColor, kVertexColorDefault, kVertexColorDefault,
                           kVertexColorDefault);
    api.end_shader();
    const vtlShader vertex_shader = api.get_shader();
    api.pop_shader();
    scene_param::set_color(api, kDiffuse, get_color());
    api.set_parameter_shader(kDiffuse, vertex_shader);
    api.end_shader();
    const vtlShader surface = api.get_shader();
    // Pairs the push made before the surface shader opened, so the shader stack ends balanced.
    api.pop_shader();
    api.set_shader(kSurfaceKind, surface);
    api.set_flags(kMaterialFlags);
}

EmissiveMaterial::EmissiveMaterial(std::string name) : Material(std::move(name)) {
    set_shader_name(kEmissiveShader);
}

void EmissiveMaterial::set_color(float r, float g, float b) {
    color = vtlColor{r, g, b};
}

void EmissiveMaterial::write_shader(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return;
    api->begin_shader(nullptr, kEmissiveShader);
    scene_param::set_color(*api, kColor, color);
    scene_param::set_float(*api, kIntensity, intensity);
    scene_param::set_bool(*api, kVisibleInShadows, visible_in_shadows);
    api->end_shader();
    const vtlShader shader = api->get_shader();
    api->set_shader(kSurfaceKind, shader);
    api->set_flags(kMaterialFlags);
}

} // namespace vtl
