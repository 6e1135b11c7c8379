#include "dev/nodes/light_module.h"

#include "dev/vtlsceneapi_oo.h"

#include <utility>

namespace vtl {

LightModule::LightModule(std::string name) : name(std::move(name)) {}

void LightModule::emit(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return;
    api->begin_load(name.c_str());
    emit_options(oo);
    api = oo.get_api();
    if (api != nullptr) api->end_load();
}

void LightModule::define(vtlSceneapi_oo&) {}

bool LightModule::is_instance() const {
    return false;
}

} // namespace vtl
