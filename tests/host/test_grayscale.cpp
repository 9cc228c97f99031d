// Grayscale views: the gray level's rounding, a view against the gray formula of the surface's own
// heights, markers at hand-computed pixels; through the real module, a map's heights inside its outline
// and the tint against an independent projection and between the camera's own view lines.
#include "host/GrayscaleView.h"

#include "DriverFixture.h"

#include "host/ImageMaps.h"

#include <algorithm>
#include <utility>

namespace {

using driver_test::gray_oracle;
using driver_test::small_waves;
constexpr double kPi = 3.14159265358979323846;

} // namespace

TEST(GrayscaleView, LevelAndViewFollowTheGrayFormulaAndUndrawableOutputsAreLeftAlone)
{
    // The rounding to 1/65536 happens before the floor: just under 10 by half a unit becomes 10, by a
    // whole unit stays 9. A range of no width: above the minimum white, else black; nothing undefined.
    const double half = std::ldexp(1.0, -17);
    const struct {
        double h, lo, hi;
        int level;
    } cases[] = {
        {0.0, 0, 1, 0},          {1.0, 0, 1, 255},  {0.5, 0, 1, 127},          {-3.0, 0, 1, 0},
        {7.0, 0, 1, 255},        {-1.0, -2, 2, 63}, {10.0 - half, 0, 255, 10}, {10.0 - 2 * half, 0, 255, 9},
        {-half, 0, 255, 0},      {0.1, 0, 0, 255},  {-0.1, 0, 0, 0},           {0.0, 0, 0, 0},
        {std::nan(""), 0, 1, 0}, {0.5, 1, 0, 127}}; // inverted range
    for (const auto& c : cases)
        EXPECT_EQ(grayscale_level(c.h, c.lo, c.hi), c.level) << c.h << " in " << c.lo << ".." << c.hi;
    for (int k = -300; k <= 300; ++k)
        EXPECT_EQ(grayscale_level(k * 0.0137, -1.5, 2.25), gray_oracle(k * 0.0137, -1.5, 2.25)) << k;

    HyOceanSurface surface;
    ASSERT_EQ(surface.allocate_primary_waves(small_waves()), 1);
    ASSERT_EQ(surface.evolve_to_time(3.25), 1);

    // Downsample 2 across, zoom 0.75.
    GrayscaleViewParams p{.render_mode = 2, .metres_per_pixel_x = 2.0 * 0.75, .metres_per_pixel_y = 0.75,
                          .colour_min = -0.6, .colour_max = 0.8};

    TestImage top(64, 48, false, 12, 0x33), bottom(64, 48, true); // 0x33 shows untouched padding
    ASSERT_EQ(render_grayscale_view(top.image, &surface, nullptr, p, nullptr), 0);
    ASSERT_EQ(render_grayscale_view(bottom.image, &surface, nullptr, p, nullptr), 0);
    int distinct = 0, wrong = 0;
    std::vector<bool> seen(256, false);
    for (int r = 0; r < 48; ++r) {
        for (int c = 0; c < 64; ++c) {
            // Centred on the origin; row 0 is the top, so y falls as r grows.
            const double x = (c - 31.5) * 1.5;
            const double y = (23.5 - r) * 0.75;
            const int g = gray_oracle(surface.get_height(x, y), -0.6, 0.8);
            const std::uint8_t* t = top.at(c, r);
            wrong += t[0] != g || t[1] != g || t[2] != g || t[3] != 255;
            wrong += std::memcmp(t, bottom.at(c, r), 4) != 0;
            distinct += !seen[g];
            seen[g] = true;
        }
        for (int k = 256; k < 268; ++k)
            EXPECT_EQ(top.bytes[std::size_t(r) * top.image.rowBytes + k], 0x33); // padding untouched
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(distinct, 40); // the sea is not flat here, so the test can tell rows apart
    // Bottom-up memory holds the top row last.
    EXPECT_EQ(std::memcmp(bottom.bytes.data(), top.at(0, 47), 4 * 64), 0);

    // Outputs that cannot be drawn on are left alone.
    p = GrayscaleViewParams{};
    TestImage empty(0, 0), nopixels(4, 4), narrow(4, 4, false, 0, 0x33), one(1, 1), zero(16, 8), flat(8, 8);
    nopixels.image.pixels = nullptr;
    narrow.image.rowBytes = 15;
    EXPECT_EQ(render_grayscale_view(empty.image, &surface, nullptr, p, nullptr), 0);
    EXPECT_EQ(render_grayscale_view(nopixels.image, &surface, nullptr, p, nullptr), 0);
    EXPECT_EQ(render_grayscale_view(narrow.image, &surface, nullptr, p, nullptr), 2);
    EXPECT_EQ(std::count(narrow.bytes.begin(), narrow.bytes.end(), 0x33),
              std::ptrdiff_t(narrow.bytes.size()));

    // One pixel with every marker: drawn, clipped, opaque.
    p.render_mode = 1;
    p.colour_min = -10.0;
    p.colour_max = 10.0;
    EXPECT_EQ(render_grayscale_view(one.image, &surface, nullptr, p, nullptr), 0);
    EXPECT_EQ(one.at(0, 0)[3], 255);
    // Zoom 0: every pixel shows the origin; no markers (there is no place for them).
    p.metres_per_pixel_x = p.metres_per_pixel_y = 0.0;
    EXPECT_EQ(render_grayscale_view(zero.image, &surface, nullptr, p, nullptr), 0);
    const int g = gray_oracle(surface.get_height(0.0, 0.0), -10.0, 10.0);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 16; ++c)
            EXPECT_EQ(zero.at(c, r)[1], g);
    // No surface: a flat sea at height 0.
    p.metres_per_pixel_x = p.metres_per_pixel_y = 1.0;
    p.render_mode = 2;
    EXPECT_EQ(render_grayscale_view(flat.image, nullptr, nullptr, p, nullptr), 0);
    EXPECT_EQ(flat.at(3, 3)[0], 127);
}

