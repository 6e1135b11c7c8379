#pragma once
// A matte surface of one colour, or tinted by the mesh's vertex colours.

#include "dev/materials/material.h"

namespace vtl {

class Diffuse : public Material {
public:
    // Names the material and gives it its default colour.
    explicit Diffuse(std::string name);
    ~Diffuse() override = default;
    // Writes the anonymous surface shader, with a vertex colour shader when asked, and attaches it.
    void write_shader(vtlSceneapi_oo& oo) override;
    // Stores the colour, each component clamped to 0..1.
    void set_color(float r, float g, float b);
    // The stored colour.
    const vtlColor& get_color() const { return color; }
    // Makes the surface take its colour from the vertex colours.
    void set_vertex_color(bool value) { vertex_color = value; }

private:
    // The vertex-colour variant of write_shader.
    void write_vertex_color_shader(vtlScene_api& api);

    vtlColor color{0.75f, 0.5f, 0.5f};
    bool vertex_color = false;
};

} // namespace vtl
