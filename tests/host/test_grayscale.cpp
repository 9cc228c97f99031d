// Grayscale views: the gray level's fixed-point rounding, a 64 x 48 view of an evolved sea against the
// gray formula evaluated from the surface's own heights at every pixel centre (both memory orders),
// markers at hand-computed pixels (the view with markers equals the plain view with those drawn on),
// the camera tint against the camera's own visibility test, and outputs that cannot be drawn on.
#include "host/GrayscaleView.h"

#include "host/ImageMaps.h"
#include "ocean/HyOceanSurface.h"
#include "render/HyCamera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Output {
    Output(int w, int h, bool bottom_up = false, int padding = 0)
        : bytes(std::size_t(4 * w + padding) * std::size_t(h), 0x33)
    {
        image.pixels = bytes.empty() ? nullptr : bytes.data();
        image.rowBytes = 4 * w + padding;
        image.width = w;
        image.height = h;
        image.bottomUp = bottom_up ? 1 : 0;
    }
    // Pixel at (column, row counted from the top of the picture).
    const std::uint8_t* at(int column, int row) const
    {
        const int memory_row = image.bottomUp ? image.height - 1 - row : row;
        return bytes.data() + std::size_t(memory_row) * image.rowBytes + 4 * column;
    }
    std::vector<std::uint8_t> bytes;
    CImage32 image;
};

// Gray formula written out: scale, round to 1/65536 with halves away from zero, floor, clamp.
int gray_oracle(double h, double lo, double hi)
{
    const double g = (h - lo) * 255.0 / (hi - lo);
    const double fixed = std::round(g * 65536.0);
    const double level = std::floor(fixed / 65536.0);
    return int(std::fmin(255.0, std::fmax(0.0, level)));
}

HyPrimaryWaves_data small_waves()
{
    HyPrimaryWaves_data p;
    p.size = 32;
    p.small_spacing = 0.4;
    p.large_spacing = 3.8;
    p.wind_speed = 6.0;
    p.vertical_scale = 2.0;
    return p;
}

struct Layer {
    Layer(int w, int h, std::uint8_t value) : bytes(std::size_t(4 * w) * h, value)
    {
        image.pixels = bytes.data();
        image.rowBytes = 4 * w;
        image.width = w;
        image.height = h;
    }
    std::vector<std::uint8_t> bytes;
    CImage32 image;
};

} // namespace

TEST(GrayscaleView, LevelRoundsToSixteenSixteenThenFloors)
{
    EXPECT_EQ(grayscale_level(0.0, 0.0, 1.0), 0);
    EXPECT_EQ(grayscale_level(1.0, 0.0, 1.0), 255);
    EXPECT_EQ(grayscale_level(0.5, 0.0, 1.0), 127); // 127.5 floors
    EXPECT_EQ(grayscale_level(-3.0, 0.0, 1.0), 0);
    EXPECT_EQ(grayscale_level(7.0, 0.0, 1.0), 255);
    EXPECT_EQ(grayscale_level(-1.0, -2.0, 2.0), 63); // 63.75
    // The rounding to 1/65536 happens before the floor: just under 10 by half a unit becomes 10,
    // by a whole unit stays 9.
    EXPECT_EQ(grayscale_level(10.0 - std::ldexp(1.0, -17), 0.0, 255.0), 10);
    EXPECT_EQ(grayscale_level(10.0 - std::ldexp(1.0, -16), 0.0, 255.0), 9);
    EXPECT_EQ(grayscale_level(-std::ldexp(1.0, -17), 0.0, 255.0), 0);
    // A range of no width: above the minimum white, else black; nothing undefined.
    EXPECT_EQ(grayscale_level(0.1, 0.0, 0.0), 255);
    EXPECT_EQ(grayscale_level(-0.1, 0.0, 0.0), 0);
    EXPECT_EQ(grayscale_level(0.0, 0.0, 0.0), 0);
    EXPECT_EQ(grayscale_level(std::nan(""), 0.0, 1.0), 0);
    EXPECT_EQ(grayscale_level(0.5, 1.0, 0.0), 127); // an inverted range inverts the gray
    for (int k = -300; k <= 300; ++k) {
        const double h = k * 0.0137;
        EXPECT_EQ(grayscale_level(h, -1.5, 2.25), gray_oracle(h, -1.5, 2.25)) << h;
    }
}

TEST(GrayscaleView, ViewOfAKnownSeaIsTheGrayFormulaAtEveryPixelCentre)
{
    HyOceanSurface surface;
    ASSERT_EQ(surface.allocate_primary_waves(small_waves()), 1);
    ASSERT_EQ(surface.evolve_to_time(3.25), 1);

    GrayscaleViewParams p;
    p.render_mode = 2;
    p.metres_per_pixel_x = 2.0 * 0.75; // downsample 2, zoom 0.75
    p.metres_per_pixel_y = 1.0 * 0.75;
    p.colour_min = -0.6;
    p.colour_max = 0.8;

    Output top(64, 48, false, 12), bottom(64, 48, true);
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
}

