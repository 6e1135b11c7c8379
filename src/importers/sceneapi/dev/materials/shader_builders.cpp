#include "dev/materials/shader_builders.h"

#include "dev/materials/scene_parameters.h"
#include "dev/vtlsceneapi_oo.h"

namespace vtl {

namespace {

// Opens an image texture shader of `type` on `file` with its coordinate scales; returns the
// shader's number.
int begin_texture(vtlSceneapi_oo& oo, const char* type, const std::string& file, float u_scale,
                  float v_scale) {
    const int n = static_cast<int>(oo.begin_shader(type));
    oo.set_parameter("uv_projection", 4);
    oo.set_parameter("texture", file);
    oo.set_parameter("uv_scale_u", u_scale);
    oo.set_parameter("uv_scale_v", v_scale);
    return n;
}

} // namespace

// Without a back-end no builder writes anything; they all return 0 then.

int texture_shader(vtlSceneapi_oo& oo, const std::string& file, const vtlColor& default_color,
                   bool blend, float u_scale, float v_scale) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return 0;
    const int n = begin_texture(oo, "texture2_rgb", file, u_scale, v_scale);
    oo.set_parameter("blend_color", blend);
    scene_param::set_color(*api, "default_color", default_color);
    oo.end_shader();
    return n;
}

int diffuse_shader(vtlSceneapi_oo& oo, const vtlColor& color, const std::string& texture,
                   bool blend, float u_scale, float v_scale) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return 0;
    int t = -1;
    if (!texture.empty()) t = texture_shader(oo, texture, color, blend, u_scale, v_scale);
    const int n = static_cast<int>(oo.begin_shader("vtl_diffuse"));
    if (!texture.empty()) api->set_parameter_id("diffuse", t);
    scene_param::set_color(*api, "diffuse", color);
    oo.end_shader();
    return n;
}

int plastic_shader(vtlSceneapi_oo& oo, const vtlColor& diffuse, const vtlColor& specular,
                   const std::string& diffuse_texture, const std::string& specular_texture,
                   float roughness, float diffuse_u_scale, float diffuse_v_scale,
                   float specular_u_scale, float specular_v_scale) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return 0;
    int td = -1;
    if (!diffuse_texture.empty()) {
        td = texture_shader(oo, diffuse_texture, diffuse, false, diffuse_u_scale, diffuse_v_scale);
    }
    int ts = -1;
    if (!specular_texture.empty()) {
        // The specular texture's default colour is the diffuse colour.
        ts = texture_shader(oo, specular_texture, diffuse, false, specular_u_scale,
                            specular_v_scale);
    }
    const int n = static_cast<int>(oo.begin_shader("vtl_plastic_simple"));
    if (!diffuse_texture.empty()) api->set_parameter_id("diffuse", td);
    if (!specular_texture.empty()) api->set_parameter_id("specular", ts);
    scene_param::set_color(*api, "diffuse", diffuse);
    scene_param::set_color(*api, "specular", specular);
    scene_param::set_float(*api, "roughness", roughness);
    oo.end_shader();
    return n;
}

int bump_shader(vtlSceneapi_oo& oo, int base, const std::string& bump_texture, float bump_height,
                float u_scale, float v_scale) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return 0;
    const int t = static_cast<int>(oo.begin_shader("texture2_rgb"));
    oo.set_parameter("texture", bump_texture);
    oo.set_parameter("uv_projection", 4);
    oo.set_parameter("bump_height", bump_height);
    oo.set_parameter("uv_scale_u", u_scale);
    oo.set_parameter("uv_scale_v", v_scale);
    oo.set_parameter("bump_mode", 0);
    oo.end_shader();
    const int n = static_cast<int>(oo.begin_shader("vtl_bumpmap"));
    scene_param::set_shader_ref(*api, "bumpmap", t);
    scene_param::set_shader_ref(*api, "shader", base);
    oo.end_shader();
    return n;
}

int opacity_shader(vtlSceneapi_oo& oo, int base, const std::string& opacity_texture, float u_scale,
                   float v_scale) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return 0;
    const int t = begin_texture(oo, "texture2_rgba", opacity_texture, u_scale, v_scale);
    api->end_shader();

    const int a = static_cast<int>(oo.begin_shader("vtl_advanced"));
    api->set_parameter_id("diffuse", t);
    oo.set_parameter("alpha", 1);
    oo.set_parameter("opacity_mode", 2);
    oo.set_parameter("use_diffuse_map_alpha", true);
    api->end_shader();

    const int n = static_cast<int>(oo.begin_shader("vtl_composite"));
    api->begin_array("shaders");
    api->add_array_element(vtl_type::integer, &a);
    api->add_array_element(vtl_type::integer, &base);
    api->end_array();
    oo.set_parameter("opacity_map", true);
    oo.end_shader();
    return n;
}

} // namespace vtl
