#include "dev/nodes/light_camera.h"

#include "dev/vtlsceneapi_oo.h"

#include <utility>

namespace vtl {

namespace {
constexpr int kOrthographicProjection = 1;
constexpr int kFovSingle = 0;
constexpr int kFovFour = 1;
} // namespace

LightCamera::LightCamera(std::string name) : name(std::move(name)) {}

LightCamera::~LightCamera() = default;

void LightCamera::define(vtlSceneapi_oo&) {}

bool LightCamera::is_instance() const {
    return false;
}

void LightCamera::set_position(float x, float y, float z) {
    position = vtlVector{x, y, z};
}

void LightCamera::set_direction(float x, float y, float z) {
    direction = vtlVector{x, y, z};
}

void LightCamera::set_look_at(float x, float y, float z) {
    look_at = vtlVector{x, y, z};
    has_look_at = true;
}

void LightCamera::set_up(float x, float y, float z) {
    up = vtlVector{x, y, z};
}

void LightCamera::set_fov(float value) {
    fov = value;
    fov_mode = kFovSingle;
}

void LightCamera::set_fov4(float a, float b, float c, float d) {
    fov4[0] = a;
    fov4[1] = b;
    fov4[2] = c;
    fov4[3] = d;
    fov_mode = kFovFour;
}

void LightCamera::set_clipping(float near_value, float far_value) {
    clip_near = near_value;
    clip_far = far_value;
}

void LightCamera::set_camera_transform(const vtlMatrix& value) {
    camera_transform = value;
    has_transform = true;
}

void LightCamera::set_animation(std::shared_ptr<LightNode> node) {
    animation = std::move(node);
}

void LightCamera::emit(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return;
    api->begin_camera(name.c_str());
    if (projection == kOrthographicProjection) {
        oo.set_parameter("projection", std::string("orthographic"));
    } else {
        oo.set_parameter("projection", std::string("perspective"));
        if (fov_mode == kFovSingle) {
            oo.set_parameter("fov", fov);
        } else if (fov_mode == kFovFour) {
            api->set_parameter("fov4", vtl_type::float4b, fov4);
        }
    }
    const vtlShader environment = emit_environment(oo);
    api->set_parameter("reflection map", vtl_type::shader, &environment);
    oo.set_parameter("position", position);
    oo.set_parameter("direction", direction);
    if (has_look_at) oo.set_parameter("look_at", look_at);
    oo.set_parameter("up", up);
    if (clip_near > 0.0f && clip_far > 0.0f && clip_far > clip_near) {
        const float range[2] = {clip_near, clip_far};
        api->set_parameter("clipping", vtl_type::float2, range);
    }
    if (animation) {
        oo.add(*animation);
    } else if (has_transform) {
        oo.set_transform(camera_transform, false);
    }
    api->end_camera();
}

vtlShader LightCamera::emit_environment(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return nullptr;
    api->begin_shader(nullptr, "vtl_envmap");
    oo.set_parameter("texture", std::string("startup.hdr"));
    oo.set_parameter("format", 3);
    oo.set_parameter("radius", 25.0f);
    const vtlShader shader = api->get_shader();
    oo.end_shader();
    return shader;
}

} // namespace vtl
