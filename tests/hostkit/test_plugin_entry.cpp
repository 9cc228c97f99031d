// The real plug-in module, loaded with dlopen and driven only through PluginEntry by the host kit: lazy
// creation with the host's memory given back, ignored commands, out of memory and threads. The
// entry's own rules (counting, flags, events, progress) are pinned in-process by the host folder's tests.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "PluginFixture.h"

namespace {

using hostkit::Host;
using seavast_test::config_for_api;
using seavast_test::fresh_module;

// A host that opens a saved project knows the parameters; take them from a separate module copy.
void adopt_known_params(Host& host, int api_major)
{
    Host donor(fresh_module(), config_for_api(api_major));
    ASSERT_EQ(donor.setup(), PF_Err_NONE);
    ASSERT_EQ(donor.global_setdown(), PF_Err_NONE);
    host.adopt_params(donor);
}

TEST(PluginEntry, RenderWithoutGlobalSetupCreatesTheEffectOnTheSpot)
{
    for (const int api : {13, 11}) {
        SCOPED_TRACE(api);
        Host host(fresh_module(), config_for_api(api));
        adopt_known_params(host, api);
        const long handles_before = hostkit::live_host_handles();
        hostkit::World output(64, 32);
        ASSERT_EQ(host.render(output), PF_Err_NONE);
        EXPECT_EQ(host.stats().add_param, 0) << "lazy creation must add nothing to the host";
        // The image-map layers are checked out at their indices: the indices are known.
        std::vector<PF_ParamIndex> layers;
        for (const hostkit::CheckoutRecord& c : host.checkout_log()) {
            layers.push_back(c.index);
            EXPECT_EQ(c.what_time, host.config().current_time);
            EXPECT_EQ(c.time_scale, host.config().time_scale);
        }
        const std::vector<PF_ParamIndex> expected =
            api >= 12 ? std::vector<PF_ParamIndex>{15, 28, 41} : std::vector<PF_ParamIndex>{12, 23, 34};
        EXPECT_EQ(layers, expected);
        EXPECT_NO_MISUSE(host);

        // No host memory for the render's copies (internal error 1): out of memory, with its message;
        // the next frame is fine again.
        host.script_handle_failure(0);
        EXPECT_EQ(host.render(output), PF_Err_OUT_OF_MEMORY);
        EXPECT_EQ(host.message(), "Insufficient Memory");
        EXPECT_TRUE(host.out_data().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
        host.script_handle_failure(-1);
        EXPECT_EQ(host.render(output), PF_Err_NONE);
        EXPECT_EQ(host.message(), "");
        EXPECT_FALSE(host.out_data().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);

        // The effect exists now: parameter setup defines everything.
        ASSERT_EQ(host.params_setup(), PF_Err_NONE);
        EXPECT_EQ(host.out_data().num_params, api >= 12 ? 124 : 102);
        // Blocks the effect took from host memory while rendering (caches may keep some across
        // frames) all go back once the effect is destroyed.
        ASSERT_EQ(host.global_setdown(), PF_Err_NONE);
        EXPECT_EQ(hostkit::live_host_handles(), handles_before) << "host memory handles were never disposed";
        EXPECT_NO_MISUSE(host);
    }
}

TEST(PluginEntry, IgnoredCommandsReturnZeroAndWriteNothing)
{
    Host host(fresh_module());
    ASSERT_EQ(host.setup(), PF_Err_NONE);
    PF_OutData pattern;
    std::memset(&pattern, 0x5A, sizeof pattern);
    pattern.return_msg[0] = 0;
    pattern.name[0] = 0;
    const PF_Cmd ignored[] = {PF_Cmd_UNUSED_0, PF_Cmd_SEQUENCE_RESETUP, PF_Cmd_SEQUENCE_FLATTEN,
                              PF_Cmd_SEQUENCE_SETDOWN, PF_Cmd_DO_DIALOG, PF_Cmd_FRAME_SETDOWN,
                              PF_Cmd_USER_CHANGED_PARAM, PF_Cmd_UPDATE_PARAMS_UI,
                              PF_Cmd_GET_EXTERNAL_DEPENDENCIES, PF_Cmd_COMPLETELY_GENERAL,
                              PF_Cmd_QUERY_DYNAMIC_FLAGS, 19, 20, 24, 33, 34, 1000, 0x7FFFFFFF};
    for (const PF_Cmd cmd : ignored) {
        hostkit::CallOptions options;
        options.out_init = &pattern;
        EXPECT_EQ(host.call(cmd, options), PF_Err_NONE) << cmd;
        EXPECT_EQ(std::memcmp(&host.out_data(), &pattern, sizeof pattern), 0) << hostkit::command_name(cmd);
    }
    EXPECT_EQ(host.param_count(), 124);
    host.global_setdown();
    EXPECT_NO_MISUSE(host);
}

TEST(PluginEntry, CallsFromEightThreadsAreSerialised)
{
    auto module = fresh_module();
    Host first(module);
    ASSERT_EQ(first.global_setup(), PF_Err_NONE);

    // Every callback of every call, in the order the host saw them. If two entry calls overlapped,
    // the callbacks of one would appear inside the run of the other.
    std::mutex log_mutex;
    std::vector<std::uint64_t> log;
    const auto observer = [&](Host&, std::string_view, std::uint64_t serial) {
        {
            std::lock_guard<std::mutex> lock(log_mutex);
            log.push_back(serial);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(20)); // widen the window for overlap
    };

    constexpr int kThreads = 8;
    std::vector<std::unique_ptr<Host>> hosts;
    for (int i = 0; i < kThreads; ++i) {
        hosts.push_back(std::make_unique<Host>(module));
        hosts.back()->set_observer(observer);
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            Host& h = *hosts[std::size_t(i)];
            for (int round = 0; round < 3; ++round) {
                h.params_setup();
                std::string text;
                h.about(&text);
            }
        });
    for (std::thread& t : threads)
        t.join();

    std::set<std::uint64_t> finished;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (i > 0 && log[i] != log[i - 1]) {
            ASSERT_EQ(finished.count(log[i]), 0u) << "call " << log[i] << " resumed after another call ran";
            finished.insert(log[i - 1]);
        }
    }
    EXPECT_GE(log.size(), std::size_t(kThreads * 3 * 123));
    for (const auto& h : hosts) {
        EXPECT_EQ(h->param_count(), 124);
        EXPECT_NO_MISUSE(*h);
    }
    first.global_setdown();
    EXPECT_NO_MISUSE(first);
}

} // namespace
