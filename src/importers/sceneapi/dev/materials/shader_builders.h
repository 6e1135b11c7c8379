#pragma once
// Builders of the numbered shaders the material kinds share: image textures, diffuse and plastic
// surfaces, bump maps and opacity maps. Each returns the number of the last shader it opened;
// textures are written before the shader that uses them, so they carry lower numbers.

#include "file_api/vtlscene_api.h"

#include <string>

namespace vtl {

class vtlSceneapi_oo;

// An image texture with a default colour for where it has no image.
int texture_shader(vtlSceneapi_oo& oo, const std::string& file, const vtlColor& default_color,
                   bool blend, float u_scale, float v_scale);

// A diffuse surface, textured when `texture` is not empty.
int diffuse_shader(vtlSceneapi_oo& oo, const vtlColor& color, const std::string& texture,
                   bool blend, float u_scale, float v_scale);

// A plastic surface, with optional diffuse and specular textures.
int plastic_shader(vtlSceneapi_oo& oo, const vtlColor& diffuse, const vtlColor& specular,
                   const std::string& diffuse_texture, const std::string& specular_texture,
                   float roughness, float diffuse_u_scale, float diffuse_v_scale,
                   float specular_u_scale, float specular_v_scale);

// A bump map over the numbered shader `base`.
int bump_shader(vtlSceneapi_oo& oo, int base, const std::string& bump_texture, float bump_height,
                float u_scale, float v_scale);

// An opacity map over the numbered shader `base`.
int opacity_shader(vtlSceneapi_oo& oo, int base, const std::string& opacity_texture, float u_scale,
                   float v_scale);

} // namespace vtl
