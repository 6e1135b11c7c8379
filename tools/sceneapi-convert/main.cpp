// sceneapi-convert: reads a model (any format assimp reads: glTF, OBJ, FBX, PLY, STL, ...) and
// hands it to the library through its exported C interface.
//
//   sceneapi-convert MODEL -o OUT.scene   writes a Scene file
//   sceneapi-convert MODEL --live         sends it to a running Photara

#include "convert_texts.h"
#include "progress.h"
#include "scene_converter.h"
#include "sceneapi_cs_wrapper.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

struct Options {
    std::string model;
    std::string output;
    bool live = false;
    bool quiet = false;
    int up_axis = convert_texts::kDefaultUpAxis;
    float meter_scale = 1;
};

// Reads the command line; false when it does not make sense.
bool parse(int argc, char** argv, Options& o) {
    using namespace convert_texts;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == kOutputOption && has_value)
            o.output = argv[++i];
        else if (a == kLiveOption)
            o.live = true;
        else if (a == kQuietOption)
            o.quiet = true;
        else if (a == kUpAxisOption && has_value)
            o.up_axis = std::atoi(argv[++i]);
        else if (a == kMeterScaleOption && has_value)
            o.meter_scale = static_cast<float>(std::atof(argv[++i]));
        else if (o.model.empty() && !a.empty() && a[0] != '-')
            o.model = a;
        else
            return false;
    }
    return !o.model.empty() && (o.live != !o.output.empty());
}

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void print_summary(const Options& o, const ConversionSummary& s, double ms) {
    std::string materials;
    for (const auto& [kind, n] : s.materials)
        materials += (materials.empty() ? "" : ", ") + std::to_string(n) + " " + kind;
    std::printf("%s -> %s: %s placed once, %s placed %s, %s (%s), %s; materials: %s; %s, "
                "%s%s, %s (%s); %.1f ms\n",
                o.model.c_str(), o.live ? "live link" : o.output.c_str(),
                plural(s.objects, "mesh", "meshes").c_str(),
                plural(s.definitions, "shared mesh", "shared meshes").c_str(),
                plural(s.instances, "time", "times").c_str(),
                plural(s.triangles, "triangle", "triangles").c_str(),
                plural(s.vertices, "vertex", "vertices").c_str(),
                plural(s.groups, "group", "groups").c_str(),
                materials.empty() ? "none" : materials.c_str(),
                plural(s.cameras, "camera", "cameras").c_str(),
                plural(s.point_lights, "point light", "point lights").c_str(),
                s.skipped_lights ? (" (" + std::to_string(s.skipped_lights) +
                                    " other lights "
                                    "skipped)")
                                       .c_str()
                                 : "",
                plural(s.animations, "animation", "animations").c_str(),
                plural(s.keyframes, "keyframe", "keyframes").c_str(), ms);
}

} // namespace

// Prints the library's report of the first failure since the destination was opened and
// returns 1; returns 0 when there is none.
int report_failure() {
    char text[2048] = {};
    if (getLastError(text, sizeof text - 1) == 0) return 0;
    std::cerr << convert_texts::kProgram << text << "\n";
    return 1;
}

int main(int argc, char** argv) {
    using namespace convert_texts;
    Options o;
    if (!parse(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(
        o.model, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_SortByPType);
    if (!scene || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) {
        std::cerr << kProgram << kCannotRead << o.model << ": " << importer.GetErrorString()
                  << "\n";
        return 1;
    }

    const std::string model_name = std::filesystem::path(o.model).filename().string();
    if (o.live) {
        char error[512] = {};
        if (connectToPhotara(model_name.c_str(), error, sizeof error - 1, o.up_axis, o.meter_scale,
                             kLiveMinVersion, kLiveMaxVersion, true) != 0) {
            std::cerr << kProgram << kNoLiveLink << error << "\n";
            return 1;
        }
    } else if (openFile(o.output.c_str(), nullptr, o.up_axis, o.meter_scale) != 0) {
        return report_failure();
    }

    SceneConverter converter(*scene);
    ConversionSummary summary;
    {
        Progress progress(kProgressText + model_name, converter.work(), !o.quiet);
        summary = converter.convert(progress);
    }
    closeFile();
    // A destination that did not receive the whole scene is no success.
    if (report_failure() != 0) return 1;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!o.quiet) print_summary(o, summary, ms);
    return 0;
}
