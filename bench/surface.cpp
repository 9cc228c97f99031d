// One frame of the sea: a wind-wave lattice alone (cached and per-value paths), the rebuild after a
// parameter change, and the whole surface (two primary lattices and two swells) at N = 256..1024.
#include "ocean/HyOceanSurface.h"
#include "ocean/HySpectralTransform.h"
#include "platform/HyThreadPool.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#if SEAVAST_WITH_FFTW
#include <fftw3.h>
#endif

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

// The inverse transform alone, as the elements call it: the same spectrum every iteration, on a
// 64-byte aligned array as the grids allocate them. Where FFTW is linked, a bare FFTW plan runs on
// the same data in the same loop and the counter vs_fftw gives our time over FFTW's.
void BM_InverseTransform(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const std::size_t floats = static_cast<std::size_t>(n + 2) * n;
    std::vector<float> spectrum(floats, 0.0f);
    for (std::size_t k = 0; k < floats; ++k)
        spectrum[k] = 1e-3f * static_cast<float>((k * 2654435761u) % 1000) - 0.5e-3f;
    const std::size_t bytes = (floats * sizeof(float) + 63) / 64 * 64;
    float* data = static_cast<float*>(std::aligned_alloc(64, bytes));
    if (!data) {
        state.SkipWithError("no memory");
        return;
    }
    HySpectralTransform transform;
#if SEAVAST_WITH_FFTW
    fftwf_plan plan = fftwf_plan_dft_c2r_2d(n, n, reinterpret_cast<fftwf_complex*>(data), data, FFTW_ESTIMATE);
#endif
    using clock = std::chrono::steady_clock;
    clock::duration ours{}, fftw{};
    for (auto _ : state) {
        std::copy(spectrum.begin(), spectrum.end(), data);
        auto t0 = clock::now();
        transform.inverse(data, n, n);
        ours += clock::now() - t0;
        benchmark::DoNotOptimize(data);
#if SEAVAST_WITH_FFTW
        std::copy(spectrum.begin(), spectrum.end(), data);
        t0 = clock::now();
        fftwf_execute(plan);
        fftw += clock::now() - t0;
        benchmark::DoNotOptimize(data);
#endif
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["ours_ms"] = std::chrono::duration<double, std::milli>(ours).count() / iterations;
#if SEAVAST_WITH_FFTW
    state.counters["fftw_ms"] = std::chrono::duration<double, std::milli>(fftw).count() / iterations;
    state.counters["vs_fftw"] = fftw.count() > 0 ? double(ours.count()) / double(fftw.count()) : 0.0;
    fftwf_destroy_plan(plan);
#endif
    std::free(data);
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
