#pragma once
// The scene as Wavefront OBJ with an MTL beside it: every placement's triangles with their
// transforms applied.

#include "scene_model.h"

#include <string>

namespace vtl::gltf::detail {

// Writes `obj_path` and the MTL of the same base name; false with the reason in `error`.
bool write_obj(const SceneModel& scene, const std::string& obj_path, std::size_t& triangles,
               std::string& error);

} // namespace vtl::gltf::detail
