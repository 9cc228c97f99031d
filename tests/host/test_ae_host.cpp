// The host adapter against a fake host: conversions into host definitions, value reads and writes,
// progress scaling, time information, and tolerance of missing host data.
#include <gtest/gtest.h>

#include <cmath>

#include "FakeHost.h"
#include "host/CAEHost.h"
#include "host/HostFixed.h"

TEST(HostFixed, RoundsHalvesAwayFromZeroOnBothSides)
{
    const double q = 1.0 / 65536.0;
    EXPECT_EQ(HostToFixed(0.5 * q), 1);
    EXPECT_EQ(HostToFixed(-0.5 * q), -1);
    EXPECT_EQ(HostToFixed(1.5 * q), 2);
    EXPECT_EQ(HostToFixed(-1.5 * q), -2);
    EXPECT_EQ(HostToFixed(2.5 * q), 3);
    EXPECT_EQ(HostToFixed(-2.5 * q), -3);
    EXPECT_EQ(HostToFixed(0.49 * q), 0);
    EXPECT_EQ(HostToFixed(-0.49 * q), 0);
    EXPECT_EQ(HostToFixed(61.39), 4023255); // 61.39 × 65536 = 4023255.04
    EXPECT_EQ(HostToFixed(1e12), INT32_MAX);
    EXPECT_EQ(HostToFixed(-1e12), INT32_MIN);
    EXPECT_EQ(HostToFixed(std::nan("")), 0);
    // Reading back is exact for every 16.16 value.
    for (std::int32_t f : {0, 1, -1, 65536, -65536, 123456789, INT32_MIN, INT32_MAX})
        EXPECT_EQ(HostToFixed(HostFromFixed(f)), f);
}

TEST(AEHost, ProgressAndTimeInformation)
{
    FakeHost fake;
    CAEHost host(0, 1, &fake.in, nullptr);
    EXPECT_EQ(host.Progress(1, 2), 0);
    ASSERT_EQ(fake.progress.size(), 1u);
    EXPECT_EQ(fake.progress[0], std::make_pair(A_long(225), A_long(100)));
    host.Progress(1, 3); // 150 exactly in reals; trunc of the double product
    EXPECT_EQ(fake.progress[1].first, A_long(std::trunc(1.0 / 3.0 * 4.5 * 100.0)));
    host.Progress(5, 0); // no division by zero
    EXPECT_EQ(fake.progress[2].first, 0);
    fake.progressAnswer = PF_Interrupt_CANCEL;
    EXPECT_EQ(host.Progress(1, 1000), PF_Interrupt_CANCEL);

    // 30 fps, frame 10 of 300.
    CHostTimeInfo t;
    fake.in.downsample_x = {1, 2};
    fake.in.downsample_y = {1, 4};
    ASSERT_EQ(host.GetTimeInfo(&t), 0);
    EXPECT_FLOAT_EQ(t.framesPerSecond, 30.0f);
    EXPECT_FLOAT_EQ(t.frameDuration, 1.0f / 30.0f);
    EXPECT_FLOAT_EQ(t.currentTime, 10.0f / 30.0f);
    EXPECT_FLOAT_EQ(t.duration, 10.0f);
    EXPECT_EQ(t.frameCount, 300);
    EXPECT_EQ(t.currentFrame, 10);
    EXPECT_EQ(t.downsampleX, 2);
    EXPECT_EQ(t.downsampleY, 4);

    // The local step wins; with neither step the step is 15.
    fake.in.time_scale = 600;
    fake.in.time_step = 20;
    fake.in.local_time_step = 40;
    fake.in.total_time = 6000;
    fake.in.current_time = 130;
    host.GetTimeInfo(&t);
    EXPECT_FLOAT_EQ(t.framesPerSecond, 15.0f);
    EXPECT_FLOAT_EQ(t.frameDuration, 20.0f / 600.0f); // the time step, not the local one
    EXPECT_EQ(t.frameCount, 150);
    EXPECT_EQ(t.currentFrame, 3);
    fake.in.time_step = 0;
    fake.in.local_time_step = 0;
    host.GetTimeInfo(&t);
    EXPECT_FLOAT_EQ(t.framesPerSecond, 40.0f);
    EXPECT_EQ(t.frameCount, 400);
    EXPECT_EQ(t.currentFrame, 8);
    fake.in.current_time = -130; // before the layer starts: truncation towards zero
    host.GetTimeInfo(&t);
    EXPECT_EQ(t.currentFrame, -8);

    EXPECT_TRUE(host.IsHighQuality());
    fake.in.quality = PF_Quality_LO;
    EXPECT_FALSE(host.IsHighQuality());

    CAEHost unbound;
    EXPECT_EQ(unbound.GetTimeInfo(&t), 2);
    EXPECT_EQ(unbound.Progress(1, 2), 0);
    EXPECT_FALSE(unbound.IsHighQuality());
}

