// Throughput of the Scene file writer on a synthetic grid mesh, written as a Scene file writes it
// (text arrays, indentation on) into /dev/null.

#include "file_api/vtlscene_api_file.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

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
    size_t triangle_count() const { return triangles.size() / 3; }
};

void write_mesh(vtlScene_api_file& w, const GridMesh& mesh) {
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

void BM_WriteGridMesh(benchmark::State& state) {
    GridMesh mesh(int(state.range(0)));
    // The size of one mesh's text, measured once in memory.
    char* text = nullptr;
    size_t bytes = 0;
    FILE* memory = open_memstream(&text, &bytes);
    {
        vtlScene_api_file writer(memory, true);
        writer.set_writer_flags(1);
        write_mesh(writer, mesh);
    }
    std::fclose(memory);
    std::free(text);

    FILE* sink = std::fopen("/dev/null", "wb");
    for (auto _ : state) {
        vtlScene_api_file writer(sink, true);
        writer.set_writer_flags(1);
        write_mesh(writer, mesh);
    }
    std::fflush(sink);
    std::fclose(sink);
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
    state.counters["triangles/s"] = benchmark::Counter(
        double(mesh.triangle_count()) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["MB_per_mesh"] = double(bytes) / 1e6;
}
BENCHMARK(BM_WriteGridMesh)->Arg(224)->Arg(707)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
