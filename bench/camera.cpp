// Per-call cost of the camera's projection operations: the per-pixel direction of every render loop,
// the point projection of the wireframe, and the direction codes and lens function of the slicer.
#include "render/HyCamera.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

HyRenderData_Camera make_camera()
{
    HyRenderData_Camera cam;
    cam.set_image_size(1920u, 1080u);
    cam.set_fields_of_view(1.0, 2.0 * std::atan(std::tan(0.5) * 1080.0 / 1920.0));
    cam.set_position(0.0, 0.0, 8.0);
    cam.set_orientation(1.75, 0.4, 0.05);
    return cam;
}

void BM_PixelDirection(benchmark::State& state)
{
    const HyRenderData_Camera cam = make_camera();
    const HyViewGeometry& v = cam.view();
    int r = 0, c = 0;
    for (auto _ : state) {
        double dx, dy, dz;
        v.pixel_direction(r, c, dx, dy, dz);
        benchmark::DoNotOptimize(dx + dy + dz);
        if (++c == 1920) {
            c = 0;
            r = (r + 1) % 1080;
        }
    }
}
BENCHMARK(BM_PixelDirection);

void BM_ProjectPoint(benchmark::State& state)
{
    const HyRenderData_Camera cam = make_camera();
    const HyViewGeometry& v = cam.view();
    double x = 10.0;
    for (auto _ : state) {
        int r, c;
        benchmark::DoNotOptimize(v.project_point(x, 3.0, 0.5, r, c));
        benchmark::DoNotOptimize(r + c);
        x = x > 500.0 ? 10.0 : x + 0.37;
    }
}
BENCHMARK(BM_ProjectPoint);

void BM_DirectionCodeRoundTrip(benchmark::State& state)
{
    const HyRenderData_Camera cam = make_camera();
    const HyViewGeometry& v = cam.view();
    const double offset = -0.4;
    double x = 10.0;
    for (auto _ : state) {
        double ec, ac, r, c;
        v.direction_code(x, 3.0, 0.5, offset, ec, ac);
        benchmark::DoNotOptimize(v.project_direction_code(ec, ac, offset, r, c));
        benchmark::DoNotOptimize(r + c);
        x = x > 500.0 ? 10.0 : x + 0.37;
    }
}
BENCHMARK(BM_DirectionCodeRoundTrip);

void BM_ApplyGamma1080p(benchmark::State& state)
{
    HyRenderData_Camera cam = make_camera();
    HyImagePlanes planes;
    if (!planes.allocate(1920u, 1080u, false, false)) {
        state.SkipWithError("no memory for the planes");
        return;
    }
    const std::size_t n = std::size_t(1920) * 1080;
    for (std::size_t i = 0; i < n; ++i)
        planes.red[i] = planes.green[i] = planes.blue[i] = float(i % 1000) / 1000.0f;
    planes.attach(cam);
    for (auto _ : state) {
        cam.apply_gamma(1.0); // v^1 keeps the values, so every pass does the same work
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(n) * 3);
}
BENCHMARK(BM_ApplyGamma1080p)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