TEST(GrayscaleView, MarkersLandOnTheMappedPixels)
{
    HyOceanSurface surface;
    ASSERT_EQ(surface.allocate_primary_waves(small_waves()), 1);
    ASSERT_EQ(surface.evolve_to_time(1.0), 1);

    // Map 1 displaces only (blue), map 2 displaces and textures (yellow), map 3 textures only (green).
    // Each layer is 8 x 4 pixels at one metre a pixel.
    Layer layer(8, 4, 200);
    ImageMapFrame frame;
    ImageMapParams ps[3];
    const double centres[3][2] = {{10, -6}, {-10, -6}, {-10, 6}};
    const int types[3] = {kMapDisplacement, kMapDisplaceTextureOn, kMapTextureOn};
    for (int i = 0; i < 3; ++i) {
        ps[i].type = types[i];
        ps[i].scale_x = ps[i].scale_y = 1.0;
        ps[i].centre_x = centres[i][0];
        ps[i].centre_y = centres[i][1];
        ps[i].angle = 0.0;
    }
    const CImage32* layers[3] = {&layer.image, &layer.image, &layer.image};
    CImageMaps maps;
    ASSERT_EQ(maps.PrepareDisplacements(ps, frame, layers, &surface), 0);
    ASSERT_EQ(maps.PrepareTextures(ps, frame, layers), 0);

    GrayscaleViewParams p;
    p.metres_per_pixel_x = p.metres_per_pixel_y = 2.0;
    p.colour_min = -1.0;
    p.colour_max = 1.0;
    p.camera_x = 0.0;
    p.camera_y = 0.0;
    p.camera_pan = kPi / 2;          // looking north
    p.horizontal_fov = kPi / 3;      // 60 degrees

    for (bool bottom_up : {false, true}) {
        SCOPED_TRACE(bottom_up ? "bottom-up" : "top-down");
        Output plain(64, 48, bottom_up), marked(64, 48, bottom_up);
        p.render_mode = 2;
        ASSERT_EQ(render_grayscale_view(plain.image, &surface, nullptr, p, &maps), 0);
        p.render_mode = 1;
        ASSERT_EQ(render_grayscale_view(marked.image, &surface, nullptr, p, &maps), 0);

        // Worked by hand with x0 = 0.5 - 32 * 2 = -63.5, y0 = 0.5 - 24 * 2 = -47.5:
        // camera (0, 0) -> column trunc(63.5 / 2) + 1 = 32, row 48 - trunc(47.5 / 2) - 3 = 22;
        // square half-size trunc(4 / 2) = 2; lines of trunc(30 / 2) = 15 pixels at compass 390 and 330
        // degrees, i.e. -60 and -120 degrees from the column axis: ends (32 + 7, 22 - 12), (32 - 7, 22 - 12).
        // x = 6, 14, -14, -6 -> columns 35, 39, 25, 29; y = -4, -8, 8, 4 -> rows 24, 26, 18, 20.
        HyOffscreen expect(plain.bytes.data(), plain.image.rowBytes, 64, 48, bottom_up);
        expect.set_pen(HyPenColour{255, 0, 0});
        expect.fill_rect(30, 20, 34, 24);
        expect.line(32, 22, 39, 10);
        expect.line(32, 22, 25, 10);
        const HyPoint2D blue[4] = {{35, 24}, {35, 26}, {39, 26}, {39, 24}};
        const HyPoint2D yellow[4] = {{25, 24}, {25, 26}, {29, 26}, {29, 24}};
        const HyPoint2D green[4] = {{25, 18}, {25, 20}, {29, 20}, {29, 18}};
        expect.set_pen(HyPenColour{0, 0, 255});
        expect.polyline(blue, 4, true);
        expect.set_pen(HyPenColour{255, 255, 0});
        expect.polyline(yellow, 4, true);
        expect.set_pen(HyPenColour{0, 255, 0});
        expect.polyline(green, 4, true);
        EXPECT_EQ(marked.bytes, plain.bytes);

        // Spot checks in the picture's own terms.
        EXPECT_EQ(marked.at(32, 22)[2], 255);
        EXPECT_EQ(marked.at(39, 10)[2], 255);
        EXPECT_EQ(marked.at(35, 25)[0], 255); // blue side
        EXPECT_EQ(marked.at(29, 25)[1], 255); // yellow side
        EXPECT_EQ(marked.at(27, 18)[1], 255); // green top
        EXPECT_EQ(marked.at(27, 18)[2], 0);
    }
    EXPECT_EQ(grayscale_marker_point(14.0, -8.0, 64, 48, 2.0, 2.0).column, 39);
    EXPECT_EQ(grayscale_marker_point(14.0, -8.0, 64, 48, 2.0, 2.0).row, 26);
    const HyPoint2D end = grayscale_compass_end(HyPoint2D{0, 0}, 180.0 + 720.0, 10); // due south
    EXPECT_EQ(end.column, 0);
    EXPECT_EQ(end.row, 10);
    maps.CleanUp(&surface);
}

