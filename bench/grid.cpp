// Height and slope queries per point: a periodic main grid alone, and the main grid with four
// auxiliary grids (a periodic swell, a rotated local patch, a radial ripple and a multiplicative mask).
#include "ocean/HyGridMulti.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kPoints = 4096;

std::vector<double> points(double extent, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-extent, extent);
    std::vector<double> p(2 * kPoints);
    for (double& v : p)
        v = u(rng);
    return p;
}

void fill(float* a, int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int k = 0; k < n; ++k)
        a[k] = u(rng);
}

HyGridMulti* make_grid(bool with_aux)
{
    // Main 512 x 512 at 0.5 m; aux 0 is the 256 x 256 large lattice at 8 m.
    auto* g = new HyGridMulti(512, 512, 0.5, 0.5, 256, 256, 8.0, 8.0);
    fill(g->heights, 512 * 512, 1);
    if (!with_aux) {
        g->remove_aux_grid(g->aux_array[0]);
        return g;
    }
    fill(g->aux_array[0], 256 * 256, 2);
    HyAuxGridRequest r;
    r.nx = r.ny = 128;
    r.dx = r.dy = 1.0;
    r.periodic = 0;
    r.type = kHyAuxAdditive;
    r.rotated = 1;
    r.angle = 0.6;
    fill(g->add_aux_grid(r), 128 * 128, 3);
    r = HyAuxGridRequest();
    r.nx = 201;
    r.ny = 1;
    r.dx = r.dy = 0.1;
    r.periodic = 0;
    r.type = kHyAuxAdditiveRadial;
    fill(g->add_aux_grid(r), 201, 4);
    r = HyAuxGridRequest();
    r.nx = r.ny = 64;
    r.dx = r.dy = 2.0;
    r.periodic = 0;
    r.type = kHyAuxMultiplicative;
    float* m = g->add_aux_grid(r);
    for (int k = 0; k < 64 * 64; ++k)
        m[k] = 0.75f;
    for (int g_ = 1; g_ < g->aux_count; ++g_)
        g->aux_offset_x[g_] = g->aux_offset_y[g_] = 0.0;
    return g;
}

void BM_GetHeight(benchmark::State& state)
{
    HyGridMulti* g = make_grid(state.range(0) != 0);
    const std::vector<double> p = points(300.0, 7);
    std::size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(g->get_height(p[k], p[k + 1]));
        k = (k + 2) & (2 * kPoints - 1);
    }
    state.SetLabel(state.range(0) ? "main + 4 aux" : "periodic main only");
    delete g;
}

void BM_GetSlope(benchmark::State& state)
{
    HyGridMulti* g = make_grid(state.range(0) != 0);
    const std::vector<double> p = points(300.0, 8);
    std::size_t k = 0;
    double sx, sy;
    for (auto _ : state) {
        g->get_slope(p[k], p[k + 1], sx, sy);
        benchmark::DoNotOptimize(sx);
        benchmark::DoNotOptimize(sy);
        k = (k + 2) & (2 * kPoints - 1);
    }
    state.SetLabel(state.range(0) ? "main + 4 aux" : "periodic main only");
    delete g;
}

// The plain HyGrid path (no auxiliary loop at all).
void BM_GetHeightPlainGrid(benchmark::State& state)
{
    HyGrid g(512, 512, 0.5, 0.5);
    fill(g.heights, 512 * 512, 1);
    const std::vector<double> p = points(300.0, 9);
    std::size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(g.get_height(p[k], p[k + 1]));
        k = (k + 2) & (2 * kPoints - 1);
    }
}

} // namespace

BENCHMARK(BM_GetHeight)->Arg(0)->Arg(1);
BENCHMARK(BM_GetSlope)->Arg(0)->Arg(1);
BENCHMARK(BM_GetHeightPlainGrid);

BENCHMARK_MAIN();
