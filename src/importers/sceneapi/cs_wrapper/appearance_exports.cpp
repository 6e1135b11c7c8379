// Exports that define and assign materials, write the camera and the lights, and record
// animations.

#include "sceneapi_cs_wrapper.h"

#include "cs_wrapper/export_state.h"
#include "cs_wrapper/export_support.h"
#include "cs_wrapper/light_writer.h"
#include "cs_wrapper/matrix_helpers.h"
#include "dev/materials/diffuse.h"
#include "dev/materials/emissive_material.h"
#include "dev/materials/generic_material.h"
#include "dev/materials/glass_material.h"
#include "dev/materials/metal_material.h"
#include "dev/materials/plastic_material.h"
#include "dev/nodes/light_camera.h"

#include <memory>
#include <utility>

using namespace vtl;

namespace {

// Registers `material` under `id` and writes its definition, unless the id is already taken
// (the first definition stays) or no destination is open.
void define_material(int id, std::shared_ptr<Material> material) {
    ExportState& state = export_state();
    vtlSceneapi_oo* oo = state.front();
    if (!oo || state.materials.count(id)) return;
    material->define(*oo);
    state.materials.emplace(id, std::move(material));
}

// A material kind with one colour, defined under `id`.
template <typename Kind> void define_coloured(int id, const char* name, float r, float g, float b) {
    auto material = std::make_shared<Kind>(host_string(name));
    material->set_color(r, g, b);
    define_material(id, std::move(material));
}

} // namespace

extern "C" {

SCENEAPI_EXPORT void setDiffuse(int materialId, const char* name, float r, float g, float b) {
    guarded(__func__, [&] { define_coloured<Diffuse>(materialId, name, r, g, b); });
}

SCENEAPI_EXPORT void setPlastic(int materialId, const char* name, float r, float g, float b) {
    guarded(__func__, [&] { define_coloured<PlasticMaterial>(materialId, name, r, g, b); });
}

SCENEAPI_EXPORT void setMetal(int materialId, const char* name, float r, float g, float b) {
    guarded(__func__, [&] { define_coloured<MetalMaterial>(materialId, name, r, g, b); });
}

SCENEAPI_EXPORT void setGlass(int materialId, const char* name, float r, float g, float b) {
    guarded(__func__, [&] { define_coloured<GlassMaterial>(materialId, name, r, g, b); });
}

SCENEAPI_EXPORT void setEmissive(int materialId, const char* name) {
    guarded(__func__, [&] {
        auto material = std::make_shared<EmissiveMaterial>(host_string(name));
        material->set_visible_in_shadows(false);
        define_material(materialId, std::move(material));
    });
}

SCENEAPI_EXPORT void setGeneric(int materialId, const char* name, const char* diffuseTexture,
                                bool blendColor, const char* bumpTexture, float r, float g,
                                float b) {
    guarded(__func__, [&] {
        auto material = std::make_shared<GenericMaterial>(host_string(name));
        material->set_color(r, g, b);
        material->set_diffuse_texture(host_string(diffuseTexture));
        material->set_bump_texture(host_string(bumpTexture));
        material->set_blend_color(blendColor);
        define_material(materialId, std::move(material));
    });
}

SCENEAPI_EXPORT void setMaterial(int materialId) {
    guarded(__func__, [&] {
        ExportState& state = export_state();
        auto found = state.materials.find(materialId);
        if (found == state.materials.end()) return;
        if (state.triangles) state.triangles->set_material(found->second);
        if (state.nurbs) state.nurbs->set_material(found->second);
    });
}

SCENEAPI_EXPORT void setCamera(float px, float py, float pz, float dx, float dy, float dz, float ux,
                               float uy, float uz, bool orthographic, const float* fov4) {
    guarded(__func__, [&] {
        vtlSceneapi_oo* oo = export_state().front();
        if (!oo || (!orthographic && !fov4)) return;
        LightCamera camera("camera");
        camera.set_position(px, py, pz);
        camera.set_direction(dx, dy, dz);
        camera.set_up(ux, uy, uz);
        if (orthographic) {
            camera.set_projection(1);
        } else {
            camera.set_projection(0);
            camera.set_fov4(fov4[0], fov4[1], fov4[2], fov4[3]);
        }
        oo->add(camera);
    });
}

SCENEAPI_EXPORT void addPointLight(const char* name, float power, const float* color) {
    guarded(__func__, [&] {
        vtlScene_api* api = export_state().api();
        if (api && color) light::write_point(*api, host_string(name), power, color);
    });
}

SCENEAPI_EXPORT void addIesLight(const char* name, const char* file) {
    guarded(__func__, [&] {
        if (vtlScene_api* api = export_state().api())
            light::write_ies(*api, host_string(name), host_string(file));
    });
}

SCENEAPI_EXPORT void addLineLight(const char* name, float power, float length, float width) {
    guarded(__func__, [&] {
        if (vtlScene_api* api = export_state().api())
            light::write_line(*api, host_string(name), power, length, width);
    });
}

SCENEAPI_EXPORT void beginAnimation(const char* name, float startTime, float duration,
                                    bool interpolate) {
    guarded(__func__, [&] {
        export_state().animation =
            std::make_shared<FBXAnimation>(host_string(name), startTime, duration, interpolate);
    });
}

SCENEAPI_EXPORT void addFrame(int time, const double* matrix) {
    guarded(__func__, [&] {
        FBXAnimation* animation = export_state().animation.get();
        if (animation && matrix) animation->add_frame(time, matrix::from_rows(matrix));
    });
}

SCENEAPI_EXPORT void setFolder(const char* folder) {
    guarded(__func__, [&] {
        if (FBXAnimation* animation = export_state().animation.get())
            animation->set_folder(host_string(folder));
    });
}

SCENEAPI_EXPORT void endAnimation(void) {
    guarded(__func__, [] {
        std::shared_ptr<FBXAnimation> animation = take(export_state().animation);
        vtlSceneapi_oo* oo = export_state().front();
        if (animation && oo) animation->emit(*oo);
    });
}

} // extern "C"
