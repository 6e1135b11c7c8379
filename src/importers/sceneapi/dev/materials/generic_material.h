#pragma once
// A material combining the shader builders: a diffuse or plastic surface, optionally textured,
// with an optional bump map and opacity map on top.

#include "dev/materials/material.h"

#include <string>
#include <utility>

namespace vtl {

class GenericMaterial : public Material {
public:
    // Names the material, sets its defaults and chooses the diffuse shader.
    explicit GenericMaterial(std::string name);
    ~GenericMaterial() override = default;
    // Writes the numbered shaders and attaches the last one built as the surface.
    void write_shader(vtlSceneapi_oo& oo) override;

    // Stores the colour, each component clamped to 0..1.
    void set_color(float r, float g, float b);
    // The stored colour.
    const vtlColor& get_color() const { return color; }
    // Stores the specular colour (clamped) and switches to the plastic shader.
    void set_specular(float r, float g, float b);
    // Stores the roughness and switches to the plastic shader.
    void set_roughness(float value);
    // Stores whether the texture is blended with the colour.
    void set_blend_color(bool value) { blend_color = value; }
    // Stores the diffuse texture path; empty means none.
    void set_diffuse_texture(std::string path) { diffuse_texture = std::move(path); }
    // Stores the specular texture path and re-chooses the shader.
    void set_specular_texture(std::string path);
    // Stores the bump texture path; empty means none.
    void set_bump_texture(std::string path) { bump_texture = std::move(path); }
    // Stores the opacity texture path; empty means none.
    void set_opacity_texture(std::string path) { opacity_texture = std::move(path); }
    // Scales of the texture coordinates of each texture.
    void set_diffuse_uv_scale(float u, float v) { diffuse_uv = {u, v}; }
    void set_specular_uv_scale(float u, float v) { specular_uv = {u, v}; }
    void set_bump_uv_scale(float u, float v) { bump_uv = {u, v}; }
    void set_opacity_uv_scale(float u, float v) { opacity_uv = {u, v}; }
    // Stores the bump height.
    void set_bump_height(float value) { bump_height = value; }

private:
    // The scales of one texture's coordinates.
    struct UvScale {
        float u = 1.0f;
        float v = 1.0f;
    };

    // Plastic when a specular colour, a roughness or a specular texture is given, else diffuse.
    void choose_shader();

    vtlColor color{0.75f, 0.5f, 0.5f};
    vtlColor specular_color{0.0f, 0.0f, 0.0f};
    bool specular_set = false;
    bool roughness_set = false;
    bool blend_color = false;
    std::string diffuse_texture;
    std::string specular_texture;
    std::string bump_texture;
    std::string opacity_texture;
    UvScale diffuse_uv;
    UvScale specular_uv;
    UvScale bump_uv;
    UvScale opacity_uv;
    float bump_height = 0.1f;
    float roughness = 0.0f;
};

} // namespace vtl