TEST(GrayscaleView, MarkersLandOnTheMappedPixels)
{
    HyOceanSurface surface;
    ASSERT_EQ(surface.allocate_primary_waves(small_waves()), 1);
    ASSERT_EQ(surface.evolve_to_time(1.0), 1);

    // Map 1 displaces only (blue), map 2 displaces and textures (yellow), map 3 textures only (green).
    // Each layer is 8 x 4 pixels at one metre a pixel.
    TestImage layer(8, 4, false, 0, 200);
    ImageMapFrame frame;
    const ImageMapParams ps[3] = {
        {.type = kMapDisplacement, .centre_x = 10, .centre_y = -6, .scale_x = 1, .scale_y = 1},
        {.type = kMapDisplaceTextureOn, .centre_x = -10, .centre_y = -6, .scale_x = 1, .scale_y = 1},
        {.type = kMapTextureOn, .centre_x = -10, .centre_y = 6, .scale_x = 1, .scale_y = 1}};
    const CImage32* layers[3] = {&layer.image, &layer.image, &layer.image};
    CImageMaps maps;
    ASSERT_EQ(maps.PrepareDisplacements(ps, frame, layers, &surface), 0);
    ASSERT_EQ(maps.PrepareTextures(ps, frame, layers), 0);

    // The camera at the origin looking north, a field of view of 60 degrees.
    GrayscaleViewParams p{.metres_per_pixel_x = 2.0, .metres_per_pixel_y = 2.0, .colour_min = -1.0,
                          .colour_max = 1.0, .camera_pan = kPi / 2, .horizontal_fov = kPi / 3};

    for (bool bottom_up : {false, true}) {
        SCOPED_TRACE(bottom_up ? "bottom-up" : "top-down");
        TestImage plain(64, 48, bottom_up), marked(64, 48, bottom_up);
        p.render_mode = 2;
        ASSERT_EQ(render_grayscale_view(plain.image, &surface, nullptr, p, &maps), 0);
        p.render_mode = 1;
        ASSERT_EQ(render_grayscale_view(marked.image, &surface, nullptr, p, &maps), 0);

        // Worked by hand with x0 = 0.5 - 32 * 2 = -63.5, y0 = 0.5 - 24 * 2 = -47.5:
        // camera (0, 0) -> column trunc(63.5 / 2) + 1 = 32, row 48 - trunc(47.5 / 2) - 3 = 22;
        // square half-size trunc(4 / 2) = 2; lines of trunc(30 / 2) = 15 pixels at compass 390 and 330
        // degrees, i.e. -60 and -120 degrees from the column axis: ends (32 + 7, 22 - 12), (32 - 7, 22 - 12).
        // x = 6, 14, -14, -6 -> columns 35, 39, 25, 29; y = -4, -8, 8, 4 -> rows 24, 26, 18, 20.
        const int step = plain.image.rowBytes;
        HyOffscreen expect(plain.bytes.data() + (bottom_up ? 47 * step : 0), bottom_up ? -step : step, 64,
                           48);
        expect.set_pen(HyPenColour{255, 0, 0});
        expect.fill_rect(30, 20, 34, 24);
        expect.line(32, 22, 39, 10);
        expect.line(32, 22, 25, 10);
        const auto outline = [&](HyPenColour pen, int c, int r) { // 4 x 2 pixels from (c, r)
            const HyPoint2D corners[4] = {{c, r}, {c, r + 2}, {c + 4, r + 2}, {c + 4, r}};
            expect.set_pen(pen);
            expect.polyline(corners, 4, true);
        };
        outline({0, 0, 255}, 35, 24); // blue
        outline({255, 255, 0}, 25, 24);
        outline({0, 255, 0}, 25, 18);
        EXPECT_EQ(marked.bytes, plain.bytes);

        EXPECT_EQ(marked.at(27, 18)[1], 255); // in the picture's own terms: green top
        EXPECT_EQ(marked.at(27, 18)[2], 0);
    }
    const HyPoint2D end = grayscale_compass_end(HyPoint2D{0, 0}, 180.0 + 720.0, 10); // due south
    EXPECT_EQ(end.column, 0);
    EXPECT_EQ(end.row, 10);
    maps.CleanUp(&surface);
}

