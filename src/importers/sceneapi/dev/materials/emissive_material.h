#pragma once
// A light-emitting surface.

#include "dev/materials/material.h"

namespace vtl {

class EmissiveMaterial : public Material {
public:
    // Names the material and gives it its defaults: white, intensity 1, visible in shadows.
    explicit EmissiveMaterial(std::string name);
    ~EmissiveMaterial() override = default;
    // Writes the anonymous emissive shader and attaches it.
    void write_shader(vtlSceneapi_oo& oo) override;
    // Stores the colour as given, unclamped.
    void set_color(float r, float g, float b);
    // The stored colour.
    const vtlColor& get_color() const { return color; }
    // Stores the emitted intensity.
    void set_intensity(float value) { intensity = value; }
    // Stores whether the surface shows in shadows.
    void set_visible_in_shadows(bool value) { visible_in_shadows = value; }

private:
    vtlColor color{1.0f, 1.0f, 1.0f};
    float intensity = 1.0f;
    bool visible_in_shadows = true;
};

} // namespace vtl
