#pragma once
// Window glass with one transmission colour.

#include "dev/materials/one_color_material.h"

namespace vtl {

class GlassMaterial : public OneColorMaterial {
public:
    // Names the material and gives it its default colour.
    explicit GlassMaterial(std::string name);
};

} // namespace vtl
