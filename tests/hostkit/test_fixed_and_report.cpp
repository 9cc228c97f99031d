// 16.16 conversion and the text forms the parameter report is built from.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <utility>

#include "hostkit/Fixed.h"
#include "hostkit/ParamReport.h"

using hostkit::format_fixed;
using hostkit::from_fixed;
using hostkit::to_fixed;

TEST(FixedAndReport, HalvesGoAwayFromZeroTextRoundTripsQuotesAndFlagNames)
{
    // (2k + 1) / 131072 sits exactly halfway between k/65536 and (k + 1)/65536; the oracle is
    // integer arithmetic, not the conversion under test.
    for (std::int64_t k : {0LL, 1LL, 2LL, 7LL, 65535LL, 65536LL, 123456789LL}) {
        const double half = double(2 * k + 1) / 131072.0;
        EXPECT_EQ(to_fixed(half), PF_Fixed(k + 1)) << k;
        EXPECT_EQ(to_fixed(-half), PF_Fixed(-(k + 1))) << k;
    }
    // Just below and above a half go to the nearer neighbour (61.39 and -0.2 are 4023255.04 and -13107.2
    // units); out of range saturates; NaN gives 0.
    const std::pair<double, PF_Fixed> cases[] = {
        {0.49 / 65536.0, 0}, {-0.49 / 65536.0, 0}, {1.51 / 65536.0, 2}, {-1.51 / 65536.0, -2},
        {61.39, 4023255},    {-0.2, -13107},
        {1e12, std::numeric_limits<PF_Fixed>::max()}, {-1e12, std::numeric_limits<PF_Fixed>::min()},
        {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const auto& [value, fixed] : cases)
        EXPECT_EQ(to_fixed(value), fixed) << value;
    EXPECT_EQ(from_fixed(-98304), -1.5);

    // The smallest negative value is not "-0".
    const std::pair<PF_Fixed, const char*> texts[] = {{to_fixed(61.39), "61.39"}, {to_fixed(0.2), "0.2"},
                                                      {to_fixed(0.01), "0.01"},   {to_fixed(-500), "-500"},
                                                      {0, "0"}, {-1, "-0.00002"}, {1, "0.00002"}};
    for (const auto& [fixed, text] : texts)
        EXPECT_EQ(format_fixed(fixed), text);
    std::mt19937 rng(7);
    std::uniform_int_distribution<PF_Fixed> any(std::numeric_limits<PF_Fixed>::min(),
                                                std::numeric_limits<PF_Fixed>::max());
    for (int i = 0; i < 20000; ++i) {
        const PF_Fixed v = any(rng);
        const std::string text = format_fixed(v);
        ASSERT_EQ(to_fixed(std::strtod(text.c_str(), nullptr)), v) << text;
        // Never more than five decimals.
        const auto dot = text.find('.');
        ASSERT_TRUE(dot == std::string::npos || text.size() - dot - 1 <= 5) << text;
    }

    // Quotes keep blanks and escape controls; flag names go in bit order, unknown bits in hex.
    EXPECT_EQ(hostkit::quote(""), "\"\"");
    EXPECT_EQ(hostkit::quote("a\"b\\c\td\x01"), "\"a\\\"b\\\\c\\td\\x01\"");
    EXPECT_EQ(hostkit::param_flags_text(0), "-");
    EXPECT_EQ(hostkit::param_flags_text(PF_ParamFlag_START_COLLAPSED | PF_ParamFlag_CANNOT_TIME_VARY),
              "CANNOT_TIME_VARY|START_COLLAPSED");
    EXPECT_EQ(hostkit::param_flags_text(PF_ParamFlag_CANNOT_INTERP | (1L << 20)), "CANNOT_INTERP|0x100000");
    EXPECT_EQ(hostkit::ui_flags_text(PF_PUI_CONTROL), "CONTROL");
}
