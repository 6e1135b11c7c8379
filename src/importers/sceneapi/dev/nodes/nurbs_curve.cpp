#include "dev/nodes/nurbs_curve.h"

#include "dev/vtlsceneapi_oo.h"

namespace vtl {

NurbsCurve::~NurbsCurve() = default;

void NurbsCurve::emit(vtlSceneapi_oo& oo) {
    oo.set_array("trim_nedges", trim_nedges);
    oo.set_array("trim_inside", trim_inside);
    oo.set_array("edge_order", edge_order);
    oo.set_array("edge_nknots", edge_nknots);
    oo.set_array("edge_min", edge_min);
    oo.set_array("edge_max", edge_max);
    oo.set_array("edge_knot", edge_knot);
    oo.set_array("edge_uvw", edge_uvw);
}

void NurbsCurve::define(vtlSceneapi_oo&) {}

bool NurbsCurve::is_instance() const {
    return false;
}

void NurbsCurve::add_trim(int nedges, int inside) {
    trim_nedges.push_back(nedges);
    trim_inside.push_back(inside);
}

void NurbsCurve::add_edge_domain(double min, double max) {
    edge_min.push_back(min);
    edge_max.push_back(max);
}

void NurbsCurve::add_edge_order(int order) {
    edge_order.push_back(order);
}

void NurbsCurve::add_edge_nknots(int nknots) {
    edge_nknots.push_back(nknots);
}

void NurbsCurve::add_edge_knot(double knot) {
    edge_knot.push_back(knot);
}

void NurbsCurve::add_edge_uvw(double u, double v, double w) {
    edge_uvw.insert(edge_uvw.end(), {u, v, w});
}

void NurbsCurve::clear() {
    trim_nedges.clear();
    edge_order.clear();
    edge_nknots.clear();
    trim_inside.clear();
    edge_knot.clear();
    edge_min.clear();
    edge_max.clear();
    edge_uvw.clear();
}

uint64_t NurbsCurve::data_size() const {
    const uint64_t ints =
        trim_nedges.size() + edge_order.size() + edge_nknots.size() + trim_inside.size();
    const uint64_t doubles = edge_knot.size() + edge_min.size() + edge_max.size() + edge_uvw.size();
    return 4 * ints + 8 * doubles;
}

} // namespace vtl
