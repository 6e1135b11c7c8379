#pragma once
// The scene of a Scene file document as the writers need it: meshes with per-vertex attributes,
// materials in metallic-roughness terms, a node tree with local transforms, the camera, point
// lights and keyframed animations. Built once, then written as glTF or OBJ.

#include "reader/scene_document.h"
#include "reader/scene_matrix.h"
#include "scene_to_gltf.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vtl::gltf::detail {

// The Scene file's own matrix layout (see reader/scene_matrix.h). Its values in order are also
// the column-major storage of the matrix that moves column vectors.
using vtl::reader::kIdentity;
using vtl::reader::Matrix;
using vtl::reader::product;

// One triangle mesh with one value per vertex in each present attribute.
struct MeshData {
    std::string name;
    std::vector<float> positions;       // 3 per vertex
    std::vector<float> normals;         // 3 per vertex, unit length, or empty
    std::vector<float> uvs;             // 2 per vertex, origin at the bottom left, or empty
    std::vector<float> colors;          // 3 per vertex in 0..1, or empty
    std::vector<std::uint32_t> indices; // 3 per triangle
    std::size_t triangles() const { return indices.size() / 3; }
};

struct MaterialData {
    std::string name;
    std::string kind; // the surface shader type it came from
    std::array<float, 4> base{0.75f, 0.5f, 0.5f, 1.0f};
    float metallic = 0;
    float roughness = 1;
    std::array<float, 3> emissive{0, 0, 0};
    bool blend = false;
    std::string texture; // the diffuse texture's path as the Scene file gives it, or empty
};

struct PointLight {
    std::string name;
    std::array<float, 3> color{1, 1, 1};
    float intensity = 1; // candela
    std::string kind;    // the light shader type it came from
};

struct CameraData {
    std::string name;
    bool orthographic = false;
    double yfov = 0.8;   // radians
    double aspect = 0;   // width over height, 0 when unknown
    double znear = 0.01; // used when the file gives no clipping range
    double zfar = 0;     // 0: infinite
    double xmag = 1, ymag = 1;
};

struct AnimationData {
    std::string name;
    std::vector<float> times;     // seconds, strictly increasing
    std::vector<Matrix> matrices; // the node's local transform at each time
    bool step = false;            // no interpolation between keyframes
};

struct SceneNode {
    std::string name;
    Matrix matrix = kIdentity; // relative to the parent
    int mesh = -1;             // index in meshes
    int material = -1;         // index in materials, with mesh
    int camera = -1;
    int light = -1;
    std::vector<std::size_t> children;
};

struct SceneModel {
    std::vector<SceneNode> nodes;
    std::vector<std::size_t> roots;
    std::vector<MeshData> meshes;
    std::vector<MaterialData> materials;
    std::vector<PointLight> lights;
    std::vector<CameraData> cameras;
    std::vector<AnimationData> animations;
    std::vector<std::size_t> animated_nodes; // parallel to animations
    std::vector<std::string> warnings;
};

// Reads the document's scene. Faults of the document never throw: what cannot be used is left
// out and listed in warnings.
SceneModel build_model(const vtl::reader::Document& document, const Options& options);

// A path split to name the files written beside it: its folder (through the last '/', empty
// without one) and its file name without the extension.
struct PathParts {
    std::string folder;
    std::string stem;
};
PathParts split_path(const std::string& path);

} // namespace vtl::gltf::detail
