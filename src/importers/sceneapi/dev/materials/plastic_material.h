#pragma once
// A plastic surface of one colour.

#include "dev/materials/one_color_material.h"

namespace vtl {

class PlasticMaterial : public OneColorMaterial {
public:
    // Names the material and gives it its default colour.
    explicit PlasticMaterial(std::string name);
};

} // namespace vtl
