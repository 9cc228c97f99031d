// Frames through the render command: the top view against the surface's heights, determinism, looping,
// image maps without leaks, the progress hook, and every scene mode surviving failures and aborts.
#include "DriverFixture.h"
#include "platform/HyMemory.h"

namespace driver_test {
namespace {

using Frames = Driver;

TEST_F(Frames, TopViewShowsTheSurfaceHeightsWithNorthUp)
{
    set(ParamGroup::RenderOptions, "Render Mode:", 2); // no tint, no markers
    set(ParamGroup::RenderOptions, "Color Min Scale", -1.5);
    set(ParamGroup::RenderOptions, "Color Max Scale", 1.5);
    set(ParamGroup::RenderOptions, "Grayscale Zoom", 1.5);
    ASSERT_EQ(render_at(3.25), PF_Err_NONE);
    EXPECT_FLOAT_EQ(effect().LastFrameTime(), 3.25f);
    const HyOceanSurface* s = effect().Surface();
    int mismatches = 0, distinct = 0, last = -1, flipped = 0;
    for (int r = 0; r < 48; ++r)
        for (int c = 0; c < 64; ++c) {
            // Row 0 of the host's output is the top of the picture: the largest y.
            const double x = (c + 0.5 - 32.0) * 1.5, y = (24.0 - r - 0.5) * 1.5;
            const int g = gray_oracle(s->get_height(x, y), -1.5, 1.5);
            const PF_Pixel& p = output_.at(c, r);
            mismatches += p.red != g || p.green != g || p.blue != g || p.alpha != 255;
            distinct += g != last;
            last = g;
            // The same frame upside down would not match: the check sees the orientation.
            flipped += r == 0 && p.red != gray_oracle(s->get_height(x, -y), -1.5, 1.5);
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(distinct, 500); // a real sea, not a flat picture
    EXPECT_GT(flipped, 10);
}

TEST_F(Frames, FramesDependOnlyOnTimeAndParametersAndLoopWhenAsked)
{
    set(ParamGroup::RenderOptions, "Render Mode:", 1);
    const auto first = frame_at(2.0);
    EXPECT_EQ(frame_at(2.0), first);
    EXPECT_NE(frame_at(5.0), first);

    // Change several things (one needing new lattices, swells added), render, change them back.
    const struct {
        ParamGroup group;
        const char* name;
        double changed, back;
    } changes[] = {{ParamGroup::PrimaryWaves, "Ocean Complexity", 2, 1},
                   {ParamGroup::PrimaryWaves, "Wind Speed (M/S)", 9, 5},
                   {ParamGroup::Swells, "Enable:", 4, 1},
                   {ParamGroup::Camera, "Pan", 10, 90}};
    for (const auto& c : changes)
        set(c.group, c.name, c.changed);
    EXPECT_NE(frame_at(2.0), first);
    for (const auto& c : changes)
        set(c.group, c.name, c.back);
    EXPECT_EQ(frame_at(2.0), first);

    // Time stretch scales the host time.
    set(ParamGroup::RenderOptions, "Time Stretch", 2);
    EXPECT_EQ(frame_at(1.0), first);

    // Loop time 0: no repetition; a loop time repeats the sea.
    set(ParamGroup::RenderOptions, "Time Stretch", 1);
    for (double loop : {0.0, 10.0}) {
        set(ParamGroup::RenderOptions, "Loop Time (S)", loop);
        const auto start = frame_at(0.0);
        EXPECT_EQ(frame_at(10.0) == start, loop > 0) << loop;
        EXPECT_EQ(effect().Surface()->loop, loop > 0 ? 1 : 0);
    }
}

// A layer with a gradient, a bright disc and an alpha ramp, so every channel has something to show.
void paint(hostkit::World& w)
{
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x) {
            const int dx = x - w.width() / 2, dy = y - w.height() / 2;
            const bool disc = dx * dx + dy * dy < 100;
            w.at(x, y) = PF_Pixel{A_u_char(255 * x / w.width()), A_u_char(disc ? 250 : 40),
                                  A_u_char(255 * y / w.height()), A_u_char(disc ? 30 : 180)};
        }
}

TEST_F(Frames, ImageMapFramesLeaveNothingBehindAndSurviveRefusedMemory)
{
    hostkit::World a(96, 64), b(40, 40), c(33, 17);
    const struct {
        ParamGroup group;
        hostkit::World* layer;
        int type;
    } maps[] = {
        {ParamGroup::ImageMap1, &a, 5}, {ParamGroup::ImageMap2, &b, 3}, {ParamGroup::ImageMap3, &c, 1}};
    for (const auto& m : maps) {
        paint(*m.layer);
        ASSERT_TRUE(host().set_layer(index(m.group, "Map Layer:"), m.layer));
        set(m.group, "Map is:", m.type); // displace and texture on; texture above; displace
    }
    set(ParamGroup::ImageMap1, "Center X (M)", 0);
    set(ParamGroup::ImageMap3, "Blur Amount", 4);
    set(ParamGroup::ImageMap3, "Displace on:", 7); // hue
    set(ParamGroup::RenderOptions, "Render Mode:", 1);
    set(ParamGroup::RenderOptions, "Grayscale Zoom", 0.5);

    const auto withMaps = frame_at(0.5);
    const std::int64_t heap = hymem::heap_bytes(), hooked = hymem::hook_bytes();
    const long handles = hostkit::live_host_handles();
    for (int f = 0; f < 100; ++f)
        ASSERT_EQ(render_at(0.04 * f), PF_Err_NONE) << f;
    // A refused host-memory handle fails the frame or not, and leaves nothing behind either way.
    for (long after : {0L, 1L, 2L, 3L}) {
        host().script_handle_failure(after);
        const PF_Err err = render_at(1.0);
        EXPECT_TRUE(err == PF_Err_NONE || err == PF_Err_OUT_OF_MEMORY) << after;
        host().script_handle_failure(-1);
        EXPECT_EQ(hostkit::live_host_handles(), handles) << after;
    }
    EXPECT_EQ(hymem::heap_bytes(), heap);
    EXPECT_EQ(hymem::hook_bytes(), hooked);
    EXPECT_EQ(effect().Surface()->disturbances.count, 0); // nothing of the maps stays on the surface

    EXPECT_EQ(frame_at(0.5), withMaps);
    ASSERT_TRUE(host().set_layer(index(ParamGroup::ImageMap1, "Map Layer:"), nullptr));
    EXPECT_NE(frame_at(0.5), withMaps); // heights with the map differ from those without it

    // Layers of awkward sizes render without an error message.
    for (int side : {0, 1, 2, 3}) {
        hostkit::World w(side, side);
        paint(w);
        ASSERT_TRUE(host().set_layer(index(ParamGroup::ImageMap1, "Map Layer:"), &w));
        EXPECT_EQ(render_at(1.0), PF_Err_NONE) << side;
        EXPECT_EQ(host().out_data().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0) << side;
        ASSERT_TRUE(host().set_layer(index(ParamGroup::ImageMap1, "Map Layer:"), nullptr));
    }
}

// Every scene mode renders twice to the same bytes; refused host memory part way through a frame leaves
// nothing behind; after a frame aborted on a row the next is as if never interrupted.
TEST_F(Frames, SceneModesRenderDeterministicallyAndSurviveFailures)
{
    set(ParamGroup::RenderOptions, "Max Distance (KM) ", 0.3);
    for (int mode = 3; mode <= 8; ++mode) {
        SCOPED_TRACE(mode);
        set(ParamGroup::RenderOptions, "Render Mode:", mode);
        const auto good = frame_at(0.5);
        EXPECT_EQ(host().message(), "");
        EXPECT_EQ(frame_at(0.5), good);

        const std::int64_t heap = hymem::heap_bytes(), hooked = hymem::hook_bytes();
        const long handles = hostkit::live_host_handles();
        for (long after : {1L, 3L, 6L}) {
            host().script_handle_failure(after);
            const PF_Err err = render_at(0.5);
            host().script_handle_failure(-1);
            EXPECT_TRUE(err == PF_Err_NONE || err == PF_Err_OUT_OF_MEMORY) << "after " << after;
            EXPECT_EQ(hostkit::live_host_handles(), handles) << "after " << after;
        }
        EXPECT_EQ(hymem::heap_bytes(), heap);
        EXPECT_EQ(hymem::hook_bytes(), hooked);

        host().script_abort(4, PF_Interrupt_CANCEL);
        EXPECT_EQ(render_at(0.5), PF_Interrupt_CANCEL);
        host().script_abort(-1);
        EXPECT_EQ(frame_at(0.5), good);
    }
}

// The scene's progress hook asks the host until the first abort, and keeps the host's code.
TEST(ProgressHook, StopsAskingAfterTheFirstAbort)
{
    struct CountingHost : CAEHost {
        std::vector<std::int32_t> calls;
        std::int32_t Progress(std::int32_t current, std::int32_t total) override
        {
            calls.push_back(current);
            EXPECT_EQ(total, 1000);
            return calls.size() >= 3 ? PF_Interrupt_CANCEL : 0;
        }
    } h;
    CEffectVaskel1 fx;
    fx.SetHost(&h);
    EXPECT_TRUE(fx.ReportProgress(0.1234));
    EXPECT_TRUE(fx.ReportProgress(0.5));
    EXPECT_FALSE(fx.ReportProgress(0.75));
    EXPECT_FALSE(fx.ReportProgress(0.9));
    EXPECT_EQ(h.calls, (std::vector<std::int32_t>{123, 500, 750}));
    EXPECT_EQ(fx.AbortCode(), PF_Interrupt_CANCEL);
}

} // namespace
} // namespace driver_test
