#pragma once
// Triangles of a trimmed NURBS surface: a regular grid over its knot domain, the triangles whose
// centre lies outside the trim loops dropped.

#include "reader/scene_document.h"
#include "scene_model.h"

#include <string>

namespace vtl::gltf::detail {

// Tessellates the "nurbs" geometry block `geometry` into `mesh` with `segments_per_span` grid
// cells per knot span in each direction. False with the reason when its data cannot describe a
// surface (orders, knot vectors, control point counts, weights); `mesh` is then empty.
bool tessellate_nurbs(const vtl::reader::Node& geometry, int segments_per_span, MeshData& mesh,
                      std::string& reason);

} // namespace vtl::gltf::detail
