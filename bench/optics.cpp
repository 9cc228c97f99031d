// Per-call cost of the water and air optics and of texture sampling, and the slope-averaged table build.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "optics/HyAirOptics.h"
#include "optics/HyOceanOptics.h"
#include "optics/HyTexture.h"

namespace {

// A fixed pool of unit directions so the timing covers realistic, varied inputs.
struct Rays {
    static constexpr int kCount = 1024;
    double normal[kCount][3], down[kCount][3], up[kCount][3];
    Rays()
    {
        std::mt19937 rng(1);
        std::normal_distribution<double> nd;
        auto unit = [](double* v) {
            const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
            for (int i = 0; i < 3; ++i)
                v[i] /= l;
        };
        for (int i = 0; i < kCount; ++i) {
            normal[i][0] = 0.2 * nd(rng);
            normal[i][1] = 0.2 * nd(rng);
            normal[i][2] = 1.0;
            unit(normal[i]);
            down[i][0] = nd(rng);
            down[i][1] = nd(rng);
            down[i][2] = -std::fabs(nd(rng)) - 0.05;
            unit(down[i]);
            up[i][0] = down[i][0];
            up[i][1] = down[i][1];
            up[i][2] = -down[i][2];
        }
    }
};
const Rays& rays()
{
    static const Rays r;
    return r;
}

// Times `call(ray index)`, one ray of the pool a pass; `call` gives the sum of the three channels.
template <class Call>
void over_rays(benchmark::State& state, Call call)
{
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call(i));
        i = (i + 1) & (Rays::kCount - 1);
    }
}

void BM_Fresnel(benchmark::State& state, bool slope_table)
{
    HyOceanOptics o;
    if (slope_table)
        o.prepare_slope_table();
    const Rays& r = rays();
    over_rays(state, [&](int i) {
        double a, b, c;
        o.fresnel_reflectance(r.normal[i], r.down[i], 1, &a, &b, &c);
        return a + b + c;
    });
}
BENCHMARK_CAPTURE(BM_Fresnel, plain, false);
BENCHMARK_CAPTURE(BM_Fresnel, slope_table, true);

void BM_Glitter(benchmark::State& state)
{
    HyOceanOpticsParams p;
    p.index_of_refraction[1] = 1.335; // distinct indices: three channels computed
    p.index_of_refraction[2] = 1.338;
    HyOceanOptics o(p);
    const Rays& r = rays();
    const double light[3] = {0.3, 0.2, -0.93};
    over_rays(state, [&](int i) {
        double a, b, c;
        o.glitter(r.normal[i], light, r.down[i], 1, &a, &b, &c);
        return a + b + c;
    });
}
BENCHMARK(BM_Glitter);

void BM_SlopeTableBuild(benchmark::State& state)
{
    HyOceanOptics o;
    for (auto _ : state) {
        o.prepare_slope_table();
        benchmark::ClobberMemory();
    }
    state.SetLabel("16 x 15 x 9 entries, 71 x 31 samples each");
}
BENCHMARK(BM_SlopeTableBuild)->Unit(benchmark::kMillisecond);

HyAirOpticsParams hazy_air()
{
    HyAirOpticsParams p;
    p.haze_on = static_cast<std::int32_t>(1);
    p.rainbow_style = 1;
    return p;
}

constexpr double kEye[3] = {0, 0, 10};
constexpr double kSun[3] = {0.3, 0.2, -0.93};

void BM_SkyRadiance(benchmark::State& state)
{
    HyAirOpticsParams p = hazy_air();
    p.haze_on = static_cast<std::int32_t>(state.range(0));
    HyAirFlatOptics air(p);
    const Rays& r = rays();
    over_rays(state, [&](int i) {
        double a, b, c;
        air.sky_radiance(kEye, r.up[i], -1.0, kSun, &a, &b, &c);
        return a + b + c;
    });
    state.SetLabel(state.range(0) ? "clear air and haze" : "clear air");
}
BENCHMARK(BM_SkyRadiance)->Arg(0)->Arg(1);

void BM_AirRadiance(benchmark::State& state)
{
    HyAirFlatOptics air(hazy_air());
    const Rays& r = rays();
    over_rays(state, [&](int i) {
        double a, b, c;
        air.air_radiance(kEye, r.up[i], -1.0, kSun, 1.0, 1.0, &a, &b, &c);
        return a + b + c;
    });
}
BENCHMARK(BM_AirRadiance);

void BM_Transmittance(benchmark::State& state)
{
    HyAirFlatOptics air(hazy_air());
    const Rays& r = rays();
    over_rays(state, [&](int i) {
        double a, b, c;
        air.transmittance(kEye, r.down[i], 800.0, &a, &b, &c);
        return a + b + c;
    });
}
BENCHMARK(BM_Transmittance);

void BM_SampleGroup(benchmark::State& state)
{
    // Three 512 x 512 maps, 0.5 m per pixel, placed overlapping at different angles.
    const int n = 512;
    std::vector<std::uint8_t> planes[3];
    std::mt19937 rng(4);
    for (auto& p : planes) {
        p.resize(std::size_t(n) * n);
        for (auto& v : p)
            v = std::uint8_t(rng() & 255);
    }
    HyTextureDesc d;
    d.width_px = d.height_px = n;
    d.width_m = d.height_m = n * 0.5;
    for (int k = 0; k < 3; ++k)
        d.planes[k] = planes[k].data();
    HyTexture tex[3];
    Hy2DTextureGroup g;
    for (int i = 0; i < 3; ++i) {
        d.tile = (i == 2);
        build_texture(&tex[i], &d);
        add_texture(&g, &tex[i], 10.0 * i, -5.0 * i, 0.4 * i);
    }
    std::uniform_real_distribution<double> pos(-120.0, 120.0);
    std::vector<double> xs(1024), ys(1024);
    for (int i = 0; i < 1024; ++i) {
        xs[i] = pos(rng);
        ys[i] = pos(rng);
    }
    const double footprint = state.range(0) / 10.0;
    int i = 0;
    double v[3];
    for (auto _ : state) {
        sample_group(&g, v, xs[i], ys[i], footprint);
        benchmark::DoNotOptimize(v[0] + v[1] + v[2]);
        i = (i + 1) & 1023;
    }
    state.SetLabel(footprint <= 0.5 ? "footprint under a pixel" : "two levels mixed");
}
BENCHMARK(BM_SampleGroup)->Arg(1)->Arg(15);

void BM_BuildTexture(benchmark::State& state)
{
    const int n = int(state.range(0));
    std::vector<std::uint8_t> planes[3];
    for (auto& p : planes)
        p.assign(std::size_t(n) * n, 77);
    HyTextureDesc d;
    d.width_px = d.height_px = n;
    d.width_m = d.height_m = n;
    for (int k = 0; k < 3; ++k)
        d.planes[k] = planes[k].data();
    HyTexture t;
    for (auto _ : state)
        benchmark::DoNotOptimize(build_texture(&t, &d));
}
BENCHMARK(BM_BuildTexture)->Arg(1024)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
