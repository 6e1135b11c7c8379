#pragma once
// Window glass with one transmission colour.

#include "dev/materials/material.h"

namespace vtl {

class GlassMaterial : public Material {
public:
    // Names the material and gives it its default colour.
    explicit GlassMaterial(std::string name);
    ~GlassMaterial() override = default;
    // Writes the anonymous surface shader and attaches it.
    void write_shader(vtlSceneapi_oo& oo) override;
    // Stores the colour, each component clamped to 0..1.
    void set_color(float r, float g, float b);
    // The stored colour.
    const vtlColor& get_color() const { return color; }

private:
    vtlColor color{1.0f, 1.0f, 1.0f};
};

} // namespace vtl
