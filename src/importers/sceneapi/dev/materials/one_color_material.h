#pragma once
// The base of the kinds whose surface is one anonymous shader with one colour parameter.

#include "dev/materials/material.h"

namespace vtl {

class OneColorMaterial : public Material {
public:
    ~OneColorMaterial() override = default;
    // Writes the anonymous surface shader and attaches it.
    void write_shader(vtlSceneapi_oo& oo) override;
    // Stores the colour, each component clamped to 0..1.
    void set_color(float r, float g, float b);
    // The stored colour.
    const vtlColor& get_color() const { return color; }

protected:
    // Names the material, its shader type, the shader's colour parameter and the default colour.
    OneColorMaterial(std::string name, const char* shader, const char* key, vtlColor initial);

private:
    const char* color_key;
    vtlColor color;
};

} // namespace vtl
