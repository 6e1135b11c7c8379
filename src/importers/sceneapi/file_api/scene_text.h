#pragma once
// The texts of the Scene file that the writer writes and the reader and the tools look for.

#include <cstddef>

namespace scene_text {

// Block openings (the name and " {\n" follow).
constexpr const char kGroup[] = "group ";
constexpr const char kObject[] = "object ";
constexpr const char kGeometry[] = "geometry ";
constexpr const char kAnimation[] = "animation ";
constexpr const char kLoad[] = "load ";
constexpr const char kModify[] = "#modify ";
constexpr const char kLight[] = "light ";
constexpr const char kMaterial[] = "material ";

// Statements.
constexpr const char kTransform[] = "transform";
constexpr const char kSetTransform[] = "set transform";
constexpr const char kVersion[] = "version ";
constexpr const char kId[] = "id ";

// Values.
constexpr const char kOn[] = "on";
constexpr const char kBlobPrefix[] = "bX";

// The version number written for version -1.
constexpr int kDefaultVersion = 8;

// Longest formatted piece of one output call; longer pieces are cut here.
constexpr std::size_t kMaxPiece = 1048574;

} // namespace scene_text
