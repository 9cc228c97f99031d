// The parameter list is what saved projects store: order, names and ids must match the published
// list exactly. The expected names below are written out independently of the table's builder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "host/ParamTable.h"

namespace {

const char* const kNamesWithGroups[kParamCountWithGroups] = {
    "", "Presets",
    "Render Options", "Render What:", "Render Mode:", "Grayscale Zoom", "Double Distance (M)",
    "Max Distance (KM) ", "Time Stretch", "Loop Time (S)", "Gamma Scale", "Color Min Scale",
    "Color Max Scale", "",
    "Image Map 1", "Map Layer:", "Map is:", "Displace on:", "Displace Intensity", "Center X (M)",
    "Center Y (M)", "Angle", "Scale X", "Scale Y", "Blur Amount", "Layout:", "",
    "Image Map 2", "Map Layer:", "Map is:", "Displace on:", "Displace Intensity", "Center X (M)",
    "Center Y (M)", "Angle", "Scale X", "Scale Y", "Blur Amount", "Layout:", "",
    "Image Map 3", "Map Layer:", "Map is:", "Displace on:", "Displace Intensity", "Center X (M)",
    "Center Y (M)", "Angle", "Scale X", "Scale Y", "Blur Amount", "Layout:", "",
    "Camera", "X East-West (M)", "Y North-South (M)", "Elevation (M)", "Tilt", "Pan", "Roll",
    "Field Of View", "Bobbing Platform Size (M)", "",
    "Air Optics", "Scattering Bias", "Haze On", "Haze Visibilty (KM)", "Haze Height (M)", "Haze Color",
    "Haze Diffusivity", "Rainbow Style", "Rainbow Radius", "Rainbow Intensity", "Rainbow Thickness", "",
    "Ocean Optics", "Water Color", "Water Color Scale", "Index of Refraction", "",
    "Primary Waves", "Ocean Complexity", "Coarse Grid Size (M)", "Fine Grid Size (M)", "Wind Direction",
    "Wind Speed (M/S)", "Wave Smoothness", "Vertical Scale (M)", "",
    "Light 1", "Light Affects:", "Light Elevation", "Light Azimuth", "Light Color", "Light Intensity",
    "Viewed Intensity", "Viewed Size", "Glitter Scale", "Water Color Scale", "",
    "Light 2", "Light Affects:", "Light Elevation", "Light Azimuth", "Light Color", "Light Intensity",
    "Viewed Intensity", "Viewed Size", "Glitter Scale", "Water Color Scale", "",
    "Swells", "Enable:", "1- Direction", "1- Height (M)", "1- Length (M)", "1- Roughness",
    "1- Oscillations", "2- Direction", "2- Height (M)", "2- Length (M)", "2- Roughness",
    "2- Oscillations", "",
};

const ParamRow& row(int i) { return ParamTable()[std::size_t(i)]; }

} // namespace

TEST(ParamTable, NamesAndOrderOnAHostThatTakesGroups)
{
    for (int i = 0; i < kParamCountWithGroups; ++i)
        EXPECT_STREQ(row(i).name, kNamesWithGroups[i]) << "index " << i;
    // The trailing blank is part of the saved name.
    EXPECT_EQ(std::string(row(7).name), "Max Distance (KM) ");
    EXPECT_EQ(std::strlen(row(7).name), 18u);
    int starts = 0, ends = 0;
    for (const ParamRow& r : ParamTable()) {
        starts += r.kind == kParamGroupStart;
        ends += r.kind == kParamGroupEnd;
        EXPECT_LT(std::strlen(r.name), 32u);
    }
    EXPECT_EQ(starts, 11);
    EXPECT_EQ(ends, 11);
}

