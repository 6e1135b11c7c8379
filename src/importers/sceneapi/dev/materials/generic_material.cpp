#include "dev/materials/generic_material.h"

#include "dev/materials/clamp01.h"
#include "dev/materials/shader_builders.h"
#include "dev/vtlsceneapi_oo.h"

#include <utility>

namespace vtl {

GenericMaterial::GenericMaterial(std::string name) : Material(std::move(name)) {
    choose_shader();
}

void GenericMaterial::choose_shader() {
    const bool plastic = roughness_set || specular_set || !specular_texture.empty();
    set_shader_name(plastic ? "vtl_plastic_simple" : "vtl_diffuse");
}

void GenericMaterial::set_color(float r, float g, float b) {
    color = vtlColor{clamp01(r), clamp01(g), clamp01(b)};
}

void GenericMaterial::set_specular(float r, float g, float b) {
    specular_color = vtlColor{clamp01(r), clamp01(g), clamp01(b)};
    specular_set = true;
    choose_shader();
}

void GenericMaterial::set_roughness(float value) {
    roughness = value;
    roughness_set = true;
    choose_shader();
}

void GenericMaterial::set_specular_texture(std::string path) {
    specular_texture = std::move(path);
    choose_shader();
}

void GenericMaterial::write_shader(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return;
    int n = 0;
    if (get_shader_name() == "vtl_diffuse") {
        n = diffuse_shader(oo, color, diffuse_texture, blend_color, diffuse_uv.u, diffuse_uv.v);
    } else {
        n = plastic_shader(oo, color, specular_color, diffuse_texture, specular_texture, roughness,
                           diffuse_uv.u, diffuse_uv.v, specular_uv.u, specular_uv.v);
    }
    if (!bump_texture.empty()) {
        n = bump_shader(oo, n, bump_texture, bump_height, bump_uv.u, bump_uv.v);
    }
    if (!opacity_texture.empty()) {
        n = opacity_shader(oo, n, opacity_texture, opacity_uv.u, opacity_uv.v);
    }
    api->set_shader_id(0, n); // kind 0: the surface shader
    api->set_flags(4096);
}

} // namespace vtl
