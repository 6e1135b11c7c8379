// Throughput of the Scene file reader on the synthetic grid mesh of writer_bench (100,000 and
// 1,000,000 triangles, with normals and uvs), written as a Scene file writes it and read back
// from memory.

#include "grid_mesh_text.h"
#include "reader/scene_reader.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void BM_ReadGridMesh(benchmark::State& state) {
    const int side = int(state.range(0));
    const std::string text = grid_mesh_text(GridMesh(side));
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