TEST(ParamTable, LayoutsWithAndWithoutGroups)
{
    const auto with = ParamLayout(true);
    const auto without = ParamLayout(false);
    ASSERT_EQ(with.size(), std::size_t(kParamCountWithGroups));
    ASSERT_EQ(without.size(), std::size_t(kParamCountWithoutGroups));
    for (int i = 0; i < kParamCountWithGroups; ++i)
        EXPECT_EQ(with[std::size_t(i)].index, i);

    // Image map 1's layer: 15 with groups, 12 without.
    EXPECT_EQ(ParamFirstValueIndex(ParamGroup::ImageMap1, true), 15);
    EXPECT_EQ(ParamFirstValueIndex(ParamGroup::ImageMap1, false), 12);
    EXPECT_STREQ(without[12].row->name, "Map Layer:");
    EXPECT_EQ(ParamFirstValueIndex(ParamGroup::ImageMap2, true), 28);
    EXPECT_EQ(ParamFirstValueIndex(ParamGroup::ImageMap3, true), 41);
    EXPECT_EQ(ParamFirstValueIndex(ParamGroup::Swell1, true), 113);
    EXPECT_EQ(ParamFirstValueIndex(ParamGroup::Swell2, true), 118);
    EXPECT_EQ(ParamFirstValueIndex(ParamGroup::Swells, true), 112);

    // Every group start index the list gives.
    const int starts[] = {2, 14, 27, 40, 53, 63, 75, 80, 89, 100, 111};
    for (int s : starts)
        EXPECT_EQ(row(s).kind, kParamGroupStart) << s;

    // Without groups the value parameters keep their order and their ids equal their indices,
    // except the camera's, which run from 200.
    int k = 0;
    for (const ParamSlot& s : with) {
        if (ParamIsGroupRow(*s.row))
            continue;
        EXPECT_EQ(without[std::size_t(k)].row, s.row);
        ++k;
    }
    for (const ParamSlot& s : without) {
        if (s.row->group == ParamGroup::Camera) {
            EXPECT_EQ(s.id, 200 + (s.index - 45)) << s.row->name;
        } else if (s.row->kind != kParamCustomUI) {
            EXPECT_EQ(s.id, s.index) << s.row->name;
        }
    }
    EXPECT_EQ(without[45].id, 200);
    EXPECT_STREQ(without[45].row->name, "X East-West (M)");
}

TEST(ParamTable, PersistentIds)
{
    const auto with = ParamLayout(true);
    for (const ParamSlot& s : with)
        EXPECT_EQ(s.id, s.row->idWithGroups) << s.index;
    EXPECT_EQ(row(53).idWithGroups, 200);
    for (int i = 54; i <= 61; ++i)
        EXPECT_EQ(row(i).idWithGroups, 201 + (i - 54));
    EXPECT_EQ(row(62).idWithGroups, 0);  // camera group end
    EXPECT_EQ(row(123).idWithGroups, 0); // swells group end
    EXPECT_EQ(row(1).idWithGroups, 0);   // presets panel
    EXPECT_EQ(row(13).idWithGroups, 13);
    EXPECT_EQ(row(122).idWithGroups, 122);
    // Ids are unique apart from the zeros.
    std::set<int> ids;
    for (const ParamSlot& s : with) {
        if (s.id != 0) {
            EXPECT_TRUE(ids.insert(s.id).second) << s.id;
        }
    }
}

