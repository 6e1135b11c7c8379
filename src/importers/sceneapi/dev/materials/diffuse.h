#pragma once
// A matte surface of one colour, or tinted by the mesh's vertex colours.

#include "dev/materials/one_color_material.h"

namespace vtl {

class Diffuse : public OneColorMaterial {
public:
    // Names the material and gives it its default colour.
    explicit Diffuse(std::string name);
    ~Diffuse() override = default;
    // Writes the anonymous surface shader, with a vertex colour shader when asked, and attaches it.
    void write_shader(vtlSceneapi_oo& oo) override;
    // Makes the surface take its colour from the vertex colours.
    void set_vertex_color(bool value) { vertex_color = value; }

private:
    // The vertex-colour variant of write_shader.
    void write_vertex_color_shader(vtlScene_api& api);

    bool vertex_color = false;
};

} // namespace vtl
