// The host adapter against a fake host: conversions into host definitions, value reads and writes,
// progress scaling, time information, and tolerance of missing host data.
#include <gtest/gtest.h>

#include <cmath>

#include "FakeHost.h"
#include "host/CAEHost.h"
#include "host/HostFixed.h"

TEST(AEHost, FixedRoundsHalvesAwayFromZeroDefinitionsSentAndValuesReadAndWritten)
{
    const double q = 1.0 / 65536.0;
    const struct {
        double value;
        std::int32_t fixed;
    } cases[] = {{0.5 * q, 1},      {-0.5 * q, -1},     {1.5 * q, 2},     {-1.5 * q, -2},   {2.5 * q, 3},
                 {-2.5 * q, -3},    {0.49 * q, 0},      {-0.49 * q, 0},   {61.39, 4023255}, // 4023255.04
                 {1e12, INT32_MAX}, {-1e12, INT32_MIN}, {std::nan(""), 0}};
    for (const auto& c : cases)
        EXPECT_EQ(HostToFixed(c.value), c.fixed) << c.value / q;
    for (std::int32_t f : {0, 1, -1, 65536, -65536, 123456789, INT32_MIN, INT32_MAX})
        EXPECT_EQ(HostToFixed(HostFromFixed(f)), f);

    // What the real table sends and reads is pinned by the command-line parameter listings, the host kit's
    // checks and the presets; here the conversions those do not reach, what is not added, points, the
    // rounding of writes, refusals and indices outside the array.
    FakeHost fake;
    CAEHost adder(0, 1, &fake.in, nullptr);
    EXPECT_EQ(adder.AddColorParam(7, 12, "Haze Color", 165, 300, -4, 0), 1);
    EXPECT_EQ(adder.AddPointParamD(10, 15, "Centre", 0.25, 0.5, 0), 1);
    EXPECT_EQ(
        adder.AddAngleParam(14, 17, "An angle whose name is far longer than thirty-one characters", 0, 0), 1);
    ASSERT_EQ(fake.added.size(), 3u);
    const PF_Pixel c = fake.added[0].u.cd.dephault; // clamped
    EXPECT_EQ((std::vector<int>{c.alpha, c.red, c.green, c.blue}), (std::vector<int>{255, 165, 255, 0}));
    EXPECT_EQ(fake.added[1].u.td.x_dephault, 25 << 16);
    EXPECT_EQ(fake.added[1].u.td.y_dephault, 50 << 16);
    EXPECT_EQ(std::strlen(fake.added[2].name), 31u); // clipped to the host's field, not overrun

    // Codes without a host type, or outside 1..12, are not added; nor is anything without in-data.
    CHostInput d;
    d.name = "x";
    for (int t : {-1, 0, 2, 4, 10, 13, 100})
        EXPECT_EQ(adder.AddParam(t, &d), 0) << t;
    CAEHost unbound;
    EXPECT_EQ(unbound.AddAngleParam(1, 1, "Pan", 90, 0), 0);
    EXPECT_EQ(unbound.AddCustomParam(1, 0, "Presets", 215, 79, 0), 0);
    ASSERT_EQ(fake.added.size(), 3u);

    fake.added.clear();
    adder.AddPopupParam(1, 1, "Render Mode:", "A|B|C", 3, 2, 0);      // 1
    adder.AddSliderParam(2, 2, "Gamma", 0, 2, 1.25f, 0, false, 0, 0); // 2
    adder.AddAngleParam(3, 3, "Pan", -45.5f, 0);                      // 3
    adder.AddPointParam(4, 4, "Centre", 0.5f, 0.25f, 0);              // 4
    fake.AdoptAddedAsValues(200, 100);
    fake.values[4].u.td.x_value = 50 << 16; // the host keeps point values in pixels
    fake.values[4].u.td.y_value = 75 << 16;

    CAEHost host(0, 0, &fake.in, fake.Params());
    float x = 0, y = 0;
    EXPECT_EQ(host.GetParamPoint(4, &x, &y), 0);
    EXPECT_FLOAT_EQ(x, 0.25f);
    EXPECT_FLOAT_EQ(y, 0.75f);
    EXPECT_EQ(host.SetParamPoint(4, 0.5f, 0.5f), 0);
    EXPECT_EQ(fake.values[4].u.td.x_value, 100 << 16);
    EXPECT_EQ(fake.values[4].u.td.y_value, 50 << 16);
    EXPECT_EQ(host.GetParamValue(kParamSlider, 1, &d), 1); // a pop-up is no slider
    EXPECT_EQ(host.SetParamColor(1, 1, 2, 3), 1);          // nor a colour
    fake.refuseCheckout = true;
    EXPECT_EQ(host.GetParamValueAt(kParamAngle, 3, 0, &d), 1);

    // Writes set the changed flag; floats round halves away from zero.
    EXPECT_EQ(host.SetParamInt(1, 3), 0);
    EXPECT_EQ(fake.values[1].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
    EXPECT_EQ(host.SetParamFloat(2, float(-1.5 / 65536.0)), 0);
    EXPECT_EQ(fake.values[2].u.fd.value, -2);
    EXPECT_EQ(host.SetParamDouble(3, 0.5 / 65536.0), 0);
    EXPECT_EQ(fake.values[3].u.ad.value, 1);

    // Indices outside the array, a missing array or missing in-data: 1 and nothing touched.
    for (int i : {-1, 5, 1000}) {
        EXPECT_EQ(host.GetParamInt(i), 1) << i;
        EXPECT_EQ(host.SetParamInt(i, 5), 1) << i;
        EXPECT_EQ(host.GetParamValueAt(kParamPopup, i, 0, &d), 1) << i;
    }
    CAEHost noArray(0, 0, &fake.in, nullptr), noInData(0, 0, nullptr, fake.Params());
    EXPECT_FLOAT_EQ(noArray.GetParamFloat(2), 1.0f);
    EXPECT_EQ(noArray.SetParamFloat(2, 7), 1);
    EXPECT_EQ(noInData.SetParamInt(1, 2), 1);
    EXPECT_EQ(fake.values[1].u.pd.value, 3);
}

TEST(AEHost, ProgressAndTimeInformation)
{
    FakeHost fake;
    CAEHost host(0, 1, &fake.in, nullptr);
    EXPECT_EQ(host.Progress(1, 2), 0);
    host.Progress(1, 3); // 150 exactly in reals; trunc of the double product
    host.Progress(5, 0); // no division by zero
    const std::vector<std::pair<A_long, A_long>> progress = {
        {225, 100}, {A_long(std::trunc(1.0 / 3.0 * 4.5 * 100.0)), 100}, {0, 100}};
    EXPECT_EQ(fake.progress, progress);
    fake.progressAnswer = PF_Interrupt_CANCEL;
    EXPECT_EQ(host.Progress(1, 1000), PF_Interrupt_CANCEL);

    // {scale, step, local step, total, current} -> {fps, frame duration, frames, current frame, time}:
    // 30 fps, frame 10 of 300; the local step wins; with neither step the step is 15; truncation
    // towards zero.
    const struct {
        A_long scale, step, local, total, current;
        float fps, duration;
        A_long frames, frame;
        float seconds;
    } cases[] = {{30, 1, 1, 300, 10, 30, 1.0f / 30, 300, 10, 10.0f / 30},
                 {600, 20, 40, 6000, 130, 15, 20.0f / 600, 150, 3, 130.0f / 600},
                 {600, 0, 0, 6000, 130, 40, 0, 400, 8, 130.0f / 600},
                 {600, 0, 0, 6000, -130, 40, 0, 400, -8, -130.0f / 600}};
    fake.in.downsample_x = {1, 2};
    fake.in.downsample_y = {1, 4};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.scale << " " << c.step << " " << c.local << " " << c.current);
        fake.in.time_scale = c.scale, fake.in.time_step = c.step, fake.in.local_time_step = c.local;
        fake.in.total_time = c.total, fake.in.current_time = c.current;
        CHostTimeInfo t;
        ASSERT_EQ(host.GetTimeInfo(&t), 0);
        EXPECT_FLOAT_EQ(t.framesPerSecond, c.fps);
        if (c.duration > 0) {
            EXPECT_FLOAT_EQ(t.frameDuration, c.duration); // the time step, not the local one
        }
        EXPECT_EQ(t.frameCount, c.frames);
        EXPECT_EQ(t.currentFrame, c.frame);
        EXPECT_FLOAT_EQ(t.currentTime, c.seconds);
        EXPECT_FLOAT_EQ(t.duration, 10.0f);
        EXPECT_EQ(t.downsampleX, 2);
        EXPECT_EQ(t.downsampleY, 4);
    }
    EXPECT_TRUE(host.IsHighQuality());
    fake.in.quality = PF_Quality_LO;
    EXPECT_FALSE(host.IsHighQuality());
    CAEHost unbound;
    CHostTimeInfo t;
    EXPECT_EQ(unbound.GetTimeInfo(&t), 2);
    EXPECT_EQ(unbound.Progress(1, 2), 0);
    EXPECT_FALSE(unbound.IsHighQuality());
}
