#pragma once
// The fixed texts of the Scene file: block keywords, statements and separators, in one place.

#include <cstddef>

namespace scene_text {

// Block openings (the name and " {\n" follow).
constexpr const char kDefinePrefix[] = "#define ";
constexpr const char kDefineMaterialPrefix[] = "\n#define ";
constexpr const char kGroup[] = "group ";
constexpr const char kObject[] = "object ";
constexpr const char kDefineObject[] = "#define object ";
constexpr const char kGeometry[] = "geometry ";
constexpr const char kAnimation[] = "animation ";
constexpr const char kLoad[] = "load ";
constexpr const char kOptions[] = "\noptions {\n";
constexpr const char kCameraNamed[] = "\ncamera ";
constexpr const char kCameraUnnamed[] = "\ncamera {\n";
constexpr const char kModify[] = "#modify ";
constexpr const char kImage[] = "\nimage {\n";
constexpr const char kOutput[] = "output ";
constexpr const char kLight[] = "light ";
constexpr const char kAccel[] = "\naccel ";
constexpr const char kDefineMatrix[] = "#define matrix ";
constexpr const char kMaterial[] = "material ";
constexpr const char kDefineShader[] = "#define shader ";
constexpr const char kOpenBrace[] = " {\n";
constexpr const char kCloseBrace[] = "}\n";
constexpr const char kCloseBraceInline[] = "}";
constexpr const char kInvisible[] = "invisible on\n";

// Statements.
constexpr const char kTransform[] = "transform";
constexpr const char kSetTransform[] = "set transform";
constexpr const char kScale[] = "scale ";
constexpr const char kRotate[] = "rotate ";
constexpr const char kTranslate[] = "translate ";
constexpr const char kAttribute[] = "attribute ";
constexpr const char kVersion[] = "version ";
constexpr const char kProgress[] = "progress ";
constexpr const char kIcon[] = "icon ";
constexpr const char kId[] = "id ";
constexpr const char kFlags[] = "flags ";
constexpr const char kRender[] = "\nrender\n";
constexpr const char kPrintOpen[] = "#print \"";
constexpr const char kErrorOpen[] = "#error \"";
constexpr const char kMessageClose[] = "\"\n";
constexpr const char kAssumingSurface[] = "// assuming surface shader\n";

// Shader attachment keywords by kind (surface, shadow, volume, reflection map).
constexpr const char* const kShaderKinds[4] = {"surface", "shadow", "volume", "reflection map"};
constexpr const char kSurfaceWithBlank[] = "surface ";

// Parameter and value punctuation.
constexpr const char kShaderRef[] = " ! ";
constexpr const char kArrayOpen[] = "[ ";
constexpr const char kArrayClose[] = "] ";
constexpr const char kElementArrayOpen[] = " [\n";
constexpr const char kElementArrayClose[] = " ],\n";
constexpr const char kOn[] = "on";
constexpr const char kOff[] = "off";
constexpr const char kHexNamePrefix[] = "xX";
constexpr const char kBlobPrefix[] = "bX";

// The three bytes that open a binary array block, before its element marker.
constexpr unsigned char kBinaryMagic[3] = {0x01, 0x02, 0x03};

// The version number written for version -1.
constexpr int kDefaultVersion = 8;

// Longest formatted piece of one output call; longer pieces are cut here.
constexpr std::size_t kMaxPiece = 1048574;

} // namespace scene_text