TEST(AEHost, DefinitionsSentToTheHost)
{
    FakeHost fake;
    CAEHost host(0, 1, &fake.in, nullptr);
    EXPECT_EQ(host.AddSliderParam(2, 7, "Wind Speed (M/S)", 0, 20, 5, kParamFlagStartCollapsed, false, 0, 0), 1);
    EXPECT_EQ(host.AddSliderParam(3, 8, "Field Of View", 1, 90, 61.39f, 0, true, 1, 175), 1);
    EXPECT_EQ(host.AddAngleParam(4, 9, "Tilt", 100, kParamFlagCannotTimeVary), 1);
    EXPECT_EQ(host.AddCheckboxParam(5, 10, "Haze On", kParamFlagCannotInterp, 1), 1);
    EXPECT_EQ(host.AddPopupParam(6, 11, "Layout:", "Normal|Tile|Stretch to Max distance", 3, 2, 0), 1);
    EXPECT_EQ(host.AddColorParam(7, 12, "Haze Color", 165, 300, -4, 0), 1);
    EXPECT_EQ(host.AddLayerParam(8, 13, "Map Layer:", 1, 0, 0), 1);
    EXPECT_EQ(host.AddLayerParam(9, 14, "Own Layer", 1, 1, 0), 1);
    EXPECT_EQ(host.AddPointParamD(10, 15, "Centre", 0.25, 0.5, 0), 1);
    EXPECT_EQ(host.AddGroupStart(11, 16, "Camera", kParamFlagStartCollapsed), 1);
    EXPECT_EQ(host.AddGroupEnd(12, 0), 1);
    EXPECT_EQ(host.AddCustomParam(13, 99, "Presets", 215, 79, 0), 1);
    EXPECT_EQ(host.ParamCount(), 12);
    ASSERT_EQ(fake.added.size(), 12u);

    // The types, names, ids, flags and defaults the real table sends are pinned by the command-line
    // parameter listings; here the conversions those do not reach.
    const PF_ParamDef& s = fake.added[0];
    EXPECT_EQ(s.u.fd.valid_max, 200 << 16); // derived
    EXPECT_EQ(s.u.fd.precision, 2);
    const PF_ParamDef& fov = fake.added[1];
    EXPECT_EQ(fov.u.fd.valid_max, 175 << 16); // given
    EXPECT_EQ(fov.u.fd.dephault, HostToFixed(double(61.39f)));
    EXPECT_STREQ(fake.added[3].u.bd.u.nameptr, "  ");
    const PF_Pixel c = fake.added[5].u.cd.dephault;
    EXPECT_EQ(c.alpha, 255);
    EXPECT_EQ(c.red, 165);
    EXPECT_EQ(c.green, 255); // clamped
    EXPECT_EQ(c.blue, 0);
    EXPECT_EQ(fake.added[6].u.ld.dephault, PF_LayerDefault_NONE);
    EXPECT_EQ(fake.added[7].u.ld.dephault, PF_LayerDefault_MYSELF);
    EXPECT_EQ(fake.added[8].u.td.x_dephault, 25 << 16);
    EXPECT_EQ(fake.added[8].u.td.y_dephault, 50 << 16);

    // A name longer than the host's field is clipped, not overrun.
    host.AddAngleParam(14, 17, "An angle whose name is far longer than thirty-one characters", 0, 0);
    EXPECT_EQ(std::strlen(fake.added.back().name), 31u);
}

