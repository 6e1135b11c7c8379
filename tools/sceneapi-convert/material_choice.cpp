#include "material_choice.h"

#include <assimp/material.h>

#include <algorithm>

namespace {

float brightest(const aiColor3D& c) {
    return std::max({c.r, c.g, c.b});
}

// The path of the first texture of `type`, or an empty text.
std::string texture(const aiMaterial& m, aiTextureType type) {
    aiString path;
    if (m.GetTextureCount(type) == 0 || m.GetTexture(type, 0, &path) != AI_SUCCESS) return {};
    return path.C_Str();
}

} // namespace

MaterialChoice MaterialChoice::of(const aiMaterial& m, unsigned index) {
    MaterialChoice choice;
    aiString name;
    choice.name = m.Get(AI_MATKEY_NAME, name) == AI_SUCCESS && name.length > 0
                      ? name.C_Str()
                      : "material " + std::to_string(index);

    aiColor4D base;
    aiColor3D diffuse;
    if (m.Get(AI_MATKEY_BASE_COLOR, base) == AI_SUCCESS) {
        choice.color[0] = base.r, choice.color[1] = base.g, choice.color[2] = base.b;
    } else if (m.Get(AI_MATKEY_COLOR_DIFFUSE, diffuse) == AI_SUCCESS) {
        choice.color[0] = diffuse.r, choice.color[1] = diffuse.g, choice.color[2] = diffuse.b;
    }

    aiColor3D emissive, specular;
    float intensity = 1, transmission = 0, opacity = 1, metallic = 0, shininess = 0;
    m.Get(AI_MATKEY_EMISSIVE_INTENSITY, intensity);
    m.Get(AI_MATKEY_TRANSMISSION_FACTOR, transmission);
    m.Get(AI_MATKEY_OPACITY, opacity);
    m.Get(AI_MATKEY_METALLIC_FACTOR, metallic);
    m.Get(AI_MATKEY_SHININESS, shininess);
    const bool has_emissive = m.Get(AI_MATKEY_COLOR_EMISSIVE, emissive) == AI_SUCCESS &&
                              brightest(emissive) * intensity > 0.01f;
    const bool has_specular =
        m.Get(AI_MATKEY_COLOR_SPECULAR, specular) == AI_SUCCESS && brightest(specular) > 0.01f;

    choice.diffuse_texture = texture(m, aiTextureType_BASE_COLOR);
    if (choice.diffuse_texture.empty()) choice.diffuse_texture = texture(m, aiTextureType_DIFFUSE);
    choice.bump_texture = texture(m, aiTextureType_NORMALS);
    if (choice.bump_texture.empty()) choice.bump_texture = texture(m, aiTextureType_HEIGHT);

    if (has_emissive)
        choice.kind = Kind::Emissive;
    else if (transmission > 0.01f || opacity < 0.99f)
        choice.kind = Kind::Glass;
    else if (!choice.diffuse_texture.empty() || !choice.bump_texture.empty())
        choice.kind = Kind::Generic;
    else if (metallic >= 0.5f)
        choice.kind = Kind::Metal;
    else if (has_specular && shininess > 1)
        choice.kind = Kind::Plastic;
    return choice;
}

const char* MaterialChoice::kind_name(Kind kind) {
    switch (kind) {
    case Kind::Plastic:
        return "plastic";
    case Kind::Metal:
        return "metal";
    case Kind::Glass:
        return "glass";
    case Kind::Emissive:
        return "emissive";
    case Kind::Generic:
        return "generic";
    default:
        return "diffuse";
    }
}
