#pragma once
// The tokens of the Scene file that the library writes and the reader and the tools look for.

#include <cstddef>

namespace vtl::scene_text {

// Longest formatted piece of one output call; longer pieces are cut here. The reader knows a
// cut string by this length.
constexpr std::size_t kMaxPiece = 1048574;

// Geometry kinds and array keys that the nodes write and the tools look for.
constexpr const char kTriangles[] = "triangles";
constexpr const char kNurbs[] = "nurbs";
constexpr const char kInstance[] = "instance";
constexpr const char kVertices[] = "vertices";
constexpr const char kNormals[] = "normals";
constexpr const char kUvTex[] = "uv_tex";
constexpr const char kTrianglesUv[] = "triangles_uv";
constexpr const char kPw[] = "Pw";
constexpr const char kTimestamps[] = "timestamps";
constexpr const char kMatrices[] = "matrices";

// The surface shaders that make a material a light.
constexpr const char kPointLight[] = "vtl_point_light";
constexpr const char kIesLight[] = "vtl_ies_light";
constexpr const char kMeshLight[] = "vtl_mesh_light";

} // namespace vtl::scene_text
