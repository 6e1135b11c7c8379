#include "dev/nodes/light_geometry.h"

#include "dev/materials/material.h"
#include "dev/vtlsceneapi_oo.h"
#include "file_api/scene_text.h"

#include <utility>

using namespace vtl::scene_text;

namespace vtl {

LightGeometry::LightGeometry(std::string name) : name(std::move(name)) {}

LightGeometry::~LightGeometry() = default;

bool LightGeometry::is_instance() const {
    return instance;
}

void LightGeometry::set_material(std::shared_ptr<Material> value) {
    material = std::move(value);
}

std::shared_ptr<Material> LightGeometry::get_material() const {
    return material;
}

void LightGeometry::set_name(std::string value) {
    name = std::move(value);
}

std::string LightGeometry::get_name() const {
    return name;
}

void LightGeometry::set_object_id(uint64_t id) {
    instance = true;
    object_id = id;
}

bool LightGeometry::emit_instance_geometry(vtlSceneapi_oo& oo) {
    if (!is_instance()) return false;
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return true;
    api->begin_geometry(kInstance);
    oo.set_parameter("id", static_cast<int>(static_cast<uint32_t>(object_id)));
    api->end_geometry();
    return true;
}

void LightGeometry::emit_placed(vtlScene_api& api, vtlSceneapi_oo& oo) {
    api.begin_object(name.c_str(), true);
    emit_geometry(oo);
    if (material) material->emit(oo);
    api.end_object();
}

void LightGeometry::emit(vtlSceneapi_oo& oo) {
    if (vtlScene_api* api = oo.get_api()) emit_placed(*api, oo);
}

void LightGeometry::define(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return;
    api->begin_object(name.c_str(), false);
    const unsigned id = oo.new_id();
    emit_geometry(oo);
    api->end_object();
    release_data();
    set_object_id(id);
}

} // namespace vtl
