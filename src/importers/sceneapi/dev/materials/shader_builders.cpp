#include "dev/materials/shader_builders.h"

#include "dev/materials/material_texts.h"
#include "dev/materials/scene_parameters.h"
#include "dev/vtlsceneapi_oo.h"

namespace vtl {

using namespace material_text;

// Without a back-end no builder writes anything; they all return 0 then.

int texture_shader(vtlSceneapi_oo& oo, const std::string& file, const vtlColor& default_color,
                   bool blend, float u_scale, float v_scale) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return 0;
    const int n = static_cast<int>(oo.begin_shader(kTextureShader));
    oo.set_parameter(kUvProjection, kUvProjectionValue);
    oo.set_parameter(kTexture, file);
    oo.set_parameter(kUvScaleU, u_scale);
    oo.set_parameter(kUvScaleV, v_scale);
    oo.set_parameter(kBlendColor, blend);
    scene_param::set_color(*api, kDefaultColor, default_color);
    oo.end_shader();
    return n;
}

int diffuse_shader(vtlSceneapi_oo& oo, const vtlColor& color, const std::string& texture,
                   bool blend, float u_scale, float v_scale) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return 0;
    int t = kNoShader;
    if (!texture.empty()) t = texture_shader(oo, texture, color, blend, u_scale, v_scale);
    const int n = static_cast<int>(oo.begin_shader(kDiffuseShader));
    if (!texture.empty()) api->set_parameter_id(kDiffuse, t);
    scene_param::set_color(*api, kDiffuse, color);
    oo.end_shader();
    return n;
}

int plastic_shader(vtlSceneapi_oo& oo, const vtlColor& diffuse, const vtlColor& specular,
                   const std::string& diffuse_texture, const std::string& specular_texture,
                   float roughness, float diffuse_u_scale, float diffuse_v_scale,
                   float specular_u_scale, float specular_v_scale) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return 0;
    int td = kNoShader;
    if (!diffuse_texture.empty()) {
        td = texture_shader(oo, diffuse_texture, diffuse, false, diffuse_u_scale, diffuse_v_scale);
    }
    int ts = kNoShader;
    if (!specular_texture.empty()) {
        // The specular texture's default colour is the diffuse colour.
        ts = texture_shader(oo, specular_texture, diffuse, false, specular_u_scale,
                            specular_v_scale);
    }
    const int n = static_cast<int>(oo.begin_shader(kPlasticShader));
    if (!diffuse_texture.empty()) api->set_parameter_id(kDiffuse, td);
    if (!specular_texture.empty()) api->set_parameter_id(kSpecular, ts);
    scene_param::set_color(*api, kDiffuse, diffuse);
    scene_param::set_color(*api, kSpecular, specular);
    scene_param::set_float(*api, kRoughness, roughness);
    oo.end_shader();
    return n;
}

int bump_shader(vtlSceneapi_oo& oo, int base, const std::string& bump_texture, float bump_height,
                float u_scale, float v_scale) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return 0;
    const int t = static_cast<int>(oo.begin_shader(kTextureShader));
    oo.set_parameter(kTexture, bump_texture);
    oo.set_parameter(kUvProjection, kUvProjectionValue);
    oo.set_parameter(kBumpHeight, bump_height);
    oo.set_parameter(kUvScaleU, u_scale);
    oo.set_parameter(kUvScaleV, v_scale);
    oo.set_parameter(kBumpMode, kBumpModeValue);
    oo.end_shader();
    const int n = static_cast<int>(oo.begin_shader(kBumpShader));
    scene_param::set_shader_ref(*api, kBumpmap, t);
    scene_param::set_shader_ref(*api, kShader, base);
    oo.end_shader();
    return n;
}

int opacity_shader(vtlSceneapi_oo& oo, int base, const std::string& opacity_texture, float u_scale,
                   float v_scale) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return 0;
    const int t = static_cast<int>(oo.begin_shader(kAlphaTextureShader));
    oo.set_parameter(kUvProjection, kUvProjectionValue);
    oo.set_parameter(kTexture, opacity_texture);
    oo.set_parameter(kUvScaleU, u_scale);
    oo.set_parameter(kUvScaleV, v_scale);
    api->end_shader();

    const int a = static_cast<int>(oo.begin_shader(kAdvancedShader));
    api->set_parameter_id(kDiffuse, t);
    oo.set_parameter(kAlpha, kAlphaValue);
    oo.set_parameter(kOpacityMode, kOpacityModeValue);
    oo.set_parameter(kUseDiffuseMapAlpha, true);
    api->end_shader();

    const int n = static_cast<int>(oo.begin_shader(kCompositeShader));
    api->begin_array(kShaders);
    api->add_array_element(vtl_type::integer, &a);
    api->add_array_element(vtl_type::integer, &base);
    api->end_array();
    oo.set_parameter(kOpacityMap, true);
    oo.end_shader();
    return n;
}

} // namespace vtl
