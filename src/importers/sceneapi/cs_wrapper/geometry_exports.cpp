// Exports that build meshes, instances, NURBS surfaces with their trimming, and groups.

#include "sceneapi_cs_wrapper.h"

#include "cs_wrapper/export_state.h"
#include "cs_wrapper/export_support.h"

#include <cstdint>
#include <memory>
#include <utility>

using namespace vtl;

namespace {

// Writes the node in `slot` as a definition, places it when asked, hands back its id and
// empties the slot. With no destination open the node is dropped unwritten.
template <typename Node>
void end_defined(std::shared_ptr<Node>& slot, int* object_id, bool emit_now) {
    std::shared_ptr<Node> node = take(slot);
    vtlSceneapi_oo* oo = export_state().front();
    if (!node || !oo) return;
    node->define(*oo);
    if (emit_now) node->emit(*oo);
    if (object_id) *object_id = static_cast<int>(static_cast<uint32_t>(node->get_object_id()));
}

// Runs an add or set export on the node under construction in `slot`; without one (none was
// begun) the call does nothing.
template <typename Node, typename Step>
void on_node(const char* export_name, std::shared_ptr<Node> ExportState::*slot, Step&& step) {
    guarded(export_name, [&] {
        if (Node* node = (export_state().*slot).get()) step(*node);
    });
}

// Appends `count` elements of `width` values each to the mesh under construction; null values
// and counts below one are ignored.
template <typename T>
void append_to_mesh(const char* export_name, void (TriangleObject::*append)(const T*, std::size_t),
                    const T* values, int count, std::size_t width) {
    on_node(export_name, &ExportState::triangles, [&](TriangleObject& mesh) {
        if (values && count > 0) (mesh.*append)(values, width * static_cast<std::size_t>(count));
    });
}

} // namespace

