#pragma once
// The fixed texts and numbers of the exports.

#include "sceneapi_version.h"

namespace vtl {
namespace export_text {

// The interface version handed out by getVersion, as "<major>.<minor>".
constexpr int kVersionMajor = SCENEAPI_INTERFACE_VERSION_MAJOR;
constexpr int kVersionMinor = SCENEAPI_INTERFACE_VERSION_MINOR;
constexpr const char* kVersionFormat = "%d.%d";

// How connectToPhotara waits for an application it started: queries and pause after each.
constexpr int kLiveLinkAttempts = 30;
constexpr int kLiveLinkPauseMs = 1000;

// The camera every setCamera writes.
constexpr const char* kCameraName = "camera";

// The carrier geometry and the shaders of the lights.
constexpr const char* kTriangles = "triangles";
constexpr const char* kVertices = "vertices";
constexpr const char* kPointLightShader = "vtl_point_light";
constexpr const char* kIesLightShader = "vtl_ies_light";
constexpr const char* kMeshLightShader = "vtl_mesh_light";
constexpr const char* kLumen = "lumen";
constexpr const char* kPower = "power";
constexpr const char* kColor = "color";
constexpr const char* kFile = "file";

// The turn of an IES light about the x axis, in radians.
constexpr double kIesTurnX = 1.5707963267948966;

} // namespace export_text
} // namespace vtl
