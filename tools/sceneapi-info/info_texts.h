#pragma once
// Fixed texts of sceneapi-info.

namespace info_texts {

inline constexpr const char* kUsage = "usage: sceneapi-info [--json] FILE\n";
inline constexpr const char* kJsonOption = "--json";
inline constexpr const char* kOptionsModule = "vtlrtopt.so";
inline constexpr const char* kInstanceGeometry = "instance";
inline constexpr const char* kTriangleGeometry = "triangles";
inline constexpr const char* kNurbsGeometry = "nurbs";
inline constexpr const char* kLightBlock = "light block";
// Surface shader types that make a material a light.
inline constexpr const char* kLightKinds[] = {"vtl_point_light", "vtl_ies_light", "vtl_mesh_light"};
// How many of the largest objects are listed.
inline constexpr int kLargestCount = 5;

} // namespace info_texts
