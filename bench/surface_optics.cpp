// Cost of the hidden-surface pass apart from shading: draw_surface with white water (the base
// class's shading stub) over the default wind sea, default camera, 3 km of water, to the horizon.
// Counters: triangles drawn and pixel pieces per pixel.
#include "ocean/HyGridMulti.h"
#include "ocean/HyOceanSurface.h"
#include "optics/HySurfaceOptics.h"
#include "render/HyCamera.h"
#include "render/HyPixelBuffer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr double kDeg = 0.0174532925199433;

struct Sea {
    std::unique_ptr<HyOceanSurface> surface;
    HyGridMulti* grid = nullptr;
};

Sea make_sea(int n)
{
    Sea s;
    s.surface.reset(new HyOceanSurface());
    HyPrimaryWaves_data w;
    w.size = n;
    w.small_spacing = 0.4;  // "Fine Grid Size (M)" default
    w.large_spacing = 3.8;  // "Coarse Grid Size (M)" default
    w.wind_speed = 5.0;
    w.vertical_scale = 2.0;
    s.surface->allocate_primary_waves(w);
    s.surface->evolve_to_time(10.0);
    s.surface->get_grid(s.grid);
    return s;
}

void BM_DrawSurface(benchmark::State& state)
{
    const int n = int(state.range(0));
    const int width = int(state.range(1));
    const int height = width * 9 / 16;
    static Sea sea256, sea1024;
    Sea& sea = n == 256 ? sea256 : sea1024;
    if (!sea.surface)
        sea = make_sea(n);
    if (!sea.grid) {
        state.SkipWithError("no sea");
        return;
    }
    // The default camera: 10 m up, tilted 10 degrees down, looking east, 61.39 degrees across.
    HyViewGeometry view;
    view.set_position(0.0, 0.0, 10.0);
    view.set_orientation(100.0 * kDeg, 360.0 * kDeg, 0.0);
    view.set_size(width, height);
    const double h = 61.39 * kDeg;
    view.set_fields_of_view(h, double(float(2.0 * std::atan(std::tan(h / 2) * height / width))));

    HySurfaceOpticsParams p;
    p.height_source = sea.grid;
    p.base_step = 0.4;
    p.max_distance = 3000.0;
    p.double_distance = 25.0;
    p.to_horizon = 1;
    std::vector<float> r(std::size_t(width) * height), g(r.size()), b(r.size());
    double pieces = 0.0, triangles = 0.0;
    for (auto _ : state) {
        HySurfaceOptics optics(p);
        HyPixelBuffer buffer(std::uint32_t(height), std::uint32_t(width), r.data(), g.data(), b.data());
        buffer.allocate();
        benchmark::DoNotOptimize(optics.draw_surface(view, buffer));
        pieces = double(optics.pieces_shaded);
        triangles = double(optics.triangles_drawn);
    }
    state.counters["triangles"] = triangles;
    state.counters["pieces_per_pixel"] = pieces / (double(width) * height);
}

} // namespace

BENCHMARK(BM_DrawSurface)
    ->Args({256, 1280})
    ->Args({256, 1920})
    ->Args({1024, 1280})
    ->Args({1024, 1920})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK_MAIN();
