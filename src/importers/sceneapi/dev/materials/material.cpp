#include "dev/materials/material.h"

#include "dev/vtlsceneapi_oo.h"

#include <utility>

namespace vtl {

Material::Material(std::string name)
    : name(std::move(name)), matrix{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}} {}

Material::~Material() = default;

void Material::write_block(vtlScene_api& api, vtlSceneapi_oo& oo, bool inline_material) {
    api.begin_material(name.c_str(), inline_material);
    write_shader(oo);
    api.end_material();
}

void Material::define(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return;
    write_block(*api, oo, false);
    defined = true;
}

void Material::emit(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return;
    if (is_instance()) {
        api->use_material(name.c_str());
        return;
    }
    write_block(*api, oo, true);
}

bool Material::is_instance() const {
    return defined;
}

void Material::set_name(std::string value) {
    name = std::move(value);
}

void Material::set_shader_name(std::string value) {
    shader_name = std::move(value);
}

} // namespace vtl
