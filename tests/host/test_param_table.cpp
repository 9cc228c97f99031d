// The parameter table beyond what the checked-in parameter listings of the command-line tests pin
// (names, order, ids, types, defaults, ranges and flags on hosts with and without groups): the rule
// that derives valid ranges, the first value index of each group, and the preset keys.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/ParamTable.h"

namespace {

const ParamRow& row(int i) { return ParamTable()[std::size_t(i)]; }

} // namespace

TEST(ParamTable, DerivedRangesAndGroupIndices)
{
    // max = clamp(10 smax, smax, 24000); min = smin when positive, else max(10 smin, -24000).
    const struct {
        float smin, smax, lo, hi;
    } cases[] = {{0, 5, 0, 50},        {0.01f, 10, 0.01f, 100},      {-500, 500, -5000, 5000},
                 {-4000, 3000, -24000, 24000}, {-10, -2, -100, -2}};
    for (const auto& c : cases) {
        float lo = 0, hi = 0;
        DeriveValidRange(c.smin, c.smax, &lo, &hi);
        EXPECT_FLOAT_EQ(lo, c.lo) << c.smin << ".." << c.smax;
        EXPECT_FLOAT_EQ(hi, c.hi) << c.smin << ".." << c.smax;
    }
    const struct {
        ParamGroup group;
        int with, without;
    } firsts[] = {{ParamGroup::ImageMap1, 15, 12}, {ParamGroup::ImageMap2, 28, 23}, {ParamGroup::ImageMap3, 41, 34},
                  {ParamGroup::Swells, 112, 91},   {ParamGroup::Swell1, 113, 92},   {ParamGroup::Swell2, 118, 97}};
    for (const auto& f : firsts) {
        EXPECT_EQ(ParamFirstValueIndex(f.group, true), f.with);
        EXPECT_EQ(ParamFirstValueIndex(f.group, false), f.without);
        EXPECT_STREQ(ParamLayout(false)[std::size_t(f.without)].row->name, row(f.with).name);
    }
}

TEST(ParamTable, PresetKeys)
{
    const struct {
        int index, key;
        const char* text;
    } keys[] = {{3, 0, "OP_RWHAT"},         {29, 0, "IM2DOES"},  {22, 0, "IM1SCALEY"}, // the scale keys are crossed
                {23, 0, "IM1SCALEX"},       {92, 0, "0_LP_012"}, {93, 0, "0_LP_0123"},
                {93, 2, "0_LP_012345"},     {98, 0, "0_LP_012345678910"}, {109, 0, "1_LP_012345678910"},
                {112, 0, "0_SWP_0"},        {112, 1, "1_SWP_0"}, {117, 0, "0_SWP_012345"},
                {122, 0, "1_SWP_012345"},   {68, 1, "AO_HCLR_G"}};
    for (const auto& k : keys) {
        ASSERT_LT(k.key, row(k.index).presetKeyCount) << k.text;
        EXPECT_STREQ(row(k.index).presetKeys[k.key], k.text);
    }
    EXPECT_EQ(row(15).presetKeyCount, 0);

    // Keys are unique: a duplicate would make two parameters share one stored value.
    std::set<std::string> seen;
    int count = 0;
    for (const ParamRow& r : ParamTable())
        for (int k = 0; k < r.presetKeyCount; ++k, ++count)
            EXPECT_TRUE(seen.insert(r.presetKeys[k]).second) << r.presetKeys[k];
    // Every value parameter except the three layers has a key; colours have three, "Enable:" two.
    EXPECT_EQ(count, 102 - 2 - 3 + 2 * 4 + 1);
}
