#include "dev/nodes/default_rt_module.h"

#include "dev/vtlsceneapi_oo.h"

namespace vtl {

DefaultRTModule::DefaultRTModule() : LightModule("vtlrtopt.so") {}

void DefaultRTModule::emit_options(vtlSceneapi_oo& oo) {
    oo.set_parameter("import_mode", import_mode);
    oo.set_parameter("import_merge_groups", import_merge_groups);
    oo.set_parameter("import_merge_objects", import_merge_objects);
    oo.set_parameter("import_up_vector", static_cast<int>(import_up_vector));
    oo.set_parameter("meter_scale", meter_scale);
    oo.set_parameter("import_keep_original", import_keep_original);
    oo.set_parameter("import_center_geometry", import_center_geometry);
    oo.set_parameter("import_snap_to_ground", import_snap_to_ground);
    oo.set_parameter("import_adjust_camera", import_adjust_camera);
    oo.set_parameter("import_adjust_environment", import_adjust_environment);
    if (!import_use_camera.empty()) oo.set_parameter("import_use_camera", import_use_camera);
    oo.set_parameter("ext", ext);
}

} // namespace vtl
