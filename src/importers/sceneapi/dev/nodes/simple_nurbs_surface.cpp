#include "dev/nodes/simple_nurbs_surface.h"

#include "dev/materials/diffuse.h"
#include "dev/nodes/nurbs_curve.h"
#include "dev/vtlsceneapi_oo.h"
#include "file_api/scene_text.h"

#include <limits>
#include <utility>

using namespace vtl::scene_text;

namespace vtl {

namespace {
// An unset domain: minimum at the largest finite float, maximum at the smallest normal float.
constexpr double kUnsetMin = std::numeric_limits<float>::max();
constexpr double kUnsetMax = std::numeric_limits<float>::min();
} // namespace

SimpleNurbsSurface::SimpleNurbsSurface(std::string name)
    : LightGeometry(std::move(name)), umin(kUnsetMin), umax(kUnsetMax), vmin(kUnsetMin),
      vmax(kUnsetMax) {
    set_material(std::make_shared<Diffuse>("default"));
}

SimpleNurbsSurface::~SimpleNurbsSurface() = default;

void SimpleNurbsSurface::set_knot_domain(double u_min, double u_max, double v_min, double v_max) {
    umin = u_min;
    umax = u_max;
    vmin = v_min;
    vmax = v_max;
}

void SimpleNurbsSurface::set_order(double u_order, double v_order) {
    uorder = u_order;
    vorder = v_order;
}

void SimpleNurbsSurface::add_uknot(double knot) {
    uknots.push_back(knot);
}

void SimpleNurbsSurface::add_vknot(double knot) {
    vknots.push_back(knot);
}

void SimpleNurbsSurface::add_control_point(double x, double y, double z, double w) {
    control_points.insert(control_points.end(), {x, y, z, w});
}

void SimpleNurbsSurface::set_trim(std::shared_ptr<NurbsCurve> curve) {
    trim = std::move(curve);
}

std::shared_ptr<NurbsCurve> SimpleNurbsSurface::get_trim() const {
    return trim;
}

uint64_t SimpleNurbsSurface::data_size() const {
    const uint64_t values = uknots.size() + vknots.size() + control_points.size();
    return 8 * values + (trim ? trim->data_size() : 0);
}

void SimpleNurbsSurface::release_data() {
    std::vector<double>().swap(uknots);
    std::vector<double>().swap(vknots);
    std::vector<double>().swap(control_points);
    if (trim) trim->clear();
}

void SimpleNurbsSurface::emit_geometry(vtlSceneapi_oo& oo) {
    if (emit_instance_geometry(oo)) return;
    vtlScene_api* api = oo.get_api();
    api->begin_geometry(kNurbs);
    oo.set_parameter("umin", umin);
    oo.set_parameter("umax", umax);
    oo.set_parameter("vmin", vmin);
    oo.set_parameter("vmax", vmax);
    oo.set_parameter("uorder", uorder);
    oo.set_parameter("vorder", vorder);
    oo.set_array("uknot", uknots);
    oo.set_array("vknot", vknots);
    oo.set_array(kPw, control_points);
    if (trim) oo.add(*trim);
    api->end_geometry();
}

} // namespace vtl
