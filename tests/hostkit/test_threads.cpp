// A frame must not depend on the thread count: pools of 1, 2 and 7 threads render the same bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "PluginFixture.h"

namespace {

TEST(PluginThreads, EveryModeDoesNotDependOnTheThreadCount)
{
    constexpr int kModes = 8;
    std::vector<std::vector<std::uint8_t>> reference(kModes + 1);
    for (const int threads : {1, 2, 7}) {
        ::setenv("SEAVAST_THREADS", std::to_string(threads).c_str(), 1);
        hostkit::Host host(seavast_test::fresh_module());
        ASSERT_EQ(host.setup(), PF_Err_NONE);
        // A low sun puts glitter, a bright sky and the horizon band into the picture.
        ASSERT_TRUE(host.set_from_text(host.find_param("Light Elevation"), "12"));
        for (int mode = 1; mode <= kModes; ++mode) {
            SCOPED_TRACE("threads " + std::to_string(threads) + ", mode " + std::to_string(mode));
            ASSERT_TRUE(host.set_int(host.find_param("Render Mode:"), mode));
            hostkit::World output(203, 117);
            const std::size_t reports_before = host.progress_log().size();
            ASSERT_EQ(host.render(output), PF_Err_NONE) << host.message();
            const auto& log = host.progress_log();
            for (std::size_t i = reports_before + 1; i < log.size(); ++i)
                ASSERT_GE(log[i].current, log[i - 1].current) << "report " << i;
            const auto* first = reinterpret_cast<const std::uint8_t*>(output.row(0)); // rows unpadded
            const std::vector<std::uint8_t> bytes(first, first + output.rowbytes() * output.height());
            if (threads == 1)
                reference[std::size_t(mode)] = bytes;
            else
                EXPECT_TRUE(bytes == reference[std::size_t(mode)]);
        }
        host.global_setdown();
        EXPECT_NO_MISUSE(host);
    }
    ::unsetenv("SEAVAST_THREADS");
}

} // namespace
