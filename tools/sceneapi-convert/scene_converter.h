#pragma once
// Hands a model read by assimp to the library through the exported C interface: materials,
// meshes (used more than once: a definition and instances), the node hierarchy as groups with
// transforms, the first camera, point lights and node animations.

#include "progress.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

struct aiAnimation;
struct aiLight;
struct aiNode;
struct aiNodeAnim;
struct aiScene;

// What the conversion handed over.
struct ConversionSummary {
    std::size_t objects = 0;     // meshes placed with their data
    std::size_t definitions = 0; // meshes written once for several placements
    std::size_t instances = 0;   // placements of definitions
    std::size_t triangles = 0;
    std::size_t vertices = 0;
    std::size_t groups = 0;
    std::size_t cameras = 0;
    std::size_t point_lights = 0;
    std::size_t skipped_lights = 0; // light kinds the library has no export for
    std::size_t animations = 0;
    std::size_t keyframes = 0;
    std::map<std::string, std::size_t> materials; // by kind
};

class SceneConverter {
public:
    // Converts `scene` into the destination the caller has opened.
    explicit SceneConverter(const aiScene& scene);

    // The work the conversion does, in vertices and triangles, for the progress report.
    unsigned long work() const;
    // Hands the whole scene over, reporting progress as meshes are written.
    ConversionSummary convert(Progress& progress);

private:
    // A node animation channel with the animation that holds it.
    struct Channel {
        const aiAnimation* animation;
        const aiNodeAnim* channel;
    };

    const aiScene& scene_;
    Progress* progress_ = nullptr;
    ConversionSummary summary_;
    std::vector<unsigned> uses_;                   // placements of each mesh in the node tree
    std::vector<int> definition_ids_;              // object id of each mesh written as a definition
    std::multimap<std::string, Channel> channels_; // by node name
    std::map<std::string, const aiLight*> lights_; // by node name

    // Counts the placements of every mesh below `node`.
    void count_uses(const aiNode& node);
    // Defines every material under its index + 1.
    void materials();
    // Writes the first camera, placed by its node.
    void camera();
    // Writes the data of mesh `index`, placed too when `place`; returns its object id.
    int mesh(unsigned index, bool place);
    // Writes a node as a group: its transform, animations, meshes, light and children.
    void node(const aiNode& node);
    // Writes a point light (other kinds are counted as skipped).
    void light(const aiLight& light);
    // Writes the keyframes of one channel as an animation of the node `name`.
    void animation(const std::string& name, const Channel& c);
};
