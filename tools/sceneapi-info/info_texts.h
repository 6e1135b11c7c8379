#pragma once
// Fixed texts of sceneapi-info.

namespace info_texts {

inline constexpr const char* kUsage = "usage: sceneapi-info [--json] FILE\n";
inline constexpr const char* kProgram = "sceneapi-info: ";
inline constexpr const char* kJsonOption = "--json";
inline constexpr const char* kOptionsModule = "vtlrtopt.so";
inline constexpr const char* kInstanceGeometry = "instance";
inline constexpr const char* kTriangleGeometry = "triangles";
inline constexpr const char* kNurbsGeometry = "nurbs";
inline constexpr const char* kLightBlock = "light block";
// Surface shader types that make a material a light.
inline constexpr const char* kLightKinds[] = {"vtl_point_light", "vtl_ies_light", "vtl_mesh_light"};
// Block, statement and parameter keywords the summary looks for.
inline constexpr const char* kSurface = "surface";
inline constexpr const char* kShader = "shader";
inline constexpr const char* kGroup = "group";
inline constexpr const char* kObject = "object";
inline constexpr const char* kMaterial = "material";
inline constexpr const char* kCamera = "camera";
inline constexpr const char* kLight = "light";
inline constexpr const char* kAnimation = "animation";
inline constexpr const char* kTimestamps = "timestamps";
inline constexpr const char* kLoad = "load";
inline constexpr const char* kGeometry = "geometry";
inline constexpr const char* kTrianglesArray = "triangles";
inline constexpr const char* kVertices = "vertices";
inline constexpr const char* kVersion = "version";
// How many of the largest objects are listed.
inline constexpr int kLargestCount = 5;
// Groups nested deeper than this are counted, not listed (a listing stays readable and its
// JSON nesting within what JSON readers take).
inline constexpr int kListedGroupDepth = 128;
inline constexpr const char* kUnlistedGroups = " groups nested deeper are not listed";

} // namespace info_texts
