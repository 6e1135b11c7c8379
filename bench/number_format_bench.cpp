// Time to write one number of a mesh as "%g" text: our writer, the C library's snprintf and
// std::to_chars with precision 6. Each iteration writes one number, so the time column reads
// as nanoseconds per number.

#include "file_api/number_format.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr std::size_t mesh_vertices = 4096;
constexpr int g_precision = 6;
constexpr const char* g_format = "%g";
constexpr const char* fixed16_format = "%16.16f";

// What a mesh hands over: positions with three decimals in -1000..1000, unit normals and
// texture coordinates in 0..1, eight floats per vertex.
std::vector<float> mesh_floats() {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> thousandths(-1000000, 1000000);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_real_distribution<float> texture(0.0f, 1.0f);
    std::vector<float> values;
    values.reserve(mesh_vertices * 8);
    for (std::size_t i = 0; i < mesh_vertices; ++i) {
        for (int axis = 0; axis < 3; ++axis)
            values.push_back(thousandths(random) / 1000.0f);
        const float x = unit(random), y = unit(random), z = unit(random);
        const float length = std::sqrt(x * x + y * y + z * z) + 1e-6f;
        values.insert(values.end(), {x / length, y / length, z / length});
        values.insert(values.end(), {texture(random), texture(random)});
    }
    return values;
}

const std::vector<float>& floats() {
    static const std::vector<float> values = mesh_floats();
    return values;
}

const std::vector<double>& doubles() {
    static const std::vector<double> values = [] {
        std::mt19937_64 random(11);
        std::uniform_real_distribution<double> coordinate(-1000.0, 1000.0);
        std::vector<double> v(mesh_vertices * 8);
        for (double& d : v)
            d = coordinate(random);
        return v;
    }();
    return values;
}

// Runs `write` over the sample, one number per iteration.
template <class T, class Write>
void run(benchmark::State& state, const std::vector<T>& sample, Write write) {
    char text[vtl::number_format::max_chars];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(write(text, sample[i]));
        benchmark::ClobberMemory();
        if (++i == sample.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void g_float_ours(benchmark::State& state) {
    run(state, floats(), [](char* out, float v) { return vtl::number_format::g_float(out, v); });
}

void g_float_snprintf(benchmark::State& state) {
    run(state, floats(), [](char* out, float v) {
        return std::snprintf(out, vtl::number_format::max_chars, g_format, static_cast<double>(v));
    });
}

void g_float_to_chars(benchmark::State& state) {
    run(state, floats(), [](char* out, float v) {
        return std::to_chars(out, out + vtl::number_format::max_chars, static_cast<double>(v),
                             std::chars_format::general, g_precision)
            .ptr;
    });
}

void g_double_ours(benchmark::State& state) {
    run(state, doubles(), [](char* out, double v) { return vtl::number_format::g(out, v); });
}

void g_double_snprintf(benchmark::State& state) {
    run(state, doubles(), [](char* out, double v) {
        return std::snprintf(out, vtl::number_format::max_chars, g_format, v);
    });
}

void fixed16_ours(benchmark::State& state) {
    run(state, doubles(), [](char* out, double v) { return vtl::number_format::fixed16(out, v); });
}

void fixed16_snprintf(benchmark::State& state) {
    run(state, doubles(), [](char* out, double v) {
        return std::snprintf(out, vtl::number_format::max_chars, fixed16_format, v);
    });
}

BENCHMARK(g_float_ours);
BENCHMARK(g_float_snprintf);
BENCHMARK(g_float_to_chars);
BENCHMARK(g_double_ours);
BENCHMARK(g_double_snprintf);
BENCHMARK(fixed16_ours);
BENCHMARK(fixed16_snprintf);

} // namespace

BENCHMARK_MAIN();
