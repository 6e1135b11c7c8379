#pragma once
// The grid mesh written as a Scene file writes it: one object with a triangle geometry, text
// arrays, indentation on.

#include "file_api/vtlscene_api_file.h"
#include "grid_mesh.h"

#include <cstdio>
#include <cstdlib>
#include <string>

inline void write_grid_mesh(vtlScene_api_file& w, const GridMesh& mesh) {
    vtlArray vertices{mesh.vertices.data(), uint32_t(mesh.vertices.size() / 3)};
    vtlArray normals{mesh.normals.data(), uint32_t(mesh.normals.size() / 3)};
    vtlArray uvs{mesh.uvs.data(), uint32_t(mesh.uvs.size())};
    vtlArray triangles{mesh.triangles.data(), uint32_t(mesh.triangles.size())};
    w.begin_object("grid", false);
    w.set_id(1);
    w.begin_geometry("triangles");
    w.set_parameter("vertices", vtl_type::array_of(vtl_type::color), &vertices);
    w.set_parameter("triangles", vtl_type::array_of(vtl_type::integer), &triangles);
    w.set_parameter("normals", vtl_type::array_of(vtl_type::color), &normals);
    w.set_parameter("uv_tex", vtl_type::array_of(vtl_type::float1), &uvs);
    w.end_geometry();
    w.end_object();
}

// The whole text of the mesh, written into memory.
inline std::string grid_mesh_text(const GridMesh& mesh) {
    char* data = nullptr;
    size_t size = 0;
    FILE* memory = open_memstream(&data, &size);
    {
        vtlScene_api_file w(memory, true);
        w.set_writer_flags(1);
        write_grid_mesh(w, mesh);
    }
    std::fclose(memory);
    std::string text(data, size);
    std::free(data);
    return text;
}