TEST(GrayscaleView, RedTintWhereTheCameraSeesSeaLevel)
{
    HyOceanSurface surface;
    ASSERT_EQ(surface.allocate_primary_waves(small_waves()), 1);
    ASSERT_EQ(surface.evolve_to_time(2.0), 1);

    // A camera 50 m up looking straight down with a 60-degree field across 64 x 48 pixels: it sees
    // about 29 m either side of the origin east-west.
    HyRenderData_Camera camera;
    camera.set_image_size(64, 48);
    const double h = kPi / 3, v = 2.0 * std::atan(std::tan(h / 2) * 48.0 / 64.0);
    camera.set_fields_of_view(h, v);
    camera.set_position(0.0, 0.0, 50.0);
    camera.set_orientation(kPi, 0.0, 0.0);

    GrayscaleViewParams p;
    p.metres_per_pixel_x = p.metres_per_pixel_y = 2.0;
    p.colour_min = -1.0;
    p.colour_max = 1.0;
    p.camera_x = 1e12; // the camera marker far off the view
    p.camera_pan = 0.3;

    Output plain(64, 48), tinted(64, 48);
    p.render_mode = 2;
    ASSERT_EQ(render_grayscale_view(plain.image, &surface, &camera, p, nullptr), 0);
    p.render_mode = 1;
    ASSERT_EQ(render_grayscale_view(tinted.image, &surface, &camera, p, nullptr), 0);
    int count = 0, wrong = 0;
    for (int r = 0; r < 48; ++r) {
        for (int c = 0; c < 64; ++c) {
            const double x = (c - 31.5) * 2.0, y = (23.5 - r) * 2.0;
            int cc = 0, cr = 0;
            const bool seen = camera.sea_level_to_pixel(x, y, cc, cr) != 0;
            const int g = plain.at(c, r)[0];
            const std::uint8_t* t = tinted.at(c, r);
            if (seen) {
                ++count;
                wrong += t[2] != std::lround((255.0 * 70 + g * 185.0) / 255.0);
                wrong += t[1] != std::lround(g * 185.0 / 255.0) || t[0] != t[1];
            } else {
                wrong += std::memcmp(t, plain.at(c, r), 3) != 0;
            }
            wrong += t[3] != 255;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(count, 100);
    EXPECT_LT(count, 64 * 48);
    EXPECT_NE(tinted.at(32, 24)[2], plain.at(32, 24)[2]); // the origin is seen
    EXPECT_EQ(tinted.at(0, 0)[2], plain.at(0, 0)[2]);     // (-63, 47) is not
}

TEST(GrayscaleView, OutputsThatCannotBeDrawnOnAreLeftAlone)
{
    HyOceanSurface surface;
    ASSERT_EQ(surface.allocate_primary_waves(small_waves()), 1);
    GrayscaleViewParams p;

    Output empty(0, 0);
    EXPECT_EQ(render_grayscale_view(empty.image, &surface, nullptr, p, nullptr), 0);
    Output nopixels(4, 4);
    nopixels.image.pixels = nullptr;
    EXPECT_EQ(render_grayscale_view(nopixels.image, &surface, nullptr, p, nullptr), 0);
    Output narrow(4, 4);
    narrow.image.rowBytes = 15;
    EXPECT_EQ(render_grayscale_view(narrow.image, &surface, nullptr, p, nullptr), 2);
    for (std::uint8_t b : narrow.bytes)
        EXPECT_EQ(b, 0x33);

    // One pixel with every marker: drawn, clipped, opaque.
    Output one(1, 1);
    p.render_mode = 1;
    p.colour_min = -10.0;
    p.colour_max = 10.0;
    EXPECT_EQ(render_grayscale_view(one.image, &surface, nullptr, p, nullptr), 0);
    EXPECT_EQ(one.at(0, 0)[3], 255);

    // Zoom 0: every pixel shows the origin; no markers (there is no place for them).
    p.metres_per_pixel_x = p.metres_per_pixel_y = 0.0;
    Output zero(16, 8);
    EXPECT_EQ(render_grayscale_view(zero.image, &surface, nullptr, p, nullptr), 0);
    const int g = gray_oracle(surface.get_height(0.0, 0.0), -10.0, 10.0);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 16; ++c)
            EXPECT_EQ(zero.at(c, r)[1], g);

    // No surface: a flat sea at height 0.
    p.metres_per_pixel_x = p.metres_per_pixel_y = 1.0;
    p.render_mode = 2;
    Output flat(8, 8);
    EXPECT_EQ(render_grayscale_view(flat.image, nullptr, nullptr, p, nullptr), 0);
    EXPECT_EQ(flat.at(3, 3)[0], 127);
}
