#include "dev/nodes/default_rt_module.h"

#include "dev/nodes/node_texts.h"
#include "dev/vtlsceneapi_oo.h"

namespace vtl {

DefaultRTModule::DefaultRTModule() : LightModule(node_text::kRtModuleName) {}

void DefaultRTModule::emit_options(vtlSceneapi_oo& oo) {
    using namespace node_text;
    oo.set_parameter(kImportMode, import_mode);
    oo.set_parameter(kImportMergeGroups, import_merge_groups);
    oo.set_parameter(kImportMergeObjects, import_merge_objects);
    oo.set_parameter(kImportUpVector, static_cast<int>(import_up_vector));
    oo.set_parameter(kMeterScale, meter_scale);
    oo.set_parameter(kImportKeepOriginal, import_keep_original);
    oo.set_parameter(kImportCenterGeometry, import_center_geometry);
    oo.set_parameter(kImportSnapToGround, import_snap_to_ground);
    oo.set_parameter(kImportAdjustCamera, import_adjust_camera);
    oo.set_parameter(kImportAdjustEnvironment, import_adjust_environment);
    if (!import_use_camera.empty()) oo.set_parameter(kImportUseCamera, import_use_camera);
    oo.set_parameter(kExt, ext);
}

} // namespace vtl
