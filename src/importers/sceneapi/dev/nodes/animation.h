#pragma once
// Animation nodes: the abstract base and the keyframed transform animation, written as one
// animation block of kind "fbx_animation" into whatever block is open.

#include "dev/light_node.h"
#include "file_api/vtlscene_api.h"

#include <string>
#include <vector>

namespace vtl {

class Animation : public LightNode {
public:
    // Animations are destroyed through the base.
    ~Animation() override;
};

class FBXAnimation : public Animation {
public:
    // Sets name, start time, duration and interpolation; no folder, no keyframes.
    FBXAnimation(std::string name, float start_time, float duration, bool interpolate);

    // Writes the animation block.
    void emit(vtlSceneapi_oo& oo) override;
    // Does nothing.
    void define(vtlSceneapi_oo& oo) override;
    // Always false.
    bool is_instance() const override;
    ~FBXAnimation() override;

    // Writes the animation block and returns what the scene API said when it closed.
    bool write(vtlSceneapi_oo& oo);

    // Sets the folder written with the animation.
    void set_folder(std::string value);
    // Appends a time stamp.
    void add_timestamp(int timestamp);
    // Appends a matrix.
    void add_matrix(const vtlMatrix& matrix);
    // Appends one keyframe: its time stamp and its matrix.
    void add_frame(int timestamp, const vtlMatrix& matrix);

private:
    std::string name;
    std::string folder;
    float start_time;
    float duration;
    std::vector<int> timestamps;
    std::vector<vtlMatrix> matrices;
    bool interpolate;
};

} // namespace vtl
