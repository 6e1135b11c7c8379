#include "dev/nodes/triangle_object.h"

#include "dev/materials/diffuse.h"
#include "dev/vtlsceneapi_oo.h"
#include "file_api/chunk_pipeline.h"
#include "file_api/scene_text.h"

#include <memory>
#include <utility>

using namespace vtl::scene_text;

namespace vtl {

TriangleObject::TriangleObject(std::string name) : LightGeometry(std::move(name)) {
    set_material(std::make_shared<Diffuse>("default"));
}

TriangleObject::~TriangleObject() = default;

void TriangleObject::add_vertex(float x, float y, float z) {
    vertices.insert(vertices.end(), {x, y, z});
}

void TriangleObject::add_triangle(int a, int b, int c) {
    triangles.insert(triangles.end(), {a, b, c});
}

void TriangleObject::add_uv(float u, float v) {
    uvs.insert(uvs.end(), {u, v});
}

void TriangleObject::add_uv_triangle(int a, int b, int c) {
    uv_triangles.insert(uv_triangles.end(), {a, b, c});
}

void TriangleObject::add_normal(float x, float y, float z) {
    normals.insert(normals.end(), {x, y, z});
}

void TriangleObject::add_normal_triangle(int a, int b, int c) {
    normal_triangles.insert(normal_triangles.end(), {a, b, c});
}

void TriangleObject::add_vcolor(float r, float g, float b) {
    vcolors.insert(vcolors.end(), {r, g, b});
}

void TriangleObject::set_vertices(const float* values, std::size_t count) {
    vertices.assign(values, values + count);
}

void TriangleObject::set_triangles(const int* values, std::size_t count) {
    triangles.assign(values, values + count);
}

void TriangleObject::set_uvs(const float* values, std::size_t count) {
    uvs.assign(values, values + count);
}

void TriangleObject::set_normals(const float* values, std::size_t count) {
    normals.assign(values, values + count);
}

namespace {
// Appends `count` values, growing the array at most once: to exactly what is needed for the
// first bulk append, by at least half its capacity when bulk appends come in pieces.
template <typename T> void append(std::vector<T>& array, const T* values, std::size_t count) {
    if (count == 0) return;
    const std::size_t needed = array.size() + count;
    if (needed > array.capacity()) {
        const std::size_t grown = array.capacity() + array.capacity() / 2;
        array.reserve(needed > grown ? needed : grown);
    }
    // The copy below is the first write to that memory: its pages are backed first, on the
    // library's threads when there are many.
    chunk_pipeline::prepare_in_parts(array.data() + array.size(), count * sizeof(T),
                                     chunk_pipeline::default_threads());
    array.insert(array.end(), values, values + count);
}
} // namespace

void TriangleObject::append_vertices(const float* values, std::size_t count) {
    append(vertices, values, count);
}

void TriangleObject::append_triangles(const int* values, std::size_t count) {
    append(triangles, values, count);
}

void TriangleObject::append_uvs(const float* values, std::size_t count) {
    append(uvs, values, count);
}

void TriangleObject::append_normals(const float* values, std::size_t count) {
    append(normals, values, count);
}

uint64_t TriangleObject::data_size() const {
    const std::size_t values = vertices.size() + triangles.size() + uvs.size() +
                               uv_triangles.size() + normals.size() + normal_triangles.size() +
                               vcolors.size();
    return 4 * static_cast<uint64_t>(values);
}

bool TriangleObject::validate() {
    if (is_instance()) return true;
    std::string text;
    if (normals.empty()) {
        if (!normal_triangles.empty()) text += "No normals defined for index";
    } else if (normal_triangles.empty()) {
        if (normals.size() != vertices.size())
            text += "Number of normals does not equal number of vertices";
    } else if (normal_triangles.size() != triangles.size()) {
        text += "Normals count does not match number of triangles " +
                std::to_string(normal_triangles.size()) + " vs " + std::to_string(triangles.size());
    }
    if (uvs.empty()) {
        if (!uv_triangles.empty()) text += "No uvs defined for index";
    } else if (uv_triangles.empty()) {
        // One uv (two values) per vertex (three values).
        if (2 * vertices.size() != 3 * uvs.size()) {
            text += "Number of uvs(" + std::to_string(uvs.size()) +
                    ")  does not match vertex count(" + std::to_string(vertices.size()) + ")";
        }
    } else if (uv_triangles.size() != triangles.size()) {
        text += "UV index count does not match triangle count";
    }
    if (!vcolors.empty() && vcolors.size() != vertices.size())
        text += "VetexColor count does not match number of vertices";
    if (triangles.empty()) text += "No triangles defined";
    validation_message = std::move(text);
    return !triangles.empty();
}

void TriangleObject::emit(vtlSceneapi_oo& oo) {
    vtlScene_api* api = oo.get_api();
    if (api == nullptr) return;
    if (validate()) emit_placed(*api, oo);
    if (!validation_message.empty()) oo.error(validation_message);
}

void TriangleObject::emit_geometry(vtlSceneapi_oo& oo) {
    if (emit_instance_geometry(oo)) return;
    vtlScene_api* api = oo.get_api();
    api->begin_geometry(kTriangles);
    oo.set_vec3_array(kVertices, vertices);
    oo.set_array(kTriangles, triangles);
    if (!uv_triangles.empty()) oo.set_array(kTrianglesUv, uv_triangles);
    if (!uvs.empty()) oo.set_array(kUvTex, uvs);
    if (!normal_triangles.empty()) oo.set_array("triangles_norm", normal_triangles);
    if (!normals.empty()) oo.set_vec3_array(kNormals, normals);
    if (!vcolors.empty()) oo.set_vec3_array("vcolors", vcolors);
    api->end_geometry();
}

namespace {
// Empties an array and gives its memory back.
template <typename T> void release(std::vector<T>& values) {
    std::vector<T>().swap(values);
}
} // namespace

void TriangleObject::release_data() {
    release(vertices);
    release(triangles);
    release(uvs);
    release(uv_triangles);
    release(normals);
    release(normal_triangles);
    release(vcolors);
}

} // namespace vtl
