#include "scene_export.h"

#include "reader/scene_reader.h"
#include "scene_to_gltf.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string lower_extension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

constexpr const char* kSceneHeader = "//---vantel:dal:";

} // namespace

bool is_view_format(const std::string& output) {
    const std::string ext = lower_extension(output);
    return ext == ".glb" || ext == ".gltf" || ext == ".obj";
}

bool is_scene_file(const std::string& path) {
    if (lower_extension(path) == ".scene") return true;
    std::ifstream in(path, std::ios::binary);
    std::string first(std::char_traits<char>::length(kSceneHeader), '\0');
    return in.read(first.data(), static_cast<std::streamsize>(first.size())) &&
           first == kSceneHeader;
}

SceneExport export_scene(const std::string& scene, const std::string& output) {
    SceneExport out;
    const auto start = std::chrono::steady_clock::now();
    const vtl::reader::ReadResult read = vtl::reader::read_scene_file(scene);
    if (!read.ok) {
        out.reason = read.error.line == 0 ? read.error.message : read.error.describe();
        return out;
    }
    const std::string ext = lower_extension(output);
    vtl::gltf::Conversion c;
    if (ext == ".glb") {
        std::vector<unsigned char> glb;
        c = vtl::gltf::scene_to_glb(read.document, glb);
        if (c.ok) {
            std::ofstream file(output, std::ios::binary | std::ios::trunc);
            file.write(reinterpret_cast<const char*>(glb.data()),
                       static_cast<std::streamsize>(glb.size()));
            if (!file.flush()) {
                c.ok = false;
                c.error = "cannot write " + output;
            }
        }
    } else if (ext == ".gltf") {
        c = vtl::gltf::scene_to_gltf(read.document, output);
    } else {
        c = vtl::gltf::scene_to_obj(read.document, output);
    }
    out.warnings = c.warnings;
    if (!c.ok) {
        out.reason = c.error;
        return out;
    }
    out.ok = true;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    char line[512];
    std::snprintf(line, sizeof line, "%zu meshes, %zu nodes, %zu triangles, %zu materials; %.1f ms",
                  c.meshes, c.nodes, c.triangles, c.materials, ms);
    out.summary = scene + " -> " + output + ": " + line + "\n";
    return out;
}
