#include "dev/nodes/default_rt_module.h"

#include "oo/recording_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

TEST(DefaultRTModule, AFreshModuleWritesEveryDefaultInsideItsLoadBlock) {
    vtl_test::RecordedFront f;
    vtl::DefaultRTModule module;
    f.oo.add(module);
    EXPECT_EQ(f.api.calls, (Calls{
                               "begin_load \"vtlrtopt.so\"",
                               "set_parameter \"import_mode\" 7 1",
                               "set_parameter \"import_merge_groups\" 7 1",
                               "set_parameter \"import_merge_objects\" 7 1",
                               "set_parameter \"import_up_vector\" 6 0",
                               "set_parameter \"meter_scale\" 3 1",
                               "set_parameter \"import_keep_original\" 7 0",
                               "set_parameter \"import_center_geometry\" 7 1",
                               "set_parameter \"import_snap_to_ground\" 7 0",
                               "set_parameter \"import_adjust_camera\" 7 1",
                               "set_parameter \"import_adjust_environment\" 7 1",
                               "set_parameter \"ext\" 7 1",
                               "end_load",
                           }));
}

TEST(DefaultRTModule, EverySetterReachesItsKeyAndTheCameraNameComesBeforeExt) {
    vtl_test::RecordedFront f;
    vtl::DefaultRTModule module;
    module.set_import_mode(false);
    module.set_import_merge_groups(false);
    module.set_import_merge_objects(false);
    module.set_import_up_vector(2);
    module.set_meter_scale(0.001f);
    module.set_import_keep_original(true);
    module.set_import_center_geometry(false);
    module.set_import_snap_to_ground(true);
    module.set_import_adjust_camera(false);
    module.set_import_adjust_environment(false);
    module.set_import_use_camera("cam1");
    module.set_ext(false);
    module.emit(f.oo);
    EXPECT_EQ(f.api.calls, (Calls{
                               "begin_load \"vtlrtopt.so\"",
                               "set_parameter \"import_mode\" 7 0",
                               "set_parameter \"import_merge_groups\" 7 0",
                               "set_parameter \"import_merge_objects\" 7 0",
                               "set_parameter \"import_up_vector\" 6 2",
                               "set_parameter \"meter_scale\" 3 0.00100000005",
                               "set_parameter \"import_keep_original\" 7 1",
                               "set_parameter \"import_center_geometry\" 7 0",
                               "set_parameter \"import_snap_to_ground\" 7 1",
                               "set_parameter \"import_adjust_camera\" 7 0",
                               "set_parameter \"import_adjust_environment\" 7 0",
                               "set_parameter \"import_use_camera\" 10 \"cam1\"",
                               "set_parameter \"ext\" 7 0",
                               "end_load",
                           }));
}

TEST(DefaultRTModule, DefineWritesNothingAndItIsNeverAnInstance) {
    vtl_test::RecordedFront f;
    vtl::DefaultRTModule module;
    module.define(f.oo);
    EXPECT_TRUE(f.api.calls.empty()) << f.api.text();
    EXPECT_FALSE(module.is_instance());
}

} // namespace
