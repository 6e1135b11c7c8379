#pragma once
// Shapes shared by the node tests.

#include "dev/nodes/nurbs_curve.h"
#include "dev/nodes/triangle_object.h"

#include <memory>

// One triangle over three vertices.
inline void fill_triangle(vtl::TriangleObject& mesh) {
    mesh.add_vertex(0, 0, 0);
    mesh.add_vertex(1, 0, 0);
    mesh.add_vertex(0, 1, 0);
    mesh.add_triangle(0, 1, 2);
}

// One trim loop of one linear edge; inside tells whether it keeps the inside.
inline std::shared_ptr<vtl::NurbsCurve> one_edge_trim(int inside) {
    auto trim = std::make_shared<vtl::NurbsCurve>();
    trim->add_trim(1, inside);
    trim->add_edge_domain(0, 1);
    trim->add_edge_order(2);
    trim->add_edge_nknots(4);
    for (double k : {0.0, 0.0, 1.0, 1.0})
        trim->add_edge_knot(k);
    trim->add_edge_uvw(0, 0, 1);
    trim->add_edge_uvw(1, 1, 1);
    return trim;
}
