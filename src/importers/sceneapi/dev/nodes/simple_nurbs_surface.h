#pragma once
// One rational B-spline surface: knot domain, orders, knot vectors, weighted control points and
// at most one trimming. Written like a triangle mesh: placed, defined, or placed by reference.

#include "dev/nodes/light_geometry.h"

#include <memory>
#include <string>
#include <vector>

namespace vtl {

class NurbsCurve;

class SimpleNurbsSurface : public LightGeometry {
public:
    // Names the surface and gives it the default diffuse material "default".
    explicit SimpleNurbsSurface(std::string name);

    ~SimpleNurbsSurface() override;
    // Eight bytes per knot and control point value, plus the trim's size.
    uint64_t data_size() const override;

    // Stores the knot domain.
    void set_knot_domain(double umin, double umax, double vmin, double vmax);
    // Stores the orders.
    void set_order(double uorder, double vorder);
    // Appends a u knot.
    void add_uknot(double knot);
    // Appends a v knot.
    void add_vknot(double knot);
    // Appends a weighted control point.
    void add_control_point(double x, double y, double z, double w);
    // Replaces the trimming.
    void set_trim(std::shared_ptr<NurbsCurve> curve);
    // The trimming, if any.
    std::shared_ptr<NurbsCurve> get_trim() const;

protected:
    // Writes the geometry block: a reference to the defined object, or the whole surface.
    void emit_geometry(vtlSceneapi_oo& oo) override;
    // Empties the knots and control points and the trimming's arrays.
    void release_data() override;

private:
    double umin;
    double umax;
    double vmin;
    double vmax;
    double uorder = -1.0;
    double vorder = -1.0;
    std::vector<double> uknots;
    std::vector<double> vknots;
    std::vector<double> control_points;
    std::shared_ptr<NurbsCurve> trim;
};

} // namespace vtl
