#include "dev/nodes/animation.h"

#include "dev/vtlsceneapi_oo.h"
#include "file_api/scene_text.h"

#include <utility>

using namespace vtl::scene_text;

namespace vtl {

Animation::~Animation() = default;

FBXAnimation::FBXAnimation(std::string name, float start_time, float duration, bool interpolate)
    : name(std::move(name)), start_time(start_time), duration(duration), interpolate(interpolate) {}

FBXAnimation::~FBXAnimation() = default;

void FBXAnimation::emit(vtlSceneapi_oo& oo) {
    write(oo);
}

void FBXAnimation::define(vtlSceneapi_oo&) {}

bool FBXAnimation::is_instance() const {
    return false;
}

void FBXAnimation::set_folder(std::string value) {
    folder = std::move(value);
}

void FBXAnimation::add_timestamp(int timestamp) {
    timestamps.push_back(timestamp);
}

void FBXAnimation::add_matrix(const vtlMatrix& matrix) {
    matrices.push_back(matrix);
}

void FBXAnimation::add_frame(int timestamp, const vtlMatrix& matrix) {
    add_timestamp(timestamp);
    add_matrix(matrix);
}

bool FBXAnimation::write(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return false;
    api->begin_animation("fbx_animation", name.c_str());
    oo.set_parameter("start_time", start_time);
    oo.set_parameter("duration", duration);
    if (timestamps.size() != matrices.size()) {
        oo.error("Number of timestamps(" + std::to_string(timestamps.size()) +
                 ") does not match number of matrices(" + std::to_string(matrices.size()) + ")");
    }
    oo.set_array(kTimestamps, timestamps);
    oo.set_array(kMatrices, matrices);
    oo.set_parameter("interpolate", interpolate);
    oo.set_parameter("folder", folder);
    return api->end_animation();
}

} // namespace vtl
