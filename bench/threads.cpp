// Frame work on the process's threads: the whole surface frame (two primary lattices and two swells)
// with 1 and 2 threads, in wall-clock time, gamma over a frame, and the cost of one parallel loop that
// does nothing.
#include "ocean/HyOceanSurface.h"
#include "platform/HyThreadPool.h"
#include "render/HyCamera.h"

#include <benchmark/benchmark.h>

namespace {

void BM_SurfaceFrameThreads(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    hyplat::HyThreadPool::set_process_threads(static_cast<int>(state.range(1)));
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
    hyplat::HyThreadPool::set_process_threads(0);
}

// Wake-up and hand-back of the workers: the floor under any loop worth running in parallel.
void BM_EmptyParallelLoop(benchmark::State& state)
{
    hyplat::HyThreadPool pool(static_cast<int>(state.range(0)));
    for (auto _ : state)
        pool.parallel_for(64, 1, [](std::int64_t b, std::int64_t) { benchmark::DoNotOptimize(b); });
}

// Gamma over a 1080p frame: the default exponent 1 (no power function) and 0.45 (pow per value),
// each with 1 and 2 threads.
void BM_GammaThreads(benchmark::State& state)
{
    hyplat::HyThreadPool::set_process_threads(static_cast<int>(state.range(1)));
    HyRenderData_Camera cam;
    cam.set_image_size(1920u, 1080u);
    HyImagePlanes planes;
    if (!planes.allocate(1920u, 1080u, false, false)) {
        state.SkipWithError("no memory for the planes");
        return;
    }
    const std::size_t n = std::size_t(1920) * 1080;
    planes.attach(cam);
    const double gamma = state.range(0) / 100.0;
    for (auto _ : state) {
        state.PauseTiming();
        for (std::size_t i = 0; i < n; ++i)
            planes.red[i] = planes.green[i] = planes.blue[i] = float(i % 1000) / 1000.0f;
        state.ResumeTiming();
        cam.apply_gamma(gamma);
        benchmark::ClobberMemory();
    }
    hyplat::HyThreadPool::set_process_threads(0);
}

} // namespace

BENCHMARK(BM_GammaThreads)->Args({100, 1})->Args({100, 2})->Args({45, 1})->Args({45, 2})->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SurfaceFrameThreads)->Args({1024, 1})->Args({1024, 2})->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmptyParallelLoop)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
