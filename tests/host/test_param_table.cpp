// The parameter table beyond what the command-line tests' checked-in listings pin: the rule that derives
// valid ranges at its clamps, and the first value index of each group (preset keys: with the presets).
#include <gtest/gtest.h>

#include "host/ParamTable.h"

TEST(ParamTable, DerivedRangesAndGroupIndices)
{
    // max = clamp(10 smax, smax, 24000); min = smin when positive, else max(10 smin, -24000).
    const struct {
        float smin, smax, lo, hi;
    } cases[] = {{0, 5, 0, 50},
                 {0.01f, 10, 0.01f, 100},
                 {-500, 500, -5000, 5000},
                 {-4000, 3000, -24000, 24000},
                 {-10, -2, -100, -2}};
    for (const auto& c : cases) {
        float lo = 0, hi = 0;
        DeriveValidRange(c.smin, c.smax, &lo, &hi);
        EXPECT_FLOAT_EQ(lo, c.lo) << c.smin << ".." << c.smax;
        EXPECT_FLOAT_EQ(hi, c.hi) << c.smin << ".." << c.smax;
    }
    const struct {
        ParamGroup group;
        int with, without;
    } firsts[] = {{ParamGroup::ImageMap1, 15, 12}, {ParamGroup::ImageMap2, 28, 23},
                  {ParamGroup::ImageMap3, 41, 34}, {ParamGroup::Swells, 112, 91},
                  {ParamGroup::Swell1, 113, 92},   {ParamGroup::Swell2, 118, 97}};
    for (const auto& f : firsts) {
        EXPECT_EQ(ParamFirstValueIndex(f.group, true), f.with);
        EXPECT_EQ(ParamFirstValueIndex(f.group, false), f.without);
        EXPECT_STREQ(ParamLayout(false)[std::size_t(f.without)].row->name,
                     ParamTable()[std::size_t(f.with)].name);
    }
}
