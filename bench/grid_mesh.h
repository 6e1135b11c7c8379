#pragma once
// The synthetic grid mesh of the benchmarks: side × side squares (two triangles each), with
// normals and uvs.

#include <cstddef>
#include <vector>

struct GridMesh {
    std::vector<float> vertices, normals, uvs;
    std::vector<int> triangles;

    explicit GridMesh(int side) {
        for (int y = 0; y <= side; ++y) {
            for (int x = 0; x <= side; ++x) {
                float u = float(x) / side, v = float(y) / side;
                vertices.insert(vertices.end(), {u * 1000.0f - 500.0f, v * 731.5f, 0.25f * u * v});
                normals.insert(normals.end(), {0.0f, 0.6f * u, 0.8f});
                uvs.insert(uvs.end(), {u, v});
            }
        }
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                int a = y * (side + 1) + x, b = a + 1, c = a + side + 1, d = c + 1;
                triangles.insert(triangles.end(), {a, b, d, a, d, c});
            }
        }
    }
    int vertex_count() const { return int(vertices.size() / 3); }
    int triangle_count() const { return int(triangles.size() / 3); }
    std::size_t raw_bytes() const {
        return 4 * (vertices.size() + normals.size() + uvs.size() + triangles.size());
    }
    // Calls of the per-value exports that hand the mesh over.
    std::size_t single_calls() const {
        return 3 * std::size_t(vertex_count()) + std::size_t(triangle_count());
    }
};
