#include "nurbs_tessellation.h"
#include "file_api/scene_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <vector>

using namespace vtl::scene_text;

using vtl::reader::Node;
using vtl::reader::ValueKind;

namespace vtl::gltf::detail {
namespace {

constexpr int kMaxOrder = 16;
constexpr int kMaxCells = 256;      // grid cells along one direction
constexpr int kSamplesPerSpan = 16; // points of a trim edge per knot span
constexpr int kMaxEdgeSamples = 4096;

// The numbers of parameter `name` of a geometry block: its array, or its single number.
bool numbers_of(const Node& geometry, std::string_view name, std::vector<double>& out) {
    out.clear();
    const Node* p = geometry.child(name);
    if (!p || p->values.empty()) return false;
    const auto& v = p->values[0];
    if (v.kind == ValueKind::Number) {
        out.push_back(v.number);
        return true;
    }
    if (v.kind != ValueKind::Array || !v.array.items.empty()) return false;
    out.assign(v.array.numbers.begin(), v.array.numbers.end());
    return true;
}

bool all_finite(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double x) { return std::isfinite(x); });
}

// One B-spline basis: order, knots; the parameter range where it is defined.
struct Basis {
    int order = 0;
    std::vector<double> knots;
    int count = 0; // control points

    bool check(std::string& reason, const char* which) const {
        if (order < 1 || order > kMaxOrder) {
            reason = std::string(which) + " order outside 1.." + std::to_string(kMaxOrder);
            return false;
        }
        if (count < order) {
            reason = std::string(which) + " knots too few for the order";
            return false;
        }
        if (!all_finite(knots) || !std::is_sorted(knots.begin(), knots.end())) {
            reason = std::string(which) + " knots not finite and non-decreasing";
            return false;
        }
        if (!(low() < high())) {
            reason = std::string(which) + " knot range empty";
            return false;
        }
        return true;
    }
    double low() const { return knots[order - 1]; }
    double high() const { return knots[count]; }

    // The span i with knots[i] <= t < knots[i + 1], order - 1 <= i < count.
    int span(double t) const {
        if (t >= high()) {
            int i = count - 1;
            while (i > order - 1 && knots[i] >= high())
                --i;
            return i;
        }
        const auto it = std::upper_bound(knots.begin() + order - 1, knots.begin() + count + 1, t);
        return std::clamp(static_cast<int>(it - knots.begin()) - 1, order - 1, count - 1);
    }
    // The order non-zero basis functions at t in span i (the recurrence of de Boor and Cox).
    void functions(int i, double t, double* n) const {
        const int p = order - 1;
        double left[kMaxOrder], right[kMaxOrder];
        n[0] = 1;
        for (int j = 1; j <= p; ++j) {
            left[j] = t - knots[i + 1 - j];
            right[j] = knots[i + j] - t;
            double saved = 0;
            for (int r = 0; r < j; ++r) {
                const double d = right[r + 1] + left[j - r];
                const double tmp = d != 0 ? n[r] / d : 0;
                n[r] = saved + right[r + 1] * tmp;
                saved = left[j - r] * tmp;
            }
            n[j] = saved;
        }
    }
    // Distinct knot values inside [a, b], a and b included.
    std::vector<double> breaks(double a, double b) const {
        std::vector<double> out{a};
        for (double k : knots)
            if (k > out.back() && k < b) out.push_back(k);
        out.push_back(b);
        return out;
    }
};

// Parameters along one direction: every span cut into `segments` cells, at most kMaxCells.
std::vector<double> grid(const Basis& basis, double a, double b, int segments) {
    const std::vector<double> breaks = basis.breaks(a, b);
    const std::size_t spans = breaks.size() - 1;
    const int per = std::max(1, std::min(segments, static_cast<int>(kMaxCells / spans)));
    std::vector<double> out;
    if (spans > static_cast<std::size_t>(kMaxCells)) { // more spans than cells: even steps
        for (int c = 0; c <= kMaxCells; ++c)
            out.push_back(a + (b - a) * c / kMaxCells);
        return out;
    }
    for (std::size_t s = 0; s < spans; ++s)
        for (int c = 0; c < per; ++c)
            out.push_back(breaks[s] + (breaks[s + 1] - breaks[s]) * c / per);
    out.push_back(b);
    return out;
}

