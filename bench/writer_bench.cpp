// Throughput of the Scene file writer on a synthetic grid mesh, written as a Scene file writes it
// (text arrays, indentation on) into /dev/null.

#include "grid_mesh_text.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void BM_WriteGridMesh(benchmark::State& state) {
    GridMesh mesh(int(state.range(0)));
    // The size of one mesh's text, measured once in memory.
    const size_t bytes = grid_mesh_text(mesh).size();

    FILE* sink = std::fopen("/dev/null", "wb");
    for (auto _ : state) {
        vtlScene_api_file writer(sink, true);
        writer.set_writer_flags(1);
        write_grid_mesh(writer, mesh);
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
