// Throughput of the Scene file writer on a synthetic grid mesh, written as a Scene file writes it
// (text arrays, indentation on) into /dev/null, on the calling thread alone (threads:1) and with
// the writer's own thread count (SCENEAPI_THREADS, else the cores).

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
        vtlScene_api_file::ArrayThreading threading = writer.array_threading();
        if (state.range(1) == 1) threading.threads = 1;
        writer.set_array_threading(threading);
        state.counters["threads"] = double(threading.threads);
        write_grid_mesh(writer, mesh);
    }
    std::fflush(sink);
    std::fclose(sink);
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
    state.counters["triangles/s"] = benchmark::Counter(
        double(mesh.triangle_count()) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["MB_per_mesh"] = double(bytes) / 1e6;
}
// Arguments: the grid's side, then 1 for one thread or 0 for the writer's own count.
BENCHMARK(BM_WriteGridMesh)
    ->Args({224, 1})
    ->Args({224, 0})
    ->Args({707, 1})
    ->Args({707, 0})
    ->ArgNames({"side", "one_thread"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
