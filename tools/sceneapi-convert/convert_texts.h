#pragma once
// Fixed texts and settings of sceneapi-convert.

namespace convert_texts {

inline constexpr const char* kUsage =
    "usage: sceneapi-convert MODEL -o OUT.scene [options]\n"
    "       sceneapi-convert MODEL --live [options]\n"
    "options:\n"
    "  --up-axis N       up axis code written into the import options (default 1: y up)\n"
    "  --meter-scale S   metres per model unit (default 1)\n"
    "  --quiet           no progress bar and no summary\n";
inline constexpr const char* kOutputOption = "-o";
inline constexpr const char* kLiveOption = "--live";
inline constexpr const char* kUpAxisOption = "--up-axis";
inline constexpr const char* kMeterScaleOption = "--meter-scale";
inline constexpr const char* kQuietOption = "--quiet";

inline constexpr const char* kProgram = "sceneapi-convert: ";
inline constexpr const char* kCannotRead = "cannot read ";
inline constexpr const char* kNoLiveLink = "no live link: ";
inline constexpr const char* kProgressText = "converting ";

inline constexpr const char* kUnnamedMesh = "mesh ";
inline constexpr const char* kUnnamedMaterial = "material ";
inline constexpr const char* kUnnamedNode = "node ";
inline constexpr const char* kUnnamedLight = "light ";

// Up axis code for y up, the convention of the models assimp hands over.
inline constexpr int kDefaultUpAxis = 1;
// Major versions of the application accepted over the live link.
inline constexpr int kLiveMinVersion = 1;
inline constexpr int kLiveMaxVersion = 1000;
// Keyframe times are written as frame numbers at this rate.
inline constexpr double kFramesPerSecond = 30.0;
// Watts of a light source of intensity 1 are given as this many lumens (one candela over the
// whole sphere).
inline constexpr double kLumensPerCandela = 12.566370614359172;
// Work (vertices and triangles) above which the progress bar is shown.
inline constexpr unsigned long kProgressBarWork = 200000;
// Progress lines written into the file: one per this fraction of the work.
inline constexpr double kProgressStep = 0.1;
// Width of the progress bar in characters.
inline constexpr int kBarWidth = 40;

} // namespace convert_texts
