#pragma once
// The import options: how the application takes in the scene that follows (merging, up axis,
// scale, centring, camera and environment adjustment).

#include "dev/nodes/light_module.h"

#include <cstdint>
#include <string>
#include <utility>

namespace vtl {

class DefaultRTModule : public LightModule {
public:
    // Names the block "vtlrtopt.so" and sets every option to its default.
    DefaultRTModule();
    ~DefaultRTModule() override = default;
    // Writes the options in their fixed order; the camera name only when it is not empty.
    void emit_options(vtlSceneapi_oo& oo) override;

    // Each setter only stores its value.
    void set_import_mode(bool value) { import_mode = value; }
    void set_import_merge_groups(bool value) { import_merge_groups = value; }
    void set_import_merge_objects(bool value) { import_merge_objects = value; }
    void set_import_up_vector(int32_t value) { import_up_vector = value; }
    void set_meter_scale(float value) { meter_scale = value; }
    void set_import_keep_original(bool value) { import_keep_original = value; }
    void set_import_center_geometry(bool value) { import_center_geometry = value; }
    void set_import_snap_to_ground(bool value) { import_snap_to_ground = value; }
    void set_import_adjust_camera(bool value) { import_adjust_camera = value; }
    void set_import_adjust_environment(bool value) { import_adjust_environment = value; }
    void set_import_use_camera(std::string value) { import_use_camera = std::move(value); }
    void set_ext(bool value) { ext = value; }

private:
    bool import_mode = true;
    bool import_merge_groups = true;
    bool import_merge_objects = true;
    int32_t import_up_vector = 0;
    float meter_scale = 1.0f;
    bool import_keep_original = false;
    bool import_center_geometry = true;
    bool import_snap_to_ground = false;
    bool import_adjust_camera = true;
    bool import_adjust_environment = true;
    std::string import_use_camera;
    bool ext = true;
};

} // namespace vtl
