// The real plug-in module driven only through PluginEntry by the host kit; the entry's own rules are
// pinned by the host folder's tests, the parameter rows by the command-line tests' listings.
#include <gtest/gtest.h>

#include <algorithm>
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

// A saved project: parameters known from another module copy, rendered without a global setup.
TEST(PluginEntry, ParametersOnEveryApiAndRenderWithoutGlobalSetup)
{
    for (const int api : {13, 12, 11, 10}) {
        SCOPED_TRACE(api);
        const int count = api >= 12 ? 124 : 102;
        Host donor(fresh_module(), config_for_api(api));
        ASSERT_EQ(donor.setup(), PF_Err_NONE);
        EXPECT_EQ(donor.out_data().num_params, count);
        ASSERT_EQ(donor.global_setdown(), PF_Err_NONE);
        EXPECT_EQ(donor.param_count(), count);
        EXPECT_NO_MISUSE(donor);
        EXPECT_EQ(donor.register_ui_count(), 1);
        const PF_CustomUIInfo& ui = donor.registered_ui();
        EXPECT_EQ(ui.events, PF_CustomEFlag_EFFECT);
        EXPECT_EQ(ui.comp_ui_width | ui.comp_ui_height | ui.layer_ui_width | ui.layer_ui_height |
                      ui.preview_ui_width | ui.preview_ui_height | ui.comp_ui_alignment |
                      ui.layer_ui_alignment | ui.preview_ui_alignment,
                  0);
        if (api == 12 || api == 10)
            continue; // the project render below: once with parameter groups, once without
        Host host(fresh_module(), config_for_api(api));
        host.adopt_params(donor);
        if (api == 13) {
            const int haze = donor.find_param("Haze Color");
            std::string why;
            EXPECT_TRUE(donor.set_from_text(haze, "1,2,3", &why)) << why;
            const PF_Pixel c = donor.param(haze).def.u.cd.value;
            EXPECT_TRUE(c.red == 1 && c.green == 2 && c.blue == 3 && c.alpha == 255);
            for (const char* bad : {"1,2,3,4", "1,2", "256,0,0", "-1,0,0", "a,b,c", ""})
                EXPECT_FALSE(donor.set_from_text(haze, bad)) << bad;
            EXPECT_TRUE(donor.set_from_text(donor.find_param("Tilt"), "-12.5"));
            EXPECT_EQ(donor.param(donor.find_param("Tilt")).def.u.ad.value, -819200);
        }

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
        EXPECT_EQ(layers, (api >= 12 ? std::vector<PF_ParamIndex>{15, 28, 41}
                                     : std::vector<PF_ParamIndex>{12, 23, 34}));
        EXPECT_NO_MISUSE(host);

        // No host memory for the render's copies: out of memory, with its message; the next frame is fine.
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
        EXPECT_EQ(host.out_data().num_params, count);
        // Host memory the effect's caches kept across frames goes back once the effect is destroyed.
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

    // Every callback of every call in order: overlapping calls would interleave their serial numbers.
    std::mutex log_mutex;
    std::vector<std::uint64_t> log;
    const auto observer = [&](Host&, std::string_view, std::uint64_t serial) {
        std::unique_lock<std::mutex> lock(log_mutex);
        log.push_back(serial);
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::microseconds(20)); // widen the window for overlap
    };

    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            Host h(module);
            h.set_observer(observer);
            for (int round = 0; round < 3; ++round) {
                h.params_setup();
                h.about(nullptr);
            }
            EXPECT_EQ(h.param_count(), 124);
            EXPECT_NO_MISUSE(h);
        });
    for (std::thread& t : threads)
        t.join();

    EXPECT_GE(log.size(), std::size_t(8 * 3 * 123));
    // Each call's callbacks form one run: no serial number comes back after another one.
    log.erase(std::unique(log.begin(), log.end()), log.end());
    EXPECT_EQ(std::set<std::uint64_t>(log.begin(), log.end()).size(), log.size());
    first.global_setdown();
    EXPECT_NO_MISUSE(first);
}

// Version word and mapped flags at the first global setup only; the effect lives until the last setdown.
TEST(PluginEntry, VersionFlagsAndTheEffectsLifetime)
{
    constexpr A_u_long kVersionWord = 0x000A4600; // PF_VERSION(1, 4, 8, PF_Stage_RELEASE, 0)
    Host host(fresh_module());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(host.global_setup(), PF_Err_NONE);
        EXPECT_EQ(host.out_data().my_version, kVersionWord);
        EXPECT_EQ(host.out_data().out_flags, PF_OutFlag_NON_PARAM_VARY | PF_OutFlag_WORKS_IN_PLACE);
        EXPECT_EQ(host.out_data().out_flags2, PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS |
                                                  PF_OutFlag2_PPRO_DO_NOT_CLONE_SEQUENCE_DATA_FOR_RENDER);
        ASSERT_EQ(host.global_setup(), PF_Err_NONE);
        EXPECT_EQ(host.out_data().out_flags, 0) << "the effect already exists, so no flags are mapped";
        ASSERT_EQ(host.global_setdown(), PF_Err_NONE);
        ASSERT_EQ(host.params_setup(), PF_Err_NONE);
        EXPECT_EQ(host.out_data().num_params, 124) << "one setdown of two must keep the effect";
        EXPECT_NO_MISUSE(host);
        ASSERT_EQ(host.global_setdown(), PF_Err_NONE);
        const long added_before = host.stats().add_param;
        ASSERT_EQ(host.params_setup(), PF_Err_NONE);
        EXPECT_EQ(host.out_data().num_params, 0) << "the second setdown must destroy the effect";
        EXPECT_EQ(host.stats().add_param, added_before);
        host.clear_misuse(); // the host notes the 0-parameter report as a mismatch
    }
}

} // namespace