extern "C" {

SCENEAPI_EXPORT void beginTriangleObject(const char* name) {
    guarded(__func__, [&] {
        export_state().triangles = std::make_shared<TriangleObject>(host_string(name));
    });
}

SCENEAPI_EXPORT void addVertex(float x, float y, float z) {
    on_node(__func__, &ExportState::triangles, [&](TriangleObject& m) { m.add_vertex(x, y, z); });
}

SCENEAPI_EXPORT void addNormal(float x, float y, float z) {
    on_node(__func__, &ExportState::triangles, [&](TriangleObject& m) { m.add_normal(x, y, z); });
}

SCENEAPI_EXPORT void addUV(float u, float v) {
    on_node(__func__, &ExportState::triangles, [&](TriangleObject& m) { m.add_uv(u, v); });
}

SCENEAPI_EXPORT void addTriangle(int a, int b, int c) {
    on_node(__func__, &ExportState::triangles, [&](TriangleObject& m) { m.add_triangle(a, b, c); });
}

SCENEAPI_EXPORT void addVertices(const float* xyz, int count) {
    append_to_mesh(__func__, &TriangleObject::append_vertices, xyz, count, 3);
}

SCENEAPI_EXPORT void addNormals(const float* xyz, int count) {
    append_to_mesh(__func__, &TriangleObject::append_normals, xyz, count, 3);
}

SCENEAPI_EXPORT void addUVs(const float* uv, int count) {
    append_to_mesh(__func__, &TriangleObject::append_uvs, uv, count, 2);
}

SCENEAPI_EXPORT void addTriangles(const int* abc, int count) {
    append_to_mesh(__func__, &TriangleObject::append_triangles, abc, count, 3);
}

SCENEAPI_EXPORT void endTriangleObject(int* objectId, bool emitNow) {
    guarded(__func__, [&] { end_defined(export_state().triangles, objectId, emitNow); });
}

SCENEAPI_EXPORT void beginInstanceObject(const char* name) {
    guarded(__func__, [&] {
        export_state().triangles = std::make_shared<TriangleObject>(host_string(name));
    });
}

SCENEAPI_EXPORT void setInstanceId(int objectId) {
    on_node(__func__, &ExportState::triangles,
            [&](TriangleObject& m) { m.set_object_id(static_cast<uint64_t>(int64_t{objectId})); });
}

SCENEAPI_EXPORT void endInstanceObject(void) {
    guarded(__func__, [] {
        std::shared_ptr<TriangleObject> node = take(export_state().triangles);
        vtlSceneapi_oo* oo = export_state().front();
        if (node && oo) node->emit(*oo);
    });
}

SCENEAPI_EXPORT void beginNURBSObject(const char* name) {
    guarded(__func__, [&] {
        export_state().nurbs = std::make_shared<SimpleNurbsSurface>(host_string(name));
    });
}

SCENEAPI_EXPORT void setKnotDomain(double umin, double umax, double vmin, double vmax) {
    on_node(__func__, &ExportState::nurbs,
            [&](SimpleNurbsSurface& s) { s.set_knot_domain(umin, umax, vmin, vmax); });
}

SCENEAPI_EXPORT void setOrderUV(int uOrder, int vOrder) {
    on_node(__func__, &ExportState::nurbs, [&](SimpleNurbsSurface& s) {
        s.set_order(static_cast<double>(uOrder), static_cast<double>(vOrder));
    });
}

SCENEAPI_EXPORT void addUKnot(double knot) {
    on_node(__func__, &ExportState::nurbs, [&](SimpleNurbsSurface& s) { s.add_uknot(knot); });
}

SCENEAPI_EXPORT void addVKnot(double knot) {
    on_node(__func__, &ExportState::nurbs, [&](SimpleNurbsSurface& s) { s.add_vknot(knot); });
}

SCENEAPI_EXPORT void addControlPoint(double x, double y, double z, double w) {
    on_node(__func__, &ExportState::nurbs,
            [&](SimpleNurbsSurface& s) { s.add_control_point(x, y, z, w); });
}

SCENEAPI_EXPORT void endNURBSObject(int* objectId, bool emitNow) {
    guarded(__func__, [&] { end_defined(export_state().nurbs, objectId, emitNow); });
}

SCENEAPI_EXPORT void beginTrim(void) {
    guarded(__func__, [] { export_state().trim = std::make_shared<NurbsCurve>(); });
}

SCENEAPI_EXPORT void addTrimCurve(int edgeCount, int inside) {
    on_node(__func__, &ExportState::trim, [&](NurbsCurve& t) { t.add_trim(edgeCount, inside); });
}

SCENEAPI_EXPORT void setTrimDomain(double min, double max) {
    on_node(__func__, &ExportState::trim, [&](NurbsCurve& t) { t.add_edge_domain(min, max); });
}

SCENEAPI_EXPORT void setTrimOrder(int order) {
    on_node(__func__, &ExportState::trim, [&](NurbsCurve& t) { t.add_edge_order(order); });
}

SCENEAPI_EXPORT void addTrimNumKnots(int knotCount) {
    on_node(__func__, &ExportState::trim, [&](NurbsCurve& t) { t.add_edge_nknots(knotCount); });
}

SCENEAPI_EXPORT void addTrimKnot(double knot) {
    on_node(__func__, &ExportState::trim, [&](NurbsCurve& t) { t.add_edge_knot(knot); });
}

SCENEAPI_EXPORT void addTrimControlPoint(double u, double v, double w) {
    on_node(__func__, &ExportState::trim, [&](NurbsCurve& t) { t.add_edge_uvw(u, v, w); });
}

SCENEAPI_EXPORT void endTrim(void) {
    guarded(__func__, [] {
        ExportState& state = export_state();
        std::shared_ptr<NurbsCurve> curve = take(state.trim);
        if (curve && state.nurbs) state.nurbs->set_trim(curve);
    });
}

SCENEAPI_EXPORT void beginGroup(const char* name) {
    guarded(__func__, [&] {
        ExportState& state = export_state();
        if (vtlSceneapi_oo* oo = state.front()) {
            oo->begin_group(host_string(name));
            ++state.open_groups;
        }
    });
}

SCENEAPI_EXPORT void endGroup(void) {
    guarded(__func__, [] {
        // A group that was never opened is not closed: the file stays balanced.
        ExportState& state = export_state();
        vtlSceneapi_oo* oo = state.front();
        if (oo && state.open_groups > 0) {
            oo->end_group();
            --state.open_groups;
        }
    });
}

} // extern "C"
