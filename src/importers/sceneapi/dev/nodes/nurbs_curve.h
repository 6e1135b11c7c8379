#pragma once
// The trimming of one NURBS surface: its trim loops and their edges, each edge a curve in the
// surface's parameter space, all in flat parallel arrays. Written as parameters of the surface's
// geometry block.

#include "dev/light_node.h"

#include <cstdint>
#include <vector>

namespace vtl {

class NurbsCurve : public LightNode {
public:
    // Writes the eight arrays into the open geometry block, empty or not.
    void emit(vtlSceneapi_oo& oo) override;
    // Does nothing.
    void define(vtlSceneapi_oo& oo) override;
    // Always false.
    bool is_instance() const override;
    ~NurbsCurve() override;

    // Appending; nothing is checked.
    void add_trim(int nedges, int inside);
    void add_edge_domain(double min, double max);
    void add_edge_order(int order);
    void add_edge_nknots(int nknots);
    void add_edge_knot(double knot);
    void add_edge_uvw(double u, double v, double w);

    // Empties all eight arrays.
    void clear();
    // Four bytes per integer, eight per double.
    uint64_t data_size() const;

private:
    std::vector<int> trim_nedges;
    std::vector<int> edge_order;
    std::vector<int> edge_nknots;
    std::vector<int> trim_inside;
    std::vector<double> edge_knot;
    std::vector<double> edge_min;
    std::vector<double> edge_max;
    std::vector<double> edge_uvw;
};

} // namespace vtl
