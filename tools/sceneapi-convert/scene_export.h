#pragma once
// Scene files (the converter's own output) written as glTF or OBJ for viewing elsewhere.

#include <string>
#include <vector>

// True when `output` names a .glb, .gltf or .obj file.
bool is_view_format(const std::string& output);
// True when `path` is a Scene file: a ".scene" name or the Scene file header on its first line.
bool is_scene_file(const std::string& path);

struct SceneExport {
    bool ok = false;
    std::string reason;                // why it failed
    std::vector<std::string> warnings; // what was dropped or approximated
    std::string summary;               // one line: counts and time
};

// Reads the Scene file `scene` and writes `output` (.glb, .gltf with its .bin, .obj with its .mtl).
SceneExport export_scene(const std::string& scene, const std::string& output);
