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
    std::shared_ptr<Node> node = std::move(slot);
    slot.reset();
    vtlSceneapi_oo* oo = export_state().front();
    if (!node || !oo) return;
    node->define(*oo);
    if (emit_now) node->emit(*oo);
    if (object_id) *object_id = static_cast<int>(static_cast<uint32_t>(node->get_object_id()));
}

// The node in the slot, for an add or set export (null when none was begun).
TriangleObject* mesh() {
    return export_state().triangles.get();
}
// Appends `count` elements of `width` values each to the mesh under construction; null values
// and counts below one are ignored.
template <typename T>
void append_to_mesh(void (TriangleObject::*append)(const T*, std::size_t), const T* values,
                    int count, std::size_t width) {
    TriangleObject* m = mesh();
    if (m && values && count > 0) (m->*append)(values, width * static_cast<std::size_t>(count));
}

SimpleNurbsSurface* surface() {
    return export_state().nurbs.get();
}
NurbsCurve* trim() {
    return export_state().trim.get();
}

} // namespace

extern "C" {

SCENEAPI_EXPORT void beginTriangleObject(const char* name) {
    try {
        export_state().triangles = std::make_shared<TriangleObject>(host_string(name));
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addVertex(float x, float y, float z) {
    try {
        if (TriangleObject* m = mesh()) m->add_vertex(x, y, z);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addNormal(float x, float y, float z) {
    try {
        if (TriangleObject* m = mesh()) m->add_normal(x, y, z);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addUV(float u, float v) {
    try {
        if (TriangleObject* m = mesh()) m->add_uv(u, v);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addTriangle(int a, int b, int c) {
    try {
        if (TriangleObject* m = mesh()) m->add_triangle(a, b, c);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addVertices(const float* xyz, int count) {
    try {
        append_to_mesh(&TriangleObject::append_vertices, xyz, count, 3);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addNormals(const float* xyz, int count) {
    try {
        append_to_mesh(&TriangleObject::append_normals, xyz, count, 3);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addUVs(const float* uv, int count) {
    try {
        append_to_mesh(&TriangleObject::append_uvs, uv, count, 2);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addTriangles(const int* abc, int count) {
    try {
        append_to_mesh(&TriangleObject::append_triangles, abc, count, 3);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void endTriangleObject(int* objectId, bool emitNow) {
    try {
        end_defined(export_state().triangles, objectId, emitNow);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void beginInstanceObject(const char* name) {
    try {
        export_state().triangles = std::make_shared<TriangleObject>(host_string(name));
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void setInstanceId(int objectId) {
    try {
        if (TriangleObject* m = mesh()) m->set_object_id(static_cast<uint64_t>(int64_t{objectId}));
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void endInstanceObject(void) {
    try {
        std::shared_ptr<TriangleObject> node = std::move(export_state().triangles);
        export_state().triangles.reset();
        vtlSceneapi_oo* oo = export_state().front();
        if (node && oo) node->emit(*oo);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void beginNURBSObject(const char* name) {
    try {
        export_state().nurbs = std::make_shared<SimpleNurbsSurface>(host_string(name));
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void setKnotDomain(double umin, double umax, double vmin, double vmax) {
    try {
        if (SimpleNurbsSurface* s = surface()) s->set_knot_domain(umin, umax, vmin, vmax);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void setOrderUV(int uOrder, int vOrder) {
    try {
        if (SimpleNurbsSurface* s = surface())
            s->set_order(static_cast<double>(uOrder), static_cast<double>(vOrder));
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addUKnot(double knot) {
    try {
        if (SimpleNurbsSurface* s = surface()) s->add_uknot(knot);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addVKnot(double knot) {
    try {
        if (SimpleNurbsSurface* s = surface()) s->add_vknot(knot);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addControlPoint(double x, double y, double z, double w) {
    try {
        if (SimpleNurbsSurface* s = surface()) s->add_control_point(x, y, z, w);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void endNURBSObject(int* objectId, bool emitNow) {
    try {
        end_defined(export_state().nurbs, objectId, emitNow);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void beginTrim(void) {
    try {
        export_state().trim = std::make_shared<NurbsCurve>();
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addTrimCurve(int edgeCount, int inside) {
    try {
        if (NurbsCurve* t = trim()) t->add_trim(edgeCount, inside);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void setTrimDomain(double min, double max) {
    try {
        if (NurbsCurve* t = trim()) t->add_edge_domain(min, max);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void setTrimOrder(int order) {
    try {
        if (NurbsCurve* t = trim()) t->add_edge_order(order);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addTrimNumKnots(int knotCount) {
    try {
        if (NurbsCurve* t = trim()) t->add_edge_nknots(knotCount);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addTrimKnot(double knot) {
    try {
        if (NurbsCurve* t = trim()) t->add_edge_knot(knot);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void addTrimControlPoint(double u, double v, double w) {
    try {
        if (NurbsCurve* t = trim()) t->add_edge_uvw(u, v, w);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void endTrim(void) {
    try {
        ExportState& state = export_state();
        std::shared_ptr<NurbsCurve> curve = std::move(state.trim);
        state.trim.reset();
        if (curve && state.nurbs) state.nurbs->set_trim(curve);
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void beginGroup(const char* name) {
    try {
        ExportState& state = export_state();
        if (vtlSceneapi_oo* oo = state.front()) {
            oo->begin_group(host_string(name));
            ++state.open_groups;
        }
    } catch (...) {
        report_exception(__func__);
    }
}

SCENEAPI_EXPORT void endGroup(void) {
    try {
        // A group that was never opened is not closed: the file stays balanced.
        ExportState& state = export_state();
        vtlSceneapi_oo* oo = state.front();
        if (oo && state.open_groups > 0) {
            oo->end_group();
            --state.open_groups;
        }
    } catch (...) {
        report_exception(__func__);
    }
}

} // extern "C"
