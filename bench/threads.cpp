// Frame work on the process's threads, in wall-clock time: gamma over a frame with 1 and 2 threads, and
// the cost of one parallel loop that does nothing. (The surface frame by thread count is in surface.cpp.)
#include "platform/HyThreadPool.h"
#include "render/HyCamera.h"

#include <benchmark/benchmark.h>

namespace {

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
BENCHMARK(BM_EmptyParallelLoop)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
