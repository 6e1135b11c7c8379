#pragma once
// Hands a model read by assimp to the library through the exported C interface: materials,
// meshes (used more than once: a definition and instances), the node hierarchy as groups with
// transforms, the first camera, lights and node animations. Every pointer assimp hands over is
// checked, and everything that cannot be handed over is counted for a warning.

#include "progress.h"
#include "texture_files.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

struct aiAnimation;
struct aiLight;
struct aiNode;
struct aiNodeAnim;
struct aiScene;

// What the conversion handed over, and what it could not.
struct ConversionSummary {
    std::size_t objects = 0;     // meshes placed with their data
    std::size_t definitions = 0; // meshes written once for several placements
    std::size_t instances = 0;   // placements of definitions
    std::size_t triangles = 0;
    std::size_t vertices = 0;
    std::size_t groups = 0;
    std::size_t cameras = 0;
    std::size_t point_lights = 0;
    std::size_t animations = 0;
    std::size_t keyframes = 0;
    std::map<std::string, std::size_t> materials; // by kind
    std::vector<std::string> warnings;            // one line each, with counts
};

class SceneConverter {
public:
    // Converts `scene` into the destination the caller has opened; `textures` places the
    // material textures.
    SceneConverter(const aiScene& scene, TextureFiles& textures);

    // Why the scene cannot be converted (nothing in it to export), or an empty text.
    std::string refusal() const;
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
    // What a mesh holds, counted before anything is written.
    struct MeshFacts {
        std::size_t triangles = 0; // faces of three valid indices
        std::size_t points = 0;
        std::size_t lines = 0;
        std::size_t polygons = 0;   // faces of more than three corners left untriangulated
        std::size_t bad_faces = 0;  // faces with an index outside the vertices, or none
        std::size_t non_finite = 0; // vertices with a coordinate that is not a finite number
    };

    const aiScene& scene_;
    TextureFiles& textures_;
    Progress* progress_ = nullptr;
    ConversionSummary summary_;
    std::vector<MeshFacts> facts_;
    std::vector<unsigned> uses_;                        // placements of each mesh in the node tree
    std::vector<int> definition_ids_;                   // object id of each shared mesh
    std::vector<bool> materials_defined_;               // material ids handed over
    std::multimap<std::string, Channel> channels_;      // by node name
    std::multimap<std::string, const aiLight*> lights_; // by node name
    std::size_t cameras_ = 0;                           // usable cameras in the model
    std::size_t usable_lights_ = 0;
    std::size_t placed_lights_ = 0;  // lights written at their node
    std::size_t other_lights_ = 0;   // spot and directional lights written as point lights
    std::size_t dropped_lights_ = 0; // area, ambient and unknown kinds
    std::size_t channels_used_ = 0;
    std::size_t broken_ = 0; // meshes, nodes, materials, lights, animations given as null

    // Counts the placements of every mesh in the node tree.
    void count_uses();
    // Defines every material under its index + 1.
    void materials();
    // Writes the first camera, placed by its node.
    void camera();
    // Writes the data of mesh `index`, placed too when `place`; returns its object id.
    int mesh(unsigned index, bool place);
    // Writes the node tree as groups: transforms, animations, meshes, lights.
    void nodes();
    // The contents of one node, before its children.
    void node_contents(const aiNode& node, const std::string& name);
    // Writes a light as a point light.
    void light(const aiLight& light);
    // Writes the keyframes of one channel as an animation of the node `name`.
    void animation(const aiNode* node, const std::string& name, const Channel& c);
    // The warning lines of what was not handed over.
    void warnings();
};
