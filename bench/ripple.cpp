// Ripple evolution: one frame (evolve_to_time + transform_to_heights) along a radius of N samples,
// with the cached Bessel table (the default) and with J0 evaluated on the fly.
#include "ocean/HyOceanSurfaceGridElement_ripple.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void run(benchmark::State& state, bool direct)
{
    HyRipple_record r;
    r.nx = int(state.range(0));
    std::vector<float> array(std::size_t(r.nx) + 2, 0.0f);
    r.heights = array.data();
    HyOceanSurfaceGridElement_ripple ripple(r);
    ripple.set_direct_synthesis(direct);
    ripple.generate_kspace();
    ripple.evolve_to_time(0.5);  // builds the Bessel table outside the timed loop
    double t = 1.0;
    for (auto _ : state) {
        ripple.evolve_to_time(t);
        ripple.transform_to_heights();
        benchmark::DoNotOptimize(array.data());
        t += 1.0 / 30.0;
    }
    state.counters["bessel_terms"] = double(r.nx) * double(r.nx);
}

void BM_RippleFrame(benchmark::State& state) { run(state, false); }
void BM_RippleFrameDirectJ0(benchmark::State& state) { run(state, true); }

// Cost of building the Bessel table once (after a change of N or spacing).
void BM_RippleFirstFrame(benchmark::State& state)
{
    HyRipple_record r;
    r.nx = int(state.range(0));
    for (auto _ : state) {
        HyOceanSurfaceGridElement_ripple ripple(r);
        ripple.generate_kspace();
        ripple.evolve_to_time(1.0);
        benchmark::DoNotOptimize(ripple.profile);
    }
}

} // namespace

BENCHMARK(BM_RippleFrame)->Arg(201)->Arg(801)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RippleFrameDirectJ0)->Arg(201)->Arg(801)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RippleFirstFrame)->Arg(201)->Arg(801)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