TEST(ParamTable, RangesDefaultsAndChoices)
{
    float lo = 0, hi = 0;
    // Derived: max = clamp(10 smax, smax, 24000), min = smin when positive, else max(10 smin, -24000).
    DeriveValidRange(0, 5, &lo, &hi);
    EXPECT_FLOAT_EQ(lo, 0);
    EXPECT_FLOAT_EQ(hi, 50);
    DeriveValidRange(0.01f, 10, &lo, &hi);
    EXPECT_FLOAT_EQ(lo, 0.01f);
    EXPECT_FLOAT_EQ(hi, 100);
    DeriveValidRange(-500, 500, &lo, &hi);
    EXPECT_FLOAT_EQ(lo, -5000);
    EXPECT_FLOAT_EQ(hi, 5000);
    DeriveValidRange(-4000, 3000, &lo, &hi);
    EXPECT_FLOAT_EQ(lo, -24000);
    EXPECT_FLOAT_EQ(hi, 24000);
    DeriveValidRange(-10, -2, &lo, &hi); // 10 × a negative max is below the max: the max holds
    EXPECT_FLOAT_EQ(lo, -100);
    EXPECT_FLOAT_EQ(hi, -2);

    // Given ranges win.
    ParamValidRange(row(60), &lo, &hi); // Field Of View
    EXPECT_FLOAT_EQ(lo, 1);
    EXPECT_FLOAT_EQ(hi, 175);
    ParamValidRange(row(11), &lo, &hi); // Color Min Scale
    EXPECT_FLOAT_EQ(lo, -20000);
    EXPECT_FLOAT_EQ(hi, 20000);

    for (const ParamRow& r : ParamTable()) {
        if (r.kind == kParamSlider) {
            ParamValidRange(r, &lo, &hi);
            EXPECT_LE(r.sliderMin, r.dflt) << r.name;
            EXPECT_GE(r.sliderMax, r.dflt) << r.name;
            EXPECT_LE(lo, r.sliderMin) << r.name;
            EXPECT_GE(hi, r.sliderMax) << r.name;
        }
        if (r.kind == kParamPopup) {
            ASSERT_NE(r.choices, nullptr);
            const int bars = int(std::count(r.choices, r.choices + std::strlen(r.choices), '|'));
            EXPECT_EQ(bars + 1, r.choiceCount) << r.name;
            EXPECT_GE(r.dflt, 1.0f) << r.name;
            EXPECT_LE(r.dflt, float(r.choiceCount)) << r.name;
        }
    }
    EXPECT_FLOAT_EQ(row(60).dflt, 61.39f);
    EXPECT_FLOAT_EQ(row(90).dflt, 4.0f);  // light 1 affects both
    EXPECT_FLOAT_EQ(row(101).dflt, 1.0f); // light 2 affects nothing
    EXPECT_EQ(row(65).kind, kParamCheckbox);
    EXPECT_EQ(row(65).flags, kParamFlagCannotTimeVary);
    EXPECT_EQ(row(5).flags, kParamFlagStartCollapsed | kParamFlagCannotTimeVary);
    EXPECT_EQ(row(90).flags, kParamFlagCannotInterp);
    EXPECT_EQ(row(15).kind, kParamLayer);
    EXPECT_EQ(row(15).mapNumber, 1);
    EXPECT_EQ(row(41).mapNumber, 3);
    EXPECT_EQ(row(1).kind, kParamCustomUI);
    EXPECT_EQ(row(1).uiWidth, 215);
    EXPECT_EQ(row(1).uiHeight, 79);
    EXPECT_STREQ(row(4).choices, "Grayscale [Icons]|Grayscale [No Icons]|Wireframe|Texture [No Geometry]|"
                                 "Light Tracking|Realistic|Too Realistic [RTM]|Depth Map");
}

TEST(ParamTable, PresetKeys)
{
    EXPECT_STREQ(row(3).presetKeys[0], "OP_RWHAT");
    EXPECT_STREQ(row(29).presetKeys[0], "IM2DOES");
    // The two scale keys are crossed.
    EXPECT_STREQ(row(22).name, "Scale X");
    EXPECT_STREQ(row(22).presetKeys[0], "IM1SCALEY");
    EXPECT_STREQ(row(23).presetKeys[0], "IM1SCALEX");
    EXPECT_STREQ(row(92).presetKeys[0], "0_LP_012");
    EXPECT_EQ(row(93).presetKeyCount, 3);
    EXPECT_STREQ(row(93).presetKeys[0], "0_LP_0123");
    EXPECT_STREQ(row(93).presetKeys[2], "0_LP_012345");
    EXPECT_STREQ(row(98).presetKeys[0], "0_LP_012345678910");
    EXPECT_STREQ(row(109).presetKeys[0], "1_LP_012345678910");
    EXPECT_EQ(row(112).presetKeyCount, 2);
    EXPECT_STREQ(row(112).presetKeys[0], "0_SWP_0");
    EXPECT_STREQ(row(112).presetKeys[1], "1_SWP_0");
    EXPECT_STREQ(row(117).presetKeys[0], "0_SWP_012345");
    EXPECT_STREQ(row(122).presetKeys[0], "1_SWP_012345");
    EXPECT_STREQ(row(68).presetKeys[1], "AO_HCLR_G");
    EXPECT_EQ(row(15).presetKeyCount, 0);

    // Keys are unique: a duplicate would make two parameters share one stored value.
    std::set<std::string> keys;
    int count = 0;
    for (const ParamRow& r : ParamTable())
        for (int k = 0; k < r.presetKeyCount; ++k, ++count)
            EXPECT_TRUE(keys.insert(r.presetKeys[k]).second) << r.presetKeys[k];
    // Every value parameter except the three layers has a key; colours have three, "Enable:" two.
    EXPECT_EQ(count, 102 - 2 - 3 + 2 * 4 + 1);
}
