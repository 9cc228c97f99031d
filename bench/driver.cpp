// The frame driver around the surface: settings read and compared, pending updates, evolution and the
// camera, through the render command with a tiny top view (so drawing costs nothing), for Ocean
// Complexity 256 and 1024: the same time with nothing or a camera slider changed (the sea is reused),
// the next time with nothing or a camera slider changed, and the next time with the wind changed (the
// wave parameters reset). The settings read and compare alone too.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "host/CAEHost.h"
#include "host/CEffectVaskel1.h"
#include "host/ParamTable.h"
#include "hostkit/Fixed.h"
#include "hostkit/Host.h"
#include "hostkit/Module.h"

extern "C" PF_Err PluginEntry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                              PF_LayerDef* output, void* extra);

namespace {

int find(const hostkit::Host& h, ParamGroup group, const char* name)
{
    const auto& t = ParamTable();
    const ParamIndexMap m = ParamIndexMapFor(true);
    for (int r = 0; r < kParamCountWithGroups; ++r)
        if (t[std::size_t(r)].group == group && std::strcmp(t[std::size_t(r)].name, name) == 0)
            return m[std::size_t(r)];
    (void)h;
    return -1;
}

enum Change { kNothing, kTimeOnly, kCameraSlider, kWind, kSameTimeCamera };

void frame(benchmark::State& state, Change change)
{
    const int complexity = state.range(0) == 256 ? 1 : (state.range(0) == 512 ? 2 : 3);
    hostkit::HostConfig config;
    config.width = 16;
    config.height = 16;
    config.time_scale = 30;
    hostkit::Host host(hostkit::Module::from_entry(PluginEntry, "linked plug-in"), config);
    host.setup();
    host.set_int(find(host, ParamGroup::RenderOptions, "Render Mode:"), 2);
    host.set_int(find(host, ParamGroup::PrimaryWaves, "Ocean Complexity"), complexity);
    const int camera = find(host, ParamGroup::Camera, "X East-West (M)");
    const int wind = find(host, ParamGroup::PrimaryWaves, "Wind Speed (M/S)");
    hostkit::World out(16, 16);
    host.render(out); // builds the lattices outside the timed loop
    long n = 0;
    for (auto _ : state) {
        ++n;
        if (change != kNothing && change != kSameTimeCamera)
            host.config().current_time = A_long(n);
        if (change == kCameraSlider || change == kSameTimeCamera)
            host.set_fixed(camera, double(n % 100));
        if (change == kWind)
            host.set_fixed(wind, 5.0 + 0.01 * double(n % 100));
        if (host.render(out) != PF_Err_NONE)
            state.SkipWithError("render failed");
    }
    host.global_setdown();
}

void BM_FrameSameTimeNothingChanged(benchmark::State& s) { frame(s, kNothing); }
void BM_FrameSameTimeCameraSlider(benchmark::State& s) { frame(s, kSameTimeCamera); }
void BM_FrameNextTimeNothingChanged(benchmark::State& s) { frame(s, kTimeOnly); }
void BM_FrameNextTimeCameraSlider(benchmark::State& s) { frame(s, kCameraSlider); }
void BM_FrameNextTimeWindSlider(benchmark::State& s) { frame(s, kWind); }

BENCHMARK(BM_FrameSameTimeNothingChanged)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameSameTimeCameraSlider)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameNextTimeNothingChanged)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameNextTimeCameraSlider)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameNextTimeWindSlider)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

// Reading every parameter into a fresh record and comparing it with the current one.
void BM_SettingsReadAndCompare(benchmark::State& state)
{
    hostkit::Host host(hostkit::Module::from_entry(PluginEntry, "linked plug-in"));
    host.setup();
    PF_InData in{};
    in.version.major = host.config().api_major;
    in.num_params = host.param_count();
    std::vector<PF_ParamDef> defs;
    for (const hostkit::HostParam& p : host.params())
        defs.push_back(p.def);
    std::vector<PF_ParamDef*> ptrs;
    for (PF_ParamDef& d : defs)
        ptrs.push_back(&d);
    CAEHost adapter(0, 0);
    adapter.Bind(&in, ptrs.data());
    CEffectVaskel1 fx;
    fx.SetHost(&adapter);
    fx.RegisterParams();
    const int gamma = find(host, ParamGroup::RenderOptions, "Gamma Scale");
    long n = 0;
    for (auto _ : state) {
        if (state.range(0))
            defs[std::size_t(gamma)].u.fd.value = hostkit::to_fixed(1.0 + 0.001 * double(++n % 100));
        benchmark::DoNotOptimize(fx.UpdateSettingsFromHost());
    }
    host.global_setdown();
}
BENCHMARK(BM_SettingsReadAndCompare)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
