// Throughput of the Scene file reader on the synthetic grid mesh of writer_bench (100,000 and
// 1,000,000 triangles, with normals and uvs), written as a Scene file writes it and read back
// from memory.

#include "file_api/vtlscene_api_file.h"
#include "reader/scene_reader.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The text of one grid mesh of side × side squares (two triangles each).
std::string grid_mesh_text(int side) {
    std::vector<float> vertices, normals, uvs;
    std::vector<int> triangles;
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
    char* data = nullptr;
    size_t size = 0;
    FILE* memory = open_memstream(&data, &size);
    {
        vtlScene_api_file w(memory, true);
        w.set_writer_flags(1);
        vtlArray v{vertices.data(), uint32_t(vertices.size() / 3)};
        vtlArray n{normals.data(), uint32_t(normals.size() / 3)};
        vtlArray t{uvs.data(), uint32_t(uvs.size())};
        vtlArray i{triangles.data(), uint32_t(triangles.size())};
        w.begin_object("grid", false);
        w.set_id(1);
        w.begin_geometry("triangles");
        w.set_parameter("vertices", vtl_type::array_of(vtl_type::color), &v);
        w.set_parameter("triangles", vtl_type::array_of(vtl_type::integer), &i);
        w.set_parameter("normals", vtl_type::array_of(vtl_type::color), &n);
        w.set_parameter("uv_tex", vtl_type::array_of(vtl_type::float1), &t);
        w.end_geometry();
        w.end_object();
    }
    std::fclose(memory);
    std::string text(data, size);
    std::free(data);
    return text;
}

void BM_ReadGridMesh(benchmark::State& state) {
    const int side = int(state.range(0));
    const std::string text = grid_mesh_text(side);
    for (auto _ : state) {
        vtl::reader::ReadResult r = vtl::reader::read_scene(text);
        if (!r.ok) state.SkipWithError(r.error.describe().c_str());
        benchmark::DoNotOptimize(r.document.nodes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["triangles/s"] = benchmark::Counter(
        2.0 * side * side * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["MB_per_mesh"] = double(text.size()) / 1e6;
}
BENCHMARK(BM_ReadGridMesh)->Arg(224)->Arg(707)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
