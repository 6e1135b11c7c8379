#pragma once
// Chooses the library's material kind closest to a model material.

#include <string>

struct aiMaterial;

struct MaterialChoice {
    enum class Kind { Diffuse, Plastic, Metal, Glass, Emissive, Generic };
    Kind kind = Kind::Diffuse;
    std::string name;
    float color[3] = {0.8f, 0.8f, 0.8f}; // base or diffuse colour
    std::string diffuse_texture;         // Generic only
    std::string bump_texture;            // Generic only

    // Emissive, then glass (transmission or opacity), then textures (generic), then metal,
    // then plastic (a specular highlight), else diffuse.
    static MaterialChoice of(const aiMaterial& material, unsigned index);
    // The kind's name as the summary shows it.
    static const char* kind_name(Kind kind);
};