using Point2 = std::array<double, 2>;

// Even-odd test of p against the closed polygon `loop`.
bool inside(const std::vector<Point2>& loop, const Point2& p) {
    bool in = false;
    for (std::size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++) {
        const Point2& a = loop[i];
        const Point2& b = loop[j];
        if ((a[1] > p[1]) != (b[1] > p[1]) &&
            p[0] < (b[0] - a[0]) * (p[1] - a[1]) / (b[1] - a[1]) + a[0])
            in = !in;
    }
    return in;
}

struct TrimLoop {
    std::vector<Point2> points;
    bool keep_inside = true;
};

// The trim loops as polygons in the surface's parameters. False with the reason when the trim
// arrays do not agree with each other.
bool trim_loops(const Node& g, std::vector<TrimLoop>& loops, std::string& reason) {
    std::vector<double> nedges, insides, orders, nknots, mins, maxs, knots, uvw;
    if (!numbers_of(g, "trim_nedges", nedges)) return true; // no trim
    numbers_of(g, "trim_inside", insides);
    numbers_of(g, "edge_order", orders);
    numbers_of(g, "edge_nknots", nknots);
    numbers_of(g, "edge_min", mins);
    numbers_of(g, "edge_max", maxs);
    numbers_of(g, "edge_knot", knots);
    numbers_of(g, "edge_uvw", uvw);
    std::size_t edge = 0, knot = 0, point = 0;
    for (std::size_t l = 0; l < nedges.size(); ++l) {
        const double count = nedges[l];
        if (!(count >= 0 && count <= 1e6) || count != std::floor(count)) {
            reason = "trim loop with a bad edge count";
            return false;
        }
        TrimLoop loop;
        loop.keep_inside = l >= insides.size() || insides[l] != 0;
        for (int e = 0; e < static_cast<int>(count); ++e, ++edge) {
            if (edge >= orders.size() || edge >= nknots.size() || edge >= mins.size() ||
                edge >= maxs.size()) {
                reason = "trim edges fewer than the loops count";
                return false;
            }
            Basis b;
            const double order = orders[edge], nk = nknots[edge];
            if (!(order >= 1 && order <= kMaxOrder) || !(nk >= order && nk <= 1e6)) {
                reason = "trim edge with a bad order or knot count";
                return false;
            }
            b.order = static_cast<int>(order);
            const std::size_t n = static_cast<std::size_t>(nk);
            if (knot + n > knots.size()) {
                reason = "trim knots fewer than the edges need";
                return false;
            }
            b.knots.assign(knots.begin() + knot, knots.begin() + knot + n);
            knot += n;
            b.count = static_cast<int>(n) - b.order;
            const std::size_t points = static_cast<std::size_t>(b.count);
            if (point + 3 * points > uvw.size()) {
                reason = "trim control points fewer than the edges need";
                return false;
            }
            if (!b.check(reason, "trim edge")) return false;
            const double* cp = uvw.data() + point;
            point += 3 * points;
            const double lo = std::clamp(std::min(mins[edge], maxs[edge]), b.low(), b.high());
            const double hi = std::clamp(std::max(mins[edge], maxs[edge]), b.low(), b.high());
            const bool reversed = mins[edge] > maxs[edge];
            const int samples = std::min(
                kMaxEdgeSamples, kSamplesPerSpan * static_cast<int>(b.breaks(lo, hi).size()));
            for (int s = 0; s < samples; ++s) { // the edge's end is the next edge's start
                const double f = static_cast<double>(s) / samples;
                const double t = reversed ? hi - (hi - lo) * f : lo + (hi - lo) * f;
                const int i = b.span(t);
                double basis[kMaxOrder];
                b.functions(i, t, basis);
                double u = 0, v = 0, w = 0;
                for (int k = 0; k < b.order; ++k) {
                    const double* q = cp + 3 * (i - b.order + 1 + k);
                    u += basis[k] * q[2] * q[0];
                    v += basis[k] * q[2] * q[1];
                    w += basis[k] * q[2];
                }
                if (w != 0 && std::isfinite(u / w) && std::isfinite(v / w))
                    loop.points.push_back({u / w, v / w});
            }
        }
        if (loop.points.size() >= 3) loops.push_back(std::move(loop));
    }
    return true;
}

