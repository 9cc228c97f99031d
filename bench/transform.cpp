// Inverse spectral transforms at the lattice sizes in use, both backends, against a bare FFTW call
// on the same data (in-place complex-to-real plan on an FFTW-aligned buffer).
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

// Half spectrum of a real field, in a block from the tagged allocator as a grid array would be.
struct Input {
    explicit Input(int n) : n(n), count(static_cast<std::size_t>(n + 2) * n)
    {
        source.resize(count);
        std::mt19937 rng(n);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        for (float& v : source)
            v = u(rng);
        work = hymem::allocate_array<float>(count);
    }
    ~Input() { hymem::release(work); }
    void reset(float* to) const { std::memcpy(to, source.data(), count * sizeof(float)); }
    int n;
    std::size_t count;
    std::vector<float> source;
    float* work = nullptr;
};

void inverse(benchmark::State& state, HyTransformBackend backend)
{
    if (!HySpectralTransform::backend_available(backend)) {
        state.SkipWithError("backend not built");
        return;
    }
    const int n = static_cast<int>(state.range(0));
    Input in(n);
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

// The same on a 64-byte aligned array (as HyGrid arrays are): FFTW runs in the array itself.
void BM_InverseFftwBackendAligned(benchmark::State& state)
{
    if (!HySpectralTransform::backend_available(HyTransformBackend::fftw)) {
        state.SkipWithError("backend not built");
        return;
    }
    const int n = static_cast<int>(state.range(0));
    Input in(n);
    void* block = hymem::allocate(in.count * sizeof(float) + 64);
    float* a = reinterpret_cast<float*>((reinterpret_cast<std::uintptr_t>(block) + 63) / 64 * 64);
    HySpectralTransform t(HyTransformBackend::fftw);
    in.reset(a);
    t.inverse(a, n, n);
    for (auto _ : state) {
        state.PauseTiming();
        in.reset(a);
        state.ResumeTiming();
        t.inverse(a, n, n);
        benchmark::DoNotOptimize(a[0]);
    }
    hymem::release(block);
}
BENCHMARK(BM_InverseFftwBackendAligned)->RangeMultiplier(2)->Range(256, 2048)->Unit(benchmark::kMillisecond);
void BM_InverseFftwBackend(benchmark::State& state) { inverse(state, HyTransformBackend::fftw); }

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
BENCHMARK(BM_InverseBuiltin)->RangeMultiplier(2)->Range(256, 2048)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
