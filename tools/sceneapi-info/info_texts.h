#pragma once

#include <cstddef>
// Fixed texts of sceneapi-info.

namespace info_texts {

inline constexpr const char* kUsage =
    "usage: sceneapi-info [--json] [--strict] FILE   (FILE \"-\": standard input)\n"
    "       sceneapi-info --help | --version\n"
    "exit status: 0 read and clean, 1 unreadable, not a Scene file or errors found (warnings "
    "too with --strict), 2 bad arguments\n";
inline constexpr const char* kStrictOption = "--strict";
inline constexpr const char* kStandardInput = "-";
inline constexpr const char* kEmptyFile = "the file is empty";
inline constexpr const char* kNotSceneFile =
    "not a Scene file (no header comment and no version line)";
inline constexpr const char* kUnknownOption = "unknown option ";
inline constexpr const char* kOneFile = "give one FILE";
// Findings.
inline constexpr const char* kUndefinedId = "an instance of object id %s, which no definition has";
inline constexpr const char* kIndexOutside =
    "%zu triangle indices outside the %zu vertices (the first: %s)";
inline constexpr const char* kTriangleLength =
    "the triangle indices are %zu numbers, not a multiple of 3";
inline constexpr const char* kLengthMismatch = "%s holds %zu elements for %zu vertices";
inline constexpr const char* kUndefinedMaterial = "material \"%s\" is used but never defined";
inline constexpr const char* kNonFinite = "%zu numbers that are not finite (nan or inf)";
inline constexpr const char* kFileError = "the file reports an error: %s";
inline constexpr const char* kNormals = "normals";
inline constexpr const char* kUvs = "uv_tex";
inline constexpr const char* kId = "id";
inline constexpr const char* kTransform = "transform";
inline constexpr const char* kSetTransform = "set transform";
// How many findings are listed; the others are counted.
inline constexpr std::size_t kListedFindings = 100;
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
