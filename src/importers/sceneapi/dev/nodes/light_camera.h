#pragma once
// The camera: projection, field of view, position and orientation, optional clipping range and
// a fixed transform or an attached moving node. Every camera block also carries the scene's
// environment, an image-based environment shader bound as its "reflection map".

#include "dev/light_node.h"
#include "file_api/vtlscene_api.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vtl {

class LightCamera : public LightNode {
public:
    // Names the camera and sets its defaults: at the origin looking down -z, y up, fov 60.
    explicit LightCamera(std::string name);

    // Writes the camera block with its environment.
    void emit(vtlSceneapi_oo& oo) override;
    // Does nothing.
    void define(vtlSceneapi_oo& oo) override;
    // Always false.
    bool is_instance() const override;
    ~LightCamera() override;
    // Writes the anonymous environment shader and returns its handle.
    virtual vtlShader emit_environment(vtlSceneapi_oo& oo);

    // Setters; vectors are given as floats and stored as doubles.
    void set_position(float x, float y, float z);
    void set_direction(float x, float y, float z);
    void set_look_at(float x, float y, float z);
    void set_up(float x, float y, float z);
    void set_fov(float value);
    void set_fov4(float a, float b, float c, float d);
    void set_clipping(float near_value, float far_value);
    void set_camera_transform(const vtlMatrix& value);
    void set_projection(int value) { projection = value; }
    void set_animation(std::shared_ptr<LightNode> node);

    // Getters.
    std::string get_name() const { return name; }
    vtlVector get_position() const { return position; }
    vtlVector get_direction() const { return direction; }
    vtlVector get_look_at() const { return look_at; }
    vtlVector get_up() const { return up; }
    float get_fov() const { return fov; }
    float get_clip_near() const { return clip_near; }
    float get_clip_far() const { return clip_far; }
    int get_projection() const { return projection; }
    bool get_has_transform() const { return has_transform; }

private:
    std::string name;
    vtlVector position{0.0, 0.0, 0.0};
    vtlVector direction{0.0, 0.0, -1.0};
    vtlVector look_at{0.0, 0.0, -1.0};
    vtlVector up{0.0, 1.0, 0.0};
    float fov = 60.0f;
    float fov4[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float clip_near = -1.0f;
    float clip_far = -1.0f;
    std::shared_ptr<LightNode> animation;
    bool has_transform = false;
    bool has_look_at = false;
    vtlMatrix camera_transform{};
    int32_t projection = 0;
    int32_t fov_mode = 0;
};

} // namespace vtl
