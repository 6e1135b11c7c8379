#pragma once
// One triangle mesh gathered value by value: vertices, triangles, texture coordinates, normals
// and vertex colours. Written as a placed object, as a numbered definition, or as a placement of
// such a definition.

#include "dev/nodes/light_geometry.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vtl {

class TriangleObject : public LightGeometry {
public:
    // Names the mesh and gives it the default diffuse material "default".
    explicit TriangleObject(std::string name);

    // Writes the placed object (after validation), or a placement of the defined object.
    void emit(vtlSceneapi_oo& oo) override;
    ~TriangleObject() override;
    // Four bytes per stored value.
    uint64_t data_size() const override;

    // Checks that the arrays agree; keeps the findings in the validation message. False when
    // the mesh has no triangles (only tested for a node that holds its own data).
    bool validate();
    // The findings of the last validation; empty when there were none.
    const std::string& get_validation_message() const { return validation_message; }

    // Appending, one element at a time; nothing is checked.
    void add_vertex(float x, float y, float z);
    void add_triangle(int a, int b, int c);
    void add_uv(float u, float v);
    void add_uv_triangle(int a, int b, int c);
    void add_normal(float x, float y, float z);
    void add_normal_triangle(int a, int b, int c);
    void add_vcolor(float r, float g, float b);

    // Replacing a whole array with copies of `count` values.
    void set_vertices(const float* values, std::size_t count);
    void set_triangles(const int* values, std::size_t count);
    void set_uvs(const float* values, std::size_t count);
    void set_normals(const float* values, std::size_t count);

    // Appending `count` values (whole elements: three per vertex, normal or triangle, two per
    // texture coordinate) in one step; the array grows once to hold them.
    void append_vertices(const float* values, std::size_t count);
    void append_triangles(const int* values, std::size_t count);
    void append_uvs(const float* values, std::size_t count);
    void append_normals(const float* values, std::size_t count);

    // Read access to the arrays.
    const std::vector<float>& get_vertices() const { return vertices; }
    const std::vector<int>& get_triangles() const { return triangles; }
    const std::vector<float>& get_uvs() const { return uvs; }
    const std::vector<float>& get_normals() const { return normals; }

protected:
    // Writes the geometry block: a reference to the defined object, or the whole mesh.
    void emit_geometry(vtlSceneapi_oo& oo) override;
    // Empties all seven arrays and gives their memory back.
    void release_data() override;

private:
    std::vector<float> vertices;
    std::vector<int> triangles;
    std::vector<float> uvs;
    std::vector<int> uv_triangles;
    std::vector<float> normals;
    std::vector<int> normal_triangles;
    std::vector<float> vcolors;
    std::string validation_message;
};

} // namespace vtl
