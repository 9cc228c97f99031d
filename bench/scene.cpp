// A 1920x1080 frame of the default sea through the render command, in "Texture [No Geometry]",
// "Realistic" and "Depth Map", at one time (the sea is evolved once; each iteration is the scene
// render, the output mapping and the write into the host's pixels), on 1 and 2 threads.
#include <benchmark/benchmark.h>

#include <cstring>

#include "host/ParamTable.h"
#include "host/Settings.h"
#include "hostkit/Host.h"
#include "hostkit/Module.h"
#include "platform/HyThreadPool.h"

extern "C" PF_Err PluginEntry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                              PF_LayerDef* output, void* extra);

namespace {

int render_mode_index()
{
    const auto& t = ParamTable();
    const ParamIndexMap m = ParamIndexMapFor(true);
    for (int r = 0; r < kParamCountWithGroups; ++r)
        if (t[std::size_t(r)].group == ParamGroup::RenderOptions && std::strcmp(t[std::size_t(r)].name, "Render Mode:") == 0)
            return m[std::size_t(r)];
    return -1;
}

void BM_SceneFrame1080(benchmark::State& state)
{
    hostkit::HostConfig config;
    config.width = 1920;
    config.height = 1080;
    config.harness_checks = false; // as a host rendering for users
    hyplat::HyThreadPool::set_process_threads(int(state.range(1)));
    hostkit::Host host(hostkit::Module::from_entry(PluginEntry, "linked plug-in"), config);
    host.setup();
    host.set_int(render_mode_index(), A_long(state.range(0)));
    hostkit::World out(1920, 1080);
    host.render(out); // evolves the sea and builds the optics tables outside the timed loop
    for (auto _ : state)
        if (host.render(out) != PF_Err_NONE)
            state.SkipWithError("render failed");
    host.global_setdown();
    hyplat::HyThreadPool::set_process_threads(0);
}
// 4 "Texture [No Geometry]", 6 "Realistic", 8 "Depth Map".
BENCHMARK(BM_SceneFrame1080)
    ->ArgNames({"mode", "threads"})
    ->ArgsProduct({{4, 6, 8}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