// Whether the surface point at parameters p is kept: inside an odd number of the loops kept
// inside (when there are any) and outside every loop whose inside is cut away.
bool kept(const std::vector<TrimLoop>& loops, const Point2& p) {
    bool any_outer = false, in_outer = false;
    for (const TrimLoop& l : loops) {
        const bool in = inside(l.points, p);
        if (l.keep_inside) {
            any_outer = true;
            in_outer ^= in;
        } else if (in) {
            return false;
        }
    }
    return !any_outer || in_outer;
}

} // namespace

bool tessellate_nurbs(const Node& g, int segments_per_span, MeshData& mesh, std::string& reason) {
    mesh.positions.clear();
    mesh.normals.clear();
    mesh.uvs.clear();
    mesh.indices.clear();
    std::vector<double> value, pw;
    double domain[4] = {0, 0, 0, 0}; // umin, umax, vmin, vmax
    const char* names[4] = {"umin", "umax", "vmin", "vmax"};
    bool has_domain = true;
    for (int k = 0; k < 4; ++k) {
        if (!numbers_of(g, names[k], value) || value.size() != 1 || !std::isfinite(value[0]))
            has_domain = false;
        else
            domain[k] = value[0];
    }
    Basis bu, bv;
    double orders[2] = {0, 0};
    const char* order_names[2] = {"uorder", "vorder"};
    for (int k = 0; k < 2; ++k) {
        if (!numbers_of(g, order_names[k], value) || value.size() != 1 || !(value[0] >= 1) ||
            !(value[0] <= kMaxOrder) || value[0] != std::floor(value[0])) {
            reason = std::string("missing or bad \"") + order_names[k] + "\"";
            return false;
        }
        orders[k] = value[0];
    }
    bu.order = static_cast<int>(orders[0]);
    bv.order = static_cast<int>(orders[1]);
    if (!numbers_of(g, "uknot", bu.knots) || !numbers_of(g, "vknot", bv.knots) ||
        !numbers_of(g, kPw, pw)) {
        reason = "missing \"uknot\", \"vknot\" or \"Pw\"";
        return false;
    }
    bu.count = static_cast<int>(bu.knots.size()) - bu.order;
    bv.count = static_cast<int>(bv.knots.size()) - bv.order;
    if (!bu.check(reason, "u") || !bv.check(reason, "v")) return false;
    const std::size_t points = static_cast<std::size_t>(bu.count) * bv.count;
    if (pw.size() != 4 * points) {
        reason = "\"Pw\" holds " + std::to_string(pw.size() / 4) +
                 " control points, the knots need " + std::to_string(points);
        return false;
    }
    if (!all_finite(pw)) {
        reason = "control points not finite";
        return false;
    }
    for (std::size_t p = 0; p < points; ++p)
        if (!(pw[4 * p + 3] > 0)) {
            reason = "control point weight not positive";
            return false;
        }
    // The knot domain the host gave, within where the basis is defined; the whole range when the
    // domain was never set.
    double u0 = bu.low(), u1 = bu.high(), v0 = bv.low(), v1 = bv.high();
    if (has_domain && domain[0] < domain[1] && domain[2] < domain[3]) {
        u0 = std::clamp(domain[0], bu.low(), bu.high());
        u1 = std::clamp(domain[1], bu.low(), bu.high());
        v0 = std::clamp(domain[2], bv.low(), bv.high());
        v1 = std::clamp(domain[3], bv.low(), bv.high());
        if (!(u0 < u1 && v0 < v1)) {
            u0 = bu.low(), u1 = bu.high(), v0 = bv.low(), v1 = bv.high();
        }
    }
    std::vector<TrimLoop> loops;
    if (!trim_loops(g, loops, reason)) return false;

    const int segments = std::max(1, segments_per_span);
    const std::vector<double> us = grid(bu, u0, u1, segments);
    const std::vector<double> vs = grid(bv, v0, v1, segments);
    const std::size_t nu = us.size(), nv = vs.size();
    std::vector<double> pos(3 * nu * nv);
    for (std::size_t j = 0; j < nv; ++j) {
        const int sv = bv.span(vs[j]);
        double nvb[kMaxOrder];
        bv.functions(sv, vs[j], nvb);
        for (std::size_t i = 0; i < nu; ++i) {
            const int su = bu.span(us[i]);
            double nub[kMaxOrder];
            bu.functions(su, us[i], nub);
            double s[4] = {0, 0, 0, 0};
            for (int b = 0; b < bv.order; ++b)
                for (int a = 0; a < bu.order; ++a) {
                    const std::size_t index =
                        static_cast<std::size_t>(sv - bv.order + 1 + b) * bu.count +
                        (su - bu.order + 1 + a);
                    const double* q = pw.data() + 4 * index;
                    const double f = nub[a] * nvb[b] * q[3];
                    s[0] += f * q[0];
                    s[1] += f * q[1];
                    s[2] += f * q[2];
                    s[3] += f;
                }
            for (int k = 0; k < 3; ++k)
                pos[3 * (j * nu + i) + k] = s[3] != 0 ? s[k] / s[3] : 0;
        }
    }
    // Two triangles per cell, each kept when its centre is inside the trimmed region.
    std::vector<std::uint32_t> used(nu * nv, 0);
    std::vector<std::array<std::size_t, 3>> tris;
    for (std::size_t j = 0; j + 1 < nv; ++j)
        for (std::size_t i = 0; i + 1 < nu; ++i) {
            const std::size_t a = j * nu + i, b = a + 1, c = a + nu, d = c + 1;
            const std::array<std::size_t, 3> cell[2] = {{a, b, d}, {a, d, c}};
            for (const auto& t : cell) {
                Point2 centre{0, 0};
                for (std::size_t k : t) {
                    centre[0] += us[k % nu] / 3;
                    centre[1] += vs[k / nu] / 3;
                }
                if (!loops.empty() && !kept(loops, centre)) continue;
                tris.push_back(t);
            }
        }
    // Vertices the kept triangles use, with area-weighted normals and the parameters as uvs.
    std::vector<std::uint32_t> remap(nu * nv, UINT32_MAX);
    std::vector<double> normal_sum;
    for (const auto& t : tris)
        for (std::size_t k : t)
            if (remap[k] == UINT32_MAX) {
                remap[k] = static_cast<std::uint32_t>(mesh.positions.size() / 3);
                for (int c = 0; c < 3; ++c)
                    mesh.positions.push_back(static_cast<float>(pos[3 * k + c]));
                mesh.uvs.push_back(static_cast<float>((us[k % nu] - u0) / (u1 - u0)));
                mesh.uvs.push_back(static_cast<float>((vs[k / nu] - v0) / (v1 - v0)));
                normal_sum.insert(normal_sum.end(), {0.0, 0.0, 0.0});
            }
    for (const auto& t : tris) {
        const double* p0 = &pos[3 * t[0]];
        const double* p1 = &pos[3 * t[1]];
        const double* p2 = &pos[3 * t[2]];
        const double e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        const double e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                             e1[0] * e2[1] - e1[1] * e2[0]};
        for (std::size_t k : t) {
            mesh.indices.push_back(remap[k]);
            for (int c = 0; c < 3; ++c)
                normal_sum[3 * remap[k] + c] += n[c];
        }
    }
    for (std::size_t v = 0; v < normal_sum.size() / 3; ++v) {
        const double* n = &normal_sum[3 * v];
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (int c = 0; c < 3; ++c)
            mesh.normals.push_back(length > 0 && std::isfinite(length)
                                       ? static_cast<float>(n[c] / length)
                                       : (c == 2 ? 1.0f : 0.0f));
    }
    return true;
}

} // namespace vtl::gltf::detail
