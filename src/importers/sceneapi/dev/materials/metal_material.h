#pragma once
// A metal surface of one colour.

#include "dev/materials/material.h"

namespace vtl {

class MetalMaterial : public Material {
public:
    // Names the material and gives it its default colour.
    explicit MetalMaterial(std::string name);
    ~MetalMaterial() override = default;
    // Writes the anonymous surface shader and attaches it.
    void write_shader(vtlSceneapi_oo& oo) override;
    // Stores the colour, each component clamped to 0..1.
    void set_color(float r, float g, float b);
    // The stored colour.
    const vtlColor& get_color() const { return color; }

private:
    vtlColor color{0.75f, 0.5f, 0.5f};
};

} // namespace vtl