TEST(AEHost, WhatIsNotAdded)
{
    FakeHost old(11);
    CAEHost host(0, 1, &old.in, nullptr);
    // Groups only from API major 12.
    EXPECT_EQ(host.IsParamTypeSupported(kParamGroupStart), 0);
    EXPECT_EQ(host.AddGroupStart(2, 2, "Camera", 0), 0);
    EXPECT_EQ(host.AddGroupEnd(3, 3), 0);
    EXPECT_EQ(host.IsParamTypeSupported(kParamSlider), 1);
    // Codes without a host type, or outside 1..12.
    CHostInput d;
    d.name = "x";
    for (int t : {-1, 0, 2, 4, 10, 13, 100})
        EXPECT_EQ(host.AddParam(t, &d), 0) << t;
    EXPECT_EQ(host.NoOperation(), 0);
    // A host error leaves the counter where it was.
    old.refuseAddAt = old.addParamCalls;
    EXPECT_EQ(host.AddAngleParam(2, 2, "Pan", 90, 0), 0);
    EXPECT_EQ(host.AddAngleParam(2, 2, "Pan", 90, 0), 1);
    EXPECT_EQ(host.ParamCount(), 1);
    // Setup mode 0 counts without sending.
    host.SetParamSetupMode(0);
    const int before = old.addParamCalls;
    EXPECT_EQ(host.AddAngleParam(3, 3, "Roll", 0, 0), 1);
    EXPECT_EQ(host.AddCustomParam(4, 0, "Presets", 215, 79, 0), 1);
    EXPECT_EQ(old.addParamCalls, before);
    EXPECT_EQ(host.ParamCount(), 3);
    // No in-data: nothing is added.
    CAEHost unbound;
    EXPECT_EQ(unbound.AddAngleParam(1, 1, "Pan", 90, 0), 0);
    EXPECT_EQ(unbound.AddCustomParam(1, 0, "Presets", 215, 79, 0), 0);
    EXPECT_EQ(unbound.IsParamTypeSupported(kParamGroupEnd), 0);
}

