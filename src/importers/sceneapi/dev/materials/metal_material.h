#pragma once
// A metal surface of one colour.

#include "dev/materials/one_color_material.h"

namespace vtl {

class MetalMaterial : public OneColorMaterial {
public:
    // Names the material and gives it its default colour.
    explicit MetalMaterial(std::string name);
};

} // namespace vtl
