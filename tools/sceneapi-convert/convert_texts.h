#pragma once
// Fixed texts and settings of sceneapi-convert.

namespace convert_texts {

inline constexpr const char* kUsage =
    "usage: sceneapi-convert MODEL -o OUT.scene [options]     a Scene file (\"-o -\": standard "
    "output)\n"
    "       sceneapi-convert MODEL... -d OUTDIR [options]     one Scene file per model; a folder\n"
    "                                                         stands for the models in it\n"
    "       sceneapi-convert MODEL --live [options]           a running Photara\n"
    "       sceneapi-convert FILE.scene -o OUT.glb|.gltf|.obj a Scene file as glTF or OBJ\n"
    "       sceneapi-convert --help | --version | --list-formats\n"
    "options:\n"
    "  --up-axis x|y|z   up axis written into the import options (also 0|1|2; default y)\n"
    "  --meter-scale S   metres per model unit, a positive number (default 1)\n"
    "  --quiet           nothing but errors: no progress bar, warnings or summary\n"
    "exit status: 0 converted, 1 a model or its destination failed, 2 bad arguments\n";
inline constexpr const char* kOutputOption = "-o";
inline constexpr const char* kFolderOption = "-d";
inline constexpr const char* kLiveOption = "--live";
inline constexpr const char* kUpAxisOption = "--up-axis";
inline constexpr const char* kMeterScaleOption = "--meter-scale";
inline constexpr const char* kQuietOption = "--quiet";
inline constexpr const char* kHelpOption = "--help";
inline constexpr const char* kVersionOption = "--version";
inline constexpr const char* kFormatsOption = "--list-formats";
inline constexpr const char* kStandardStream = "-";

inline constexpr const char* kProgram = "sceneapi-convert: ";
inline constexpr const char* kWarning = "warning: ";
inline constexpr const char* kNoLiveLink = "no live link: ";
inline constexpr const char* kProgressText = "converting ";
inline constexpr const char* kReadingText = "reading ";

// Usage errors.
inline constexpr const char* kNeedsValue = " needs a value";
inline constexpr const char* kBadUpAxis = "--up-axis takes x, y, z, 0, 1 or 2, not ";
inline constexpr const char* kBadMeterScale = "--meter-scale takes a positive number, not ";
inline constexpr const char* kUnknownOption = "unknown option ";
inline constexpr const char* kNoModel = "no model given";
inline constexpr const char* kNoDestination = "no destination: give -o OUT.scene, -d OUTDIR or "
                                              "--live";
inline constexpr const char* kTwoDestinations = "give only one of -o, -d and --live";
inline constexpr const char* kOneModelOnly = "-o and --live take one model; use -d OUTDIR for "
                                             "several";
inline constexpr const char* kSameAsModel = "the output is the model itself";

// Failures of one model.
inline constexpr const char* kNoSuchFile = "no such file";
inline constexpr const char* kIsFolder = "is a folder (give -d OUTDIR to convert the models in it)";
inline constexpr const char* kEmptyFile = "the file is empty";
inline constexpr const char* kUnknownFormat = "no importer reads this format (see --list-formats)";
inline constexpr const char* kNoReason = "the importer read no scene from it and gave no reason";
inline constexpr const char* kNothingToExport =
    "nothing to export: the model holds no triangle, camera or light";
inline constexpr const char* kNothingButLinesAndPoints =
    "nothing to export: the model holds lines, points or polygons only, no triangle, camera or "
    "light";
inline constexpr const char* kTooBig = "a mesh has more vertices than the library takes";
inline constexpr const char* kNoModelsInFolder = "no model of a readable format in it";

// Warnings, after their counts.
inline constexpr const char* kLinesPointsDropped = " dropped (the Scene file holds triangles only)";
inline constexpr const char* kPolygonsDropped = " could not be triangulated and were dropped";
inline constexpr const char* kBadFacesDropped =
    " with an index outside their mesh's vertices dropped";
inline constexpr const char* kNonFiniteVertices =
    " with a coordinate that is not a finite number (written as -1)";
inline constexpr const char* kUnplacedMeshes = " placed by no node and not written";
inline constexpr const char* kCamerasDropped = " ignored (a Scene file holds one camera)";
inline constexpr const char* kLightsAsPoints = " written as point lights";
inline constexpr const char* kLightsDropped = " of a kind the Scene file has not (area, ambient) "
                                              "dropped";
inline constexpr const char* kChannelsDropped = " for nodes not in the hierarchy dropped";
inline constexpr const char* kMeshAnimationsDropped =
    " (vertex or morph animations) dropped: only node transforms are animated";
inline constexpr const char* kTexturesMissing = " not found on disk (the first: ";
inline constexpr const char* kTexturesUnwritten = " not written (the first: ";
inline constexpr const char* kBrokenElements = " of the model given as null were skipped";
inline constexpr const char* kNoTextureFolder = "no output folder to write it into";
inline constexpr const char* kEmptyTexture = "it holds no data";
inline constexpr const char* kHugeTexture = "it is larger than 65535 texels a side";
// Embedded textures are written as OUTPUT-STEM + this + index + extension.
inline constexpr const char* kTextureInfix = "_texture";

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
// Progress lines written into the file: one per this fraction of the work.
inline constexpr double kProgressStep = 0.1;
// Share of the bar that reading the model takes; converting takes the rest.
inline constexpr double kReadShare = 0.5;
// Width of the progress bar in characters.
inline constexpr int kBarWidth = 40;

} // namespace convert_texts