TEST(AEHost, ValuesReadAndWritten)
{
    FakeHost fake;
    CAEHost adder(0, 1, &fake.in, nullptr);
    adder.AddPopupParam(1, 1, "Render Mode:", "A|B|C", 3, 2, 0);          // 1
    adder.AddSliderParam(2, 2, "Gamma", 0, 2, 1.25f, 0, false, 0, 0);     // 2
    adder.AddAngleParam(3, 3, "Pan", -45.5f, 0);                          // 3
    adder.AddCheckboxParam(4, 4, "Haze On", 0, 1);                        // 4
    adder.AddColorParam(5, 5, "Water Color", 26, 27, 28, 0);              // 5
    adder.AddPointParam(6, 6, "Centre", 0.5f, 0.25f, 0);                  // 6
    fake.AdoptAddedAsValues(200, 100);
    // The host keeps point values in pixels.
    fake.values[6].u.td.x_value = 50 << 16;
    fake.values[6].u.td.y_value = 75 << 16;

    CAEHost host(0, 0, &fake.in, fake.Params());
    EXPECT_EQ(host.GetParamInt(1), 2);
    EXPECT_EQ(host.GetParamLong(4), 1);
    EXPECT_FLOAT_EQ(host.GetParamFloat(2), 1.25f);
    EXPECT_DOUBLE_EQ(host.GetParamDouble(3), -45.5);
    std::uint8_t r = 0, g = 0, b = 0;
    EXPECT_EQ(host.GetParamColor(5, &r, &g, &b), 0);
    EXPECT_EQ(r, 26);
    EXPECT_EQ(g, 27);
    EXPECT_EQ(b, 28);
    float x = 0, y = 0;
    EXPECT_EQ(host.GetParamPoint(6, &x, &y), 0);
    EXPECT_FLOAT_EQ(x, 0.25f);
    EXPECT_FLOAT_EQ(y, 0.75f);

    CHostInput d;
    EXPECT_EQ(host.GetParamValue(kParamPopup, 1, &d), 0);
    EXPECT_EQ(d.choiceCount, 2);
    EXPECT_EQ(host.GetParamValue(kParamSlider, 2, &d), 0);
    EXPECT_FLOAT_EQ(d.dflt, 1.25f);
    EXPECT_EQ(host.GetParamValue(kParamColor, 5, &d), 0);
    EXPECT_FLOAT_EQ(d.dflt3, 28.0f);
    EXPECT_EQ(host.GetParamValue(kParamSlider, 1, &d), 1); // a pop-up is no slider
    EXPECT_EQ(host.GetParamValueAt(kParamAngle, 3, 0, &d), 0);
    EXPECT_FLOAT_EQ(d.dflt, -45.5f);
    EXPECT_EQ(fake.checkouts, 1);
    EXPECT_EQ(fake.checkins, 1);
    fake.refuseCheckout = true;
    EXPECT_EQ(host.GetParamValueAt(kParamAngle, 3, 0, &d), 1);
    fake.refuseCheckout = false;

    // Writes set the changed flag; floats round halves away from zero.
    EXPECT_EQ(host.SetParamInt(1, 3), 0);
    EXPECT_EQ(fake.values[1].u.pd.value, 3);
    EXPECT_EQ(fake.values[1].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
    EXPECT_EQ(host.SetParamFloat(2, float(-1.5 / 65536.0)), 0);
    EXPECT_EQ(fake.values[2].u.fd.value, -2);
    EXPECT_EQ(host.SetParamDouble(3, 0.5 / 65536.0), 0);
    EXPECT_EQ(fake.values[3].u.ad.value, 1);
    EXPECT_EQ(host.SetParamColor(5, 1, 2, 3), 0);
    EXPECT_EQ(fake.values[5].u.cd.value.alpha, 0);
    EXPECT_EQ(fake.values[5].u.cd.value.blue, 3);
    EXPECT_EQ(host.SetParamPoint(6, 0.5f, 0.5f), 0);
    EXPECT_EQ(fake.values[6].u.td.x_value, 100 << 16);
    EXPECT_EQ(fake.values[6].u.td.y_value, 50 << 16);
    EXPECT_EQ(host.SetParamColor(1, 1, 2, 3), 1); // not a colour

    // Indices outside the array, a missing array or missing in-data: 1 and nothing touched.
    for (int i : {-1, 7, 1000}) {
        EXPECT_EQ(host.GetParamInt(i), 1) << i;
        EXPECT_EQ(host.SetParamInt(i, 5), 1) << i;
        EXPECT_EQ(host.GetParamValue(kParamPopup, i, &d), 1) << i;
        EXPECT_EQ(host.GetParamValueAt(kParamPopup, i, 0, &d), 1) << i;
    }
    CAEHost noArray(0, 0, &fake.in, nullptr);
    EXPECT_EQ(noArray.GetParamInt(1), 1);
    EXPECT_FLOAT_EQ(noArray.GetParamFloat(2), 1.0f);
    EXPECT_EQ(noArray.SetParamFloat(2, 7), 1);
    CAEHost noInData(0, 0, nullptr, fake.Params());
    EXPECT_EQ(noInData.GetParamInt(1), 1);
    EXPECT_EQ(noInData.SetParamInt(1, 2), 1);
    EXPECT_EQ(fake.values[1].u.pd.value, 3);
}

TEST(AEHost, LayerCheckout)
{
    FakeHost fake;
    PF_ParamDef layer{};
    layer.param_type = PF_Param_LAYER;
    PF_Pixel px[4] = {};
    fake.values = {layer, layer, layer};
    fake.values[1].u.ld.data = px;
    fake.values[1].u.ld.width = 2;
    fake.values[1].u.ld.height = 2;
    fake.values[1].u.ld.rowbytes = 8;
    fake.RefreshPointers();
    CAEHost host(0, 0, &fake.in, fake.Params());
    PF_ParamDef out{};
    EXPECT_TRUE(host.CheckoutLayer(1, &out));
    EXPECT_EQ(out.u.ld.data, px);
    host.CheckinLayer(&out);
    EXPECT_EQ(fake.checkouts, 1);
    EXPECT_EQ(fake.checkins, 1);
    // No pixels: checked back in at once and reported as no layer.
    EXPECT_FALSE(host.CheckoutLayer(2, &out));
    EXPECT_EQ(fake.checkins, 2);
    EXPECT_FALSE(host.CheckoutLayer(3, &out)); // out of range: the host is not asked
    EXPECT_EQ(fake.checkouts, 2);
    CAEHost unbound;
    EXPECT_FALSE(unbound.CheckoutLayer(1, &out));
}
