// One frame of the sea: a wind-wave lattice alone (cached and per-value paths), the rebuild after a
// parameter change, and the whole surface (two primary lattices and two swells) at N = 256..1024.
#include "ocean/HyOceanSurface.h"
#include "platform/HyThreadPool.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

HyOcean_record lattice_record(int n, float* array)
{
    HyOcean_record r;
    r.nx = r.ny = n;
    r.dx = r.dy = 0.075;
    r.heights = array;
    r.seed = 101;
    r.spectrum_type = 104;
    r.wind_speed = 7.5;
    r.vertical_scale = 1.0;
    r.band_low = 1.0 / (n * 0.93);
    r.band_high = 1.0 / (2 * 0.93);
    return r;
}

enum class Frame { cached, per_value, new_wind };

void lattice_frame(benchmark::State& state, Frame kind)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<float> array(static_cast<std::size_t>(n + 2) * n);
    HyOceanSurfaceGridElement e(lattice_record(n, array.data()));
    if (!e.generate_kspace()) {
        state.SkipWithError("generate_kspace failed");
        return;
    }
    e.set_direct_evolution(kind == Frame::per_value);
    double t = 0.0, wind = 7.0;
    if (kind != Frame::new_wind)
        e.evolve_to_time(t); // builds the cache outside the timed loop
    for (auto _ : state) {
        t += 1.0 / 30;
        if (kind == Frame::new_wind) {
            wind += 0.01;
            e.set_wave_parameters(0.0, wind, 0.0, 1.0, 0.0);
        }
        e.evolve_to_time(t);
        e.transform_to_heights();
        benchmark::DoNotOptimize(array.data());
    }
}

void BM_LatticeFrame(benchmark::State& state) { lattice_frame(state, Frame::cached); }
void BM_LatticeFramePerValue(benchmark::State& state) { lattice_frame(state, Frame::per_value); }
// A new wind every frame: the cost of rebuilding frequencies and weights, plus the frame.
void BM_LatticeFrameNewWind(benchmark::State& state) { lattice_frame(state, Frame::new_wind); }

// threads 0: the process's pool as it is (all cores unless SEAVAST_THREADS says otherwise).
void surface_frame(benchmark::State& state, int threads)
{
    if (threads > 0)
        hyplat::HyThreadPool::set_process_threads(threads);
    const int n = static_cast<int>(state.range(0));
    HyOceanSurface s;
    HyPrimaryWaves_data p;
    p.size = n;
    if (!s.allocate_primary_waves(p)) {
        state.SkipWithError("allocate_primary_waves failed");
        return;
    }
    for (int k = 0; k < 2; ++k) {
        HySwell_data w;
        w.size = n;
        w.direction = 0.5 + k;
        w.seed = 3345 + k;
        if (!s.add_new_swell(w)) {
            state.SkipWithError("add_new_swell failed");
            return;
        }
    }
    double t = 0.0;
    s.evolve_to_time(t);
    for (auto _ : state) {
        t += 1.0 / 30;
        s.evolve_to_time(t);
        benchmark::DoNotOptimize(s.get_height(1.0, 2.0));
    }
    if (threads > 0)
        hyplat::HyThreadPool::set_process_threads(0);
}

void BM_SurfaceFrame(benchmark::State& state) { surface_frame(state, 0); }
// The elements evolve side by side: 1 thread against 2, in wall-clock time.
void BM_SurfaceFrameThreads(benchmark::State& state) { surface_frame(state, static_cast<int>(state.range(1))); }

// The per-frame spectral work alone (no transform): one phase rotation per value.
void BM_PhaseRotation(benchmark::State& state)
{
    const std::int64_t n = state.range(0);
    const std::int64_t count = (n / 2 + 1) * n;
    std::vector<float> amplitude(2 * count, 0.5f), out(2 * count);
    std::vector<double> omega(count);
    for (std::int64_t v = 0; v < count; ++v)
        omega[v] = 0.1 + 1e-5 * v;
    double t = 0.0;
    for (auto _ : state) {
        t += 1.0 / 30;
        hywave::rotate_phases(out.data(), amplitude.data(), omega.data(), count, t);
        benchmark::DoNotOptimize(out.data());
    }
}

// The inverse transform alone, as the elements call it.
void BM_InverseTransform(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<float> data(static_cast<std::size_t>(n + 2) * n, 0.0f);
    HySpectralTransform transform;
    for (auto _ : state) {
        data[2] = 1.0f;
        transform.inverse(data.data(), n, n);
        benchmark::DoNotOptimize(data.data());
    }
}

} // namespace

BENCHMARK(BM_PhaseRotation)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InverseTransform)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LatticeFrame)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LatticeFramePerValue)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LatticeFrameNewWind)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SurfaceFrame)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_SurfaceFrameThreads)->Args({1024, 1})->Args({1024, 2})->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
