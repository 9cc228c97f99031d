// Inverse spectral transforms at the lattice sizes in use, both backends, against a bare FFTW call
// on the same data (in-place complex-to-real plan on an FFTW-aligned buffer).
#include "ocean/HyGrid.h"
#include "ocean/HySpectralTransform.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#if SEAVAST_WITH_FFTW
#include <fftw3.h>
#endif

namespace {

// Half spectrum of a real field. By default in an array allocated as grid arrays are (64-byte
// aligned); `plain` uses an ordinary tagged block (8 bytes past a 16-byte boundary), as an element's
// own work array would be.
struct Input {
    Input(int n, bool plain = false) : n(n), count(static_cast<std::size_t>(n + 2) * n)
    {
        source.resize(count);
        std::mt19937 rng(n);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        for (float& v : source)
            v = u(rng);
        if (plain)
            work = static_cast<float*>(block = hymem::allocate(count * sizeof(float)));
        else
            work = hy_allocate_grid_floats(count, &block);
    }
    ~Input() { hymem::release(block); }
    void* block = nullptr;
    void reset(float* to) const { std::memcpy(to, source.data(), count * sizeof(float)); }
    int n;
    std::size_t count;
    std::vector<float> source;
    float* work = nullptr;
};

void inverse(benchmark::State& state, HyTransformBackend backend, bool plain = false)
{
    if (!HySpectralTransform::backend_available(backend)) {
        state.SkipWithError("backend not built");
        return;
    }
    const int n = static_cast<int>(state.range(0));
    Input in(n, plain);
    HySpectralTransform t(backend);
    in.reset(in.work);
    t.inverse(in.work, n, n);  // plan and scratch made once, outside the timing
    for (auto _ : state) {
        state.PauseTiming();
        in.reset(in.work);
        state.ResumeTiming();
        t.inverse(in.work, n, n);
        benchmark::DoNotOptimize(in.work[0]);
    }
    state.counters["values"] = double(n) * n;
}

void BM_InverseBuiltin(benchmark::State& state) { inverse(state, HyTransformBackend::builtin); }

void BM_InverseFftwBackend(benchmark::State& state) { inverse(state, HyTransformBackend::fftw); }
void BM_InverseFftwBackendPlainBlock(benchmark::State& state) { inverse(state, HyTransformBackend::fftw, true); }

#if SEAVAST_WITH_FFTW
void bare_fftw(benchmark::State& state, unsigned flags)
{
    const int n = static_cast<int>(state.range(0));
    Input in(n);
    float* a = fftwf_alloc_real(in.count);
    fftwf_plan p = fftwf_plan_dft_c2r_2d(n, n, reinterpret_cast<fftwf_complex*>(a), a, flags);
    for (auto _ : state) {
        state.PauseTiming();
        in.reset(a);
        state.ResumeTiming();
        fftwf_execute(p);
        benchmark::DoNotOptimize(a[0]);
    }
    fftwf_destroy_plan(p);
    fftwf_free(a);
}
void BM_InverseBareFftwEstimate(benchmark::State& state) { bare_fftw(state, FFTW_ESTIMATE); }
void BM_InverseBareFftwMeasure(benchmark::State& state) { bare_fftw(state, FFTW_MEASURE); }
BENCHMARK(BM_InverseBareFftwEstimate)->RangeMultiplier(2)->Range(256, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InverseBareFftwMeasure)->RangeMultiplier(2)->Range(256, 2048)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK(BM_InverseFftwBackend)->RangeMultiplier(2)->Range(256, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InverseFftwBackendPlainBlock)->RangeMultiplier(2)->Range(256, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InverseBuiltin)->RangeMultiplier(2)->Range(256, 2048)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
