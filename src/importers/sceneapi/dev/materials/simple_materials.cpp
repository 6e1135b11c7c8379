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

// Writes an anonymous shader of `type` with one colour parameter, takes its handle while it is
// open, closes it and attaches it as the surface.
void write_one_color_shader(vtlSceneapi_oo& oo, const std::string& type, const char* key,
                            const vtlColor& color) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return;
    api->begin_shader(nullptr, type.c_str());
    scene_param::set_color(*api, key, color);
    const vtlShader shader = api->get_shader();
    api->end_shader();
    api->set_shader(kSurfaceKind, shader);
    api->set_flags(kMaterialFlags);
}

} // namespace

Diffuse::Diffuse(std::string name) : Material(std::move(name)) {
    set_shader_name(kDiffuseShader);
}

void Diffuse::set_color(float r, float g, float b) {
    color = clamped(r, g, b);
}

void Diffuse::write_shader(vtlSceneapi_oo& oo) {
    if (!vertex_color) {
        write_one_color_shader(oo, get_shader_name(), kDiffuse, color);
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
    scene_param::set_color(api, kDiffuse, color);
    api.set_parameter_shader(kDiffuse, vertex_shader);
    api.end_shader();
    const vtlShader surface = api.get_shader();
    // Pairs the push made before the surface shader opened, so the shader stack ends balanced.
    api.pop_shader();
    api.set_shader(kSurfaceKind, surface);
    api.set_flags(kMaterialFlags);
}

PlasticMaterial::PlasticMaterial(std::string name) : Material(std::move(name)) {
    set_shader_name(kPlasticShader);
}

void PlasticMaterial::set_color(float r, float g, float b) {
    color = clamped(r, g, b);
}

void PlasticMaterial::write_shader(vtlSceneapi_oo& oo) {
    write_one_color_shader(oo, get_shader_name(), kDiffuse, color);
}

MetalMaterial::MetalMaterial(std::string name) : Material(std::move(name)) {
    set_shader_name(kMetalShader);
}

void MetalMaterial::set_color(float r, float g, float b) {
    color = clamped(r, g, b);
}

void MetalMaterial::write_shader(vtlSceneapi_oo& oo) {
    write_one_color_shader(oo, get_shader_name(), kColor, color);
}

GlassMaterial::GlassMaterial(std::string name) : Material(std::move(name)) {
    set_shader_name(kGlassShader);
}

void GlassMaterial::set_color(float r, float g, float b) {
    color = clamped(r, g, b);
}

void GlassMaterial::write_shader(vtlSceneapi_oo& oo) {
    write_one_color_shader(oo, get_shader_name(), kTransmission, color);
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
