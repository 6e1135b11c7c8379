#pragma once
// The fixed texts the scene nodes write: block kinds, parameter keys, constant values and the
// consistency messages.

namespace vtl {
namespace node_text {

// Import options block.
constexpr const char* kRtModuleName = "vtlrtopt.so";
constexpr const char* kImportMode = "import_mode";
constexpr const char* kImportMergeGroups = "import_merge_groups";
constexpr const char* kImportMergeObjects = "import_merge_objects";
constexpr const char* kImportUpVector = "import_up_vector";
constexpr const char* kMeterScale = "meter_scale";
constexpr const char* kImportKeepOriginal = "import_keep_original";
constexpr const char* kImportCenterGeometry = "import_center_geometry";
constexpr const char* kImportSnapToGround = "import_snap_to_ground";
constexpr const char* kImportAdjustCamera = "import_adjust_camera";
constexpr const char* kImportAdjustEnvironment = "import_adjust_environment";
constexpr const char* kImportUseCamera = "import_use_camera";
constexpr const char* kExt = "ext";

// Geometry blocks shared by the mesh and the surface.
constexpr const char* kDefaultMaterialName = "default";
constexpr const char* kInstanceGeometry = "instance";
constexpr const char* kInstanceId = "id";

// Triangle mesh.
constexpr const char* kTrianglesGeometry = "triangles";
constexpr const char* kVertices = "vertices";
constexpr const char* kTriangles = "triangles";
constexpr const char* kTrianglesUv = "triangles_uv";
constexpr const char* kUvTex = "uv_tex";
constexpr const char* kTrianglesNorm = "triangles_norm";
constexpr const char* kNormals = "normals";
constexpr const char* kVertexColors = "vcolors";

// Mesh consistency messages; they are joined without separators.
constexpr const char* kNoNormalsForIndex = "No normals defined for index";
constexpr const char* kNormalCountMismatch = "Number of normals does not equal number of vertices";
constexpr const char* kNormalIndexMismatch = "Normals count does not match number of triangles ";
constexpr const char* kVersus = " vs ";
constexpr const char* kNoUvsForIndex = "No uvs defined for index";
constexpr const char* kUvCountMismatchBegin = "Number of uvs(";
constexpr const char* kUvCountMismatchMiddle = ")  does not match vertex count(";
constexpr const char* kUvCountMismatchEnd = ")";
constexpr const char* kUvIndexMismatch = "UV index count does not match triangle count";
constexpr const char* kVertexColorMismatch = "VetexColor count does not match number of vertices";
constexpr const char* kNoTriangles = "No triangles defined";

// NURBS surface and its trim.
constexpr const char* kNurbsGeometry = "nurbs";
constexpr const char* kUmin = "umin";
constexpr const char* kUmax = "umax";
constexpr const char* kVmin = "vmin";
constexpr const char* kVmax = "vmax";
constexpr const char* kUorder = "uorder";
constexpr const char* kVorder = "vorder";
constexpr const char* kUknot = "uknot";
constexpr const char* kVknot = "vknot";
constexpr const char* kControlPoints = "Pw";
constexpr const char* kTrimNedges = "trim_nedges";
constexpr const char* kTrimInside = "trim_inside";
constexpr const char* kEdgeOrder = "edge_order";
constexpr const char* kEdgeNknots = "edge_nknots";
constexpr const char* kEdgeMin = "edge_min";
constexpr const char* kEdgeMax = "edge_max";
constexpr const char* kEdgeKnot = "edge_knot";
constexpr const char* kEdgeUvw = "edge_uvw";

// Keyframed animation.
constexpr const char* kFbxAnimationKind = "fbx_animation";
constexpr const char* kStartTime = "start_time";
constexpr const char* kDuration = "duration";
constexpr const char* kTimestamps = "timestamps";
constexpr const char* kMatrices = "matrices";
constexpr const char* kInterpolate = "interpolate";
constexpr const char* kFolder = "folder";
constexpr const char* kFrameCountMismatchBegin = "Number of timestamps(";
constexpr const char* kFrameCountMismatchMiddle = ") does not match number of matrices(";
constexpr const char* kFrameCountMismatchEnd = ")";

// Camera and its environment.
constexpr const char* kProjection = "projection";
constexpr const char* kOrthographic = "orthographic";
constexpr const char* kPerspective = "perspective";
constexpr const char* kFov = "fov";
constexpr const char* kFov4 = "fov4";
constexpr const char* kReflectionMap = "reflection map";
constexpr const char* kPosition = "position";
constexpr const char* kDirection = "direction";
constexpr const char* kLookAt = "look_at";
constexpr const char* kUp = "up";
constexpr const char* kClipping = "clipping";
constexpr const char* kEnvironmentShader = "vtl_envmap";
constexpr const char* kEnvironmentTextureKey = "texture";
constexpr const char* kEnvironmentTexture = "startup.hdr";
constexpr const char* kEnvironmentFormatKey = "format";
constexpr int kEnvironmentFormat = 3;
constexpr const char* kEnvironmentRadiusKey = "radius";
constexpr float kEnvironmentRadius = 25.0f;

} // namespace node_text
} // namespace vtl