namespace driver_test {
namespace {

constexpr int kW = 160, kH = 120;
// The marker mapping puts the camera at the origin on column trunc(79.5) + 1, row 120 - 59 - 3.
constexpr int kCameraColumn = 80, kCameraRow = 58;

// Top views of a flat sea (vertical scale 0, gray 127) through the module, kW x kH at 1 m a pixel.
class TopView : public Driver {
protected:
    void SetUp() override
    {
        Driver::SetUp();
        set(ParamGroup::PrimaryWaves, "Vertical Scale (M)", 0);
        set(ParamGroup::RenderOptions, "Color Min Scale", -1);
        view_.resize(kW, kH);
    }
    void render_mode(int mode)
    {
        set(ParamGroup::RenderOptions, "Render Mode:", mode);
        ASSERT_EQ(render_at(1.0, view_), PF_Err_NONE);
    }
    // World x, y at the centre of pixel (column, row from the top): north is up.
    static double x_of(int column) { return column + 0.5 - kW / 2.0; }
    static double y_of(int row) { return kH / 2.0 - row - 0.5; }
    bool is(int column, int row, int red, int green, int blue) const
    {
        const PF_Pixel& p = view_.at(column, row);
        return p.red == red && p.green == green && p.blue == blue;
    }
    hostkit::World view_;
};

// Compass bearing (0 north, 90 east) from the camera marker to a pixel, relative to `axis`, in -180..180.
double bearing_from_camera(double column, double row, double axis)
{
    return std::remainder(std::atan2(column - kCameraColumn, kCameraRow - row) * 180.0 / kPi - axis, 360.0);
}

TEST_F(TopView, MapHeightsLieInsideTheirOutlineAndTheTintIsWhereTheCameraSeesSeaLevel)
{
    // 32 x 16 pixels at 1 m, top half white, bottom half black; displaced on red: +1 and -1 metre.
    hostkit::World layer(32, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            layer.at(x, y) = y < 8 ? PF_Pixel{255, 255, 255, 255} : PF_Pixel{255, 0, 0, 0};
    ASSERT_TRUE(host().set_layer(index(ParamGroup::ImageMap1, "Map Layer:"), &layer));
    set(ParamGroup::ImageMap1, "Displace on:", 1);
    set(ParamGroup::ImageMap1, "Scale X", 1);
    set(ParamGroup::ImageMap1, "Scale Y", 1);

    for (const auto& [cx, cy] : {std::pair{30.0, 25.0}, std::pair{-40.0, -15.0}}) {
        SCOPED_TRACE(testing::Message() << "map at " << cx << ", " << cy);
        set(ParamGroup::ImageMap1, "Center X (M)", cx);
        set(ParamGroup::ImageMap1, "Center Y (M)", cy);
        render_mode(1);
        int left = kW, right = -1, top = kH, bottom = -1;
        for (int r = 0; r < kH; ++r)
            for (int c = 0; c < kW; ++c)
                if (is(c, r, 0, 0, 255))
                    left = std::min(left, c), right = std::max(right, c), top = std::min(top, r),
                    bottom = std::max(bottom, r);
        // The default angle (engine 270 degrees) turns the map's top edge, from its first corner
        // (-16, +8) to its third (+16, +8), to face east: the outline is 16 m wide and 32 m tall.
        EXPECT_NEAR(right - left, 16, 2);
        EXPECT_NEAR(bottom - top, 32, 2);

        render_mode(2);
        double sx[2] = {}, sy[2] = {}, n[2] = {};
        int outside = 0;
        for (int r = 0; r < kH; ++r)
            for (int c = 0; c < kW; ++c) {
                const int g = view_.at(c, r).red;
                // Bilinear heights reach one node beyond the array: allow the outline a pixel or two.
                outside += g != 127 && (c < left - 2 || c > right + 2 || r < top - 2 || r > bottom + 2);
                if (g == 255 || g == 0)
                    sx[g / 255] += x_of(c) - cx, sy[g / 255] += y_of(r) - cy, n[g / 255] += 1;
            }
        EXPECT_EQ(outside, 0);
        // Each half lies about 4 m from the centre: white on the top edge's (east) side, black opposite.
        for (int k : {0, 1}) {
            ASSERT_GT(n[k], 150);
            EXPECT_NEAR(sx[k] / n[k], k ? 4.0 : -4.0, 1.0) << k;
            EXPECT_NEAR(sy[k] / n[k], 0.0, 1.0) << k;
        }
    }
    ASSERT_TRUE(host().set_layer(index(ParamGroup::ImageMap1, "Map Layer:"), nullptr));

    // The tint over a moving sea: where the camera sees sea level, red at alpha 70 over the plain view's
    // gray, elsewhere the plain view.
    set(ParamGroup::PrimaryWaves, "Vertical Scale (M)", 2);
    struct Pose {
        double pan, tilt, roll;
    };
    for (const Pose pose : {Pose{30, 120, 0}, Pose{120, 110, 0}, Pose{200, 95, 15}, Pose{300, 130, -20}}) {
        SCOPED_TRACE(testing::Message()
                     << "pan " << pose.pan << " tilt " << pose.tilt << " roll " << pose.roll);
        set(ParamGroup::Camera, "Pan", pose.pan);
        set(ParamGroup::Camera, "Tilt", pose.tilt);
        set(ParamGroup::Camera, "Roll", pose.roll);
        set(ParamGroup::RenderOptions, "Render Mode:", 2);
        hostkit::World plain(kW, kH);
        ASSERT_EQ(render_at(1.0, plain), PF_Err_NONE);
        render_mode(1);

        // The camera written out: R = Rz(b) Ry(a) Rz(c) by its rows; a sea point d from the eye is seen
        // when v = R^T d has v3 > 0, |v1 / v3| < tan(vertical fov / 2) and |v2 / v3| < tan(horizontal / 2).
        const CSettingsCamera& cam = effect().Settings().camera;
        const double ca = std::cos(cam.tilt), sa = std::sin(cam.tilt), cb = std::cos(cam.pan),
                     sb = std::sin(cam.pan), cc = std::cos(cam.roll), sc = std::sin(cam.roll);
        const double R[3][3] = {{cb * ca * cc - sb * sc, -cb * ca * sc - sb * cc, cb * sa},
                                {sb * ca * cc + cb * sc, -sb * ca * sc + cb * cc, sb * sa},
                                {-sa * cc, sa * sc, ca}};
        const double H = std::tan(cam.horizontalFov / 2.0), V = H * kH / kW;

        int wrong = 0, tinted = 0, edge = 0;
        double sum_c = 0, sum_r = 0;
        for (int r = 0; r < kH; ++r)
            for (int c = 0; c < kW; ++c) {
                if (is(c, r, 255, 0, 0))
                    continue; // the camera marker
                const double d[3] = {x_of(c) - cam.x, y_of(r) - cam.y, -cam.z};
                double v[3];
                for (int k = 0; k < 3; ++k)
                    v[k] = R[0][k] * d[0] + R[1][k] * d[1] + R[2][k] * d[2];
                const double p = std::fabs(v[0] / v[2]), q = std::fabs(v[1] / v[2]);
                if (v[2] > 0 && (std::fabs(p - V) < 1e-9 || std::fabs(q - H) < 1e-9)) {
                    ++edge; // on the window's edge either answer is right
                    continue;
                }
                const int g = plain.at(c, r).red;
                const bool seen = v[2] > 0 && p < V && q < H;
                const long red = seen ? std::lround((255.0 * 70 + g * 185.0) / 255.0) : g;
                const long other = seen ? std::lround(g * 185.0 / 255.0) : g;
                wrong += !is(c, r, int(red), int(other), int(other)) || view_.at(c, r).alpha != 255;
                if (seen)
                    ++tinted, sum_c += c, sum_r += r;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_LT(edge, 3);
        ASSERT_GT(tinted, 200);

        // The view lines as drawn (away from the square) bound the tint's direction from the camera.
        double lo = 180, hi = -180;
        for (int r = 0; r < kH; ++r)
            for (int c = 0; c < kW; ++c)
                if (is(c, r, 255, 0, 0) && std::hypot(c - kCameraColumn, r - kCameraRow) > 16) {
                    const double rel = bearing_from_camera(c, r, pose.pan);
                    lo = std::min(lo, rel), hi = std::max(hi, rel);
                }
        EXPECT_NEAR(lo, -30.7, 4.0); // half of "Field Of View", within pixel steps and truncated ends
        EXPECT_NEAR(hi, 30.7, 4.0);
        const double tint = bearing_from_camera(sum_c / tinted, sum_r / tinted, pose.pan);
        EXPECT_GT(tint, lo);
        EXPECT_LT(tint, hi);
    }
}

} // namespace
} // namespace driver_test
