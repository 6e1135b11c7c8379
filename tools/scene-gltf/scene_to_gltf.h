#pragma once
// Scene file documents written as glTF 2.0 (binary .glb or .gltf with a .bin beside it) and as
// Wavefront OBJ with its MTL. Every mesh definition becomes one glTF mesh used by each of its
// placements; groups become nodes; transforms are carried as node matrices; materials become
// metallic-roughness materials; the camera, point lights and keyframed animations are carried;
// NURBS surfaces are tessellated on a regular grid of their knot domain, trims honoured by
// dropping the triangles outside the trim loops.
//
// Nothing here throws on a bad document: a conversion that cannot be made returns ok false with
// the reason in error; what is dropped or approximated is listed in warnings.

#include "reader/scene_document.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vtl::gltf {

struct Conversion {
    bool ok = false;
    std::string error;                 // why nothing (or not everything) was written, when !ok
    std::vector<std::string> warnings; // what was dropped or approximated, one line each
    std::size_t meshes = 0;            // glTF meshes (one per definition or inline geometry)
    std::size_t nodes = 0;             // glTF nodes (placements, groups, camera, lights)
    std::size_t triangles = 0;         // triangles over all placements, as drawn
    std::size_t materials = 0;         // glTF materials
};

// Options that change what is written; the defaults suit a viewer.
struct Options {
    // Grid cells per knot span along u and along v when tessellating NURBS surfaces.
    int nurbs_segments_per_span = 8;
    // Also write the small carrier meshes of lights (they are degenerate or light-emitting
    // panels); point lights are always written as lights.
    bool light_carriers = false;
};

// Binary glTF of the document into `glb` (replaced).
Conversion scene_to_glb(const vtl::reader::Document& document, std::vector<unsigned char>& glb,
                        const Options& options = {});
// glTF JSON at `gltf_path` and its buffer beside it (same base name, ".bin").
Conversion scene_to_gltf(const vtl::reader::Document& document, const std::string& gltf_path,
                         const Options& options = {});
// Wavefront OBJ at `obj_path` with the materials in an MTL beside it (same base name, ".mtl");
// placements are written with their transforms applied, camera, lights and animations are not
// representable and are listed in warnings.
Conversion scene_to_obj(const vtl::reader::Document& document, const std::string& obj_path,
                        const Options& options = {});

} // namespace vtl::gltf
