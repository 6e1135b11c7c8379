#pragma once
// The fixed texts the materials write: shader types, parameter keys and constant values.

namespace vtl {
namespace material_text {

// Shader types.
constexpr const char* kDiffuseShader = "vtl_diffuse";
constexpr const char* kPlasticShader = "vtl_plastic_simple";
constexpr const char* kMetalShader = "vtl_metal";
constexpr const char* kGlassShader = "vtl_window_glass";
constexpr const char* kEmissiveShader = "vtl_emissive";
constexpr const char* kVertexColorShader = "vertex_color";
constexpr const char* kTextureShader = "texture2_rgb";
constexpr const char* kAlphaTextureShader = "texture2_rgba";
constexpr const char* kBumpShader = "vtl_bumpmap";
constexpr const char* kAdvancedShader = "vtl_advanced";
constexpr const char* kCompositeShader = "vtl_composite";

// Parameter keys.
constexpr const char* kDiffuse = "diffuse";
constexpr const char* kSpecular = "specular";
constexpr const char* kRoughness = "roughness";
constexpr const char* kColor = "color";
constexpr const char* kTransmission = "transmission";
constexpr const char* kIntensity = "intensity";
constexpr const char* kVisibleInShadows = "visible in shadows";
constexpr const char* kDefaultColor = "default_color";
constexpr const char* kUvProjection = "uv_projection";
constexpr const char* kTexture = "texture";
constexpr const char* kUvScaleU = "uv_scale_u";
constexpr const char* kUvScaleV = "uv_scale_v";
constexpr const char* kBlendColor = "blend_color";
constexpr const char* kBumpHeight = "bump_height";
constexpr const char* kBumpMode = "bump_mode";
constexpr const char* kBumpmap = "bumpmap";
constexpr const char* kShader = "shader";
constexpr const char* kAlpha = "alpha";
constexpr const char* kOpacityMode = "opacity_mode";
constexpr const char* kUseDiffuseMapAlpha = "use_diffuse_map_alpha";
constexpr const char* kShaders = "shaders";
constexpr const char* kOpacityMap = "opacity_map";

// Constant values.
constexpr int kUvProjectionValue = 4;
constexpr int kBumpModeValue = 0;
constexpr int kAlphaValue = 1;
constexpr int kOpacityModeValue = 2;
constexpr unsigned kMaterialFlags = 4096;
constexpr int kSurfaceKind = 0;
constexpr float kVertexColorDefault = 0.8f;
constexpr int kNoShader = -1;

} // namespace material_text
} // namespace vtl
