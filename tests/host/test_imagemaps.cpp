// Image-map preparation against hand-worked colours, the blur's closed forms and direct sum, asymmetric
// layers in both memory orders, and maps read back through the surface's heights and the texture group.
#include "host/ImageMaps.h"

#include "DriverFixture.h"

#include "optics/HyTexture.h"
#include "platform/HyMemory.h"
#include "tests/ocean/OceanTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <random>

namespace {

using driver_test::small_waves;

// The four corners of a surface element, first to last.
std::vector<double> corners(HyOceanSurface& surface, std::uint32_t id)
{
    std::vector<double> c(8, 0.0);
    EXPECT_EQ(surface.get_element_corners(id, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]), 1);
    return c;
}

} // namespace

TEST(ImageMaps, ChannelValuesAndArraysFromTheBottomUpInBothMemoryOrdersAndPremultipliedPlanes)
{
    // Byte channels: b / 127 - 1. Luminance: weights 117, 204, 64 out of 385, scaled by alpha.
    const struct {
        std::int32_t channel;
        int r, g, b, a;
        double value;
    } bytes[] = {// clang-format off
        {kDisplaceRed, 0, 9, 9, 9, -1.0}, {kDisplaceRed, 127, 9, 9, 9, 0.0}, {kDisplaceRed, 254, 9, 9, 9, 1.0},
        {kDisplaceGreen, 9, 254, 0, 0, 1.0}, {kDisplaceBlue, 9, 0, 255, 0, 255.0 / 127.0 - 1.0},
        {kDisplaceAlpha, 9, 9, 9, 0, -1.0}, {kDisplaceLuminance, 255, 255, 255, 255, 1.0},
        {kDisplaceLuminance, 255, 255, 255, 0, -1.0}, {kDisplaceLuminance, 255, 0, 0, 255, 2.0 * 117 / 385 - 1},
        {kDisplaceLuminance, 0, 255, 0, 255, 2.0 * 204 / 385 - 1},
        {kDisplaceLuminance, 0, 0, 255, 255, 2.0 * 64 / 385 - 1}, {kDisplaceLuminance, 255, 255, 255, 51, -0.6}};
    // clang-format on
    for (const auto& c : bytes)
        EXPECT_NEAR(displacement_channel_value(c.channel, std::uint8_t(c.r), std::uint8_t(c.g),
                                               std::uint8_t(c.b), std::uint8_t(c.a)),
                    c.value, 1e-12)
            << c.channel << ": " << c.r << "," << c.g << "," << c.b << "," << c.a;

    // Hue, lightness, saturation worked by hand: {r, g, b} -> {h, l, s}. The last three: light (s = span
    // / (2 - max - min)), dark with blue largest, and a negative hue that wraps.
    const struct {
        int r, g, b;
        double h, l, s;
    } cases[] = {// clang-format off
        {255, 0, 0, 0.0, 0.5, 1.0}, {0, 255, 0, 1.0 / 3, 0.5, 1.0}, {0, 0, 255, 2.0 / 3, 0.5, 1.0},
        {255, 255, 0, 1.0 / 6, 0.5, 1.0}, {0, 255, 255, 0.5, 0.5, 1.0}, {255, 0, 255, 5.0 / 6, 0.5, 1.0},
        {255, 255, 255, 0.0, 1.0, 0.0}, {0, 0, 0, 0.0, 0.0, 0.0}, {128, 128, 128, 0.0, 128.0 / 255, 0.0},
        {200, 150, 100, 1.0 / 12, 150.0 / 255, 100.0 / 210}, {50, 20, 80, 0.75, 50.0 / 255, 0.6},
        {255, 0, 128, 1.0 - 128.0 / 255 / 6, 0.5, 1.0}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b));
        double h = -1, l = -1, s = -1;
        rgb_to_hls(c.r / 255.0, c.g / 255.0, c.b / 255.0, h, l, s);
        EXPECT_NEAR(h, c.h, 1e-12);
        EXPECT_NEAR(l, c.l, 1e-12);
        EXPECT_NEAR(s, c.s, 1e-12);
        const auto r = std::uint8_t(c.r), g = std::uint8_t(c.g), b = std::uint8_t(c.b);
        EXPECT_NEAR(displacement_channel_value(kDisplaceLightness, r, g, b, 255), 2 * c.l - 1, 1e-12);
        EXPECT_NEAR(displacement_channel_value(kDisplaceHue, r, g, b, 255), 2 * c.h - 1, 1e-12);
        EXPECT_NEAR(displacement_channel_value(kDisplaceSaturation, r, g, b, 255), 2 * c.s - 1, 1e-12);
    }

    // 3 x 2 layer, every pixel a different red value: row from the top r, column i -> 10 * (r + 1) + i.
    for (bool bottom_up : {false, true}) {
        SCOPED_TRACE(bottom_up ? "bottom-up record" : "top-down record");
        TestImage layer(3, 2, bottom_up, 8);
        for (int r = 0; r < 2; ++r)
            for (int i = 0; i < 3; ++i)
                layer.set(i, r, 10 * (r + 1) + i, 0, 0, 255);
        auto red_at = [](int r, int i) { return double(10 * (r + 1) + i) / 127.0 - 1.0; };
        for (int mirror = 0; mirror < 4; ++mirror) {
            const bool mx = mirror & 1, my = mirror & 2;
            std::vector<float> v(3 * 2 + 2, 42.0f); // a stride of 4 leaves one spare value per row
            fill_displacement_values(layer.image, kDisplaceRed, 2.0, mx, my, v.data(), 4);
            for (int j = 0; j < 2; ++j) {
                for (int i = 0; i < 3; ++i) {
                    const int src_row_from_top = my ? j : 1 - j; // row 0 of the array is the bottom
                    const int src_col = mx ? 2 - i : i;
                    EXPECT_FLOAT_EQ(v[std::size_t(j) * 4 + i], float(2.0 * red_at(src_row_from_top, src_col)))
                        << "mirror " << mirror << " node " << i << "," << j;
                }
            }
            EXPECT_EQ(v[3], 42.0f);
        }

        // Texture planes: the same orientation, premultiplied.
        std::vector<std::uint8_t> planes(3 * 6, 0);
        fill_texture_planes(layer.image, false, false, planes.data(), planes.data() + 6, planes.data() + 12);
        EXPECT_EQ(planes[0], 20); // bottom-left of the picture
        EXPECT_EQ(planes[2], 22);
        EXPECT_EQ(planes[3], 10); // top-left
        fill_texture_planes(layer.image, true, true, planes.data(), planes.data() + 6, planes.data() + 12);
        EXPECT_EQ(planes[0], 12); // top-right, mirrored both ways
        EXPECT_EQ(planes[5], 20);
    }

    // Premultiplied for every value and alpha: v * a * 256 / 65280 is floor(v * a / 255).
    TestImage layer(256, 256);
    for (int a = 0; a < 256; ++a)
        for (int v = 0; v < 256; ++v)
            layer.set(v, 255 - a, v, 255 - v, v / 2, a); // bottom row (j = 0) has alpha 0
    const std::size_t n = 256 * 256;
    std::vector<std::uint8_t> planes(3 * n);
    fill_texture_planes(layer.image, false, false, planes.data(), planes.data() + n, planes.data() + 2 * n);
    int wrong = 0;
    for (int a = 0; a < 256; ++a) {
        for (int v = 0; v < 256; ++v) {
            const std::size_t at = std::size_t(a) * 256 + v;
            wrong += planes[at] != (v * a) / 255;
            wrong += planes[n + at] != ((255 - v) * a) / 255;
            wrong += planes[2 * n + at] != ((v / 2) * a) / 255;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(ImageMaps, BlurKernelHasSmoothstepWeightsAndTheBlurClampsAtTheEdges)
{
    double w[kImageMapMaxBlurTaps + 1];
    for (double b : {0.25, 1.0, 2.5, 7.0, 100.0, 1000.0}) {
        SCOPED_TRACE(b);
        const int taps = make_blur_kernel(b, w);
        const double r = b + 1.0;
        ASSERT_EQ(taps, int(std::floor(r)) + 1);
        double sum = w[0];
        for (int k = 1; k <= taps; ++k) {
            sum += 2 * w[k];
            const double t = std::fmax(0.0, (r - k) / r); // smoothstep
            EXPECT_NEAR(w[k] / w[0], 3 * t * t - 2 * t * t * t, 1e-12) << k;
            EXPECT_LE(w[k], w[k - 1]);
        }
        EXPECT_NEAR(sum, 1.0, 1e-12);
        EXPECT_EQ(w[taps], 0.0); // the last offset lies beyond R
    }
    // 1.0: R = 2, weights 1, s(1/2) = 1/2, s(0) = 0, normalised by 2.
    make_blur_kernel(1.0, w);
    EXPECT_DOUBLE_EQ(w[0], 0.5);
    EXPECT_DOUBLE_EQ(w[1], 0.25);
    // Amounts beyond 1000 are held at 1000; none, negative or NaN give no kernel.
    double w2[kImageMapMaxBlurTaps + 1];
    EXPECT_EQ(make_blur_kernel(5000.0, w2), make_blur_kernel(1000.0, w));
    EXPECT_EQ(w2[500], w[500]);
    EXPECT_EQ(make_blur_kernel(0.0, w), 0);
    EXPECT_EQ(make_blur_kernel(-3.0, w), 0);
    EXPECT_EQ(make_blur_kernel(std::nan(""), w), 0);

    // The blur against the direct two-dimensional sum with clamped indices, across several column blocks.
    const double amount = 3.0;
    const int taps = make_blur_kernel(amount, w);
    const int nx = 37, ny = 5, st = 40;
    std::vector<float> a(std::size_t(st) * ny), src;
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (float& x : a)
        x = u(rng);
    src = a;
    ASSERT_TRUE(blur_array(a.data(), nx, ny, st, amount));
    for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
            double direct = 0;
            for (int dj = -taps; dj <= taps; ++dj)
                for (int di = -taps; di <= taps; ++di)
                    direct +=
                        w[std::abs(di)] * w[std::abs(dj)] *
                        src[std::size_t(std::clamp(j + dj, 0, ny - 1)) * st + std::clamp(i + di, 0, nx - 1)];
            EXPECT_NEAR(a[std::size_t(j) * st + i], direct, 1e-5) << i << "," << j;
        }
        for (int i = nx; i < st; ++i)
            EXPECT_EQ(a[std::size_t(j) * st + i], src[std::size_t(j) * st + i]); // the spare values stay
    }
}

TEST(ImageMaps, DisplacementLandsOnTheSurfaceWhereTheLayerSays)
{
    HyOceanSurface surface;
    ASSERT_EQ(surface.allocate_primary_waves(small_waves()), 1);

    // 6 x 4 layer, red 127 (displacement 0) except a marked pixel at the top-left of the picture.
    TestImage layer(6, 4);
    layer.fill(127, 0, 0, 255);
    layer.set(0, 0, 254, 0, 0, 255); // +1
    layer.set(5, 3, 0, 0, 0, 255);   // -1 at the bottom-right

    ImageMapFrame frame{.downsample_x = 2.0, .downsample_y = 3.0};
    // Scale x gives dy = 0.5 * 3, scale y dx = 0.25 * 2 (set for each variant below).
    ImageMapParams p{.channel = kDisplaceRed, .intensity = 2.0, .centre_x = 10.0, .centre_y = -4.0};
    const double dx = 0.5, dy = 1.5, hx = 6 * dx / 2, hy = 4 * dy / 2;
    // Node (i, j) lies at (centre - h + (i, j) * spacing).
    const auto node = [&](int i, int j) {
        return surface.get_height(10.0 - hx + i * dx, -4.0 - hy + j * dy);
    };

    const struct {
        const char* name;
        double sx, sy;
        int top_left_i, top_left_j; // node of the marked pixel
    } variants[] = {{"plain", 0.5, 0.25, 0, 3},
                    {"Scale X negative mirrors left to right", -0.5, 0.25, 5, 3},
                    {"Scale Y negative mirrors top to bottom", 0.5, -0.25, 0, 0},
                    {"both negative", -0.5, -0.25, 5, 0}};
    for (const auto& v : variants) {
        SCOPED_TRACE(v.name);
        CImageMaps maps;
        p.scale_x = v.sx;
        p.scale_y = v.sy;
        ASSERT_EQ(maps.PrepareDisplacement(0, p, frame, &layer.image, &surface), 0);
        const std::uint32_t id = maps.map(0).displacement_id;
        ASSERT_NE(id, 0u);
        EXPECT_EQ(maps.map(0).texture, nullptr);

        // Corners: spacing from the other axis' scale, as the record asks.
        const std::vector<double> c = corners(surface, id);
        EXPECT_NEAR(c[0], 10.0 - hx, 1e-12);
        EXPECT_NEAR(c[1], -4.0 + hy, 1e-12);
        EXPECT_NEAR(c[6], 10.0 + hx, 1e-12);
        EXPECT_NEAR(c[7], -4.0 - hy, 1e-12);

        // The marked pixels at their nodes, twice the intensity; the bottom-right one opposite.
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 6; ++i)
                EXPECT_NEAR(node(i, j),
                            2.0 * (i == v.top_left_i && j == v.top_left_j) -
                                2.0 * (i == 5 - v.top_left_i && j == 3 - v.top_left_j),
                            1e-5)
                    << i << "," << j;
        maps.CleanUp(&surface);
        EXPECT_EQ(maps.map(0).displacement_id, 0u);
        EXPECT_EQ(surface.disturbances.count, 0);
        EXPECT_EQ(surface.get_height(10.0 - hx, -4.0 + hy - dy), 0.0);
    }

    // Blur: the surface holds exactly the blurred array.
    CImageMaps maps;
    p.scale_x = 0.5;
    p.scale_y = 0.25;
    p.blur = 1.5;
    ASSERT_EQ(maps.PrepareDisplacement(1, p, frame, &layer.image, &surface), 0);
    std::vector<float> blurred(6 * 4);
    fill_displacement_values(layer.image, kDisplaceRed, 2.0, false, false, blurred.data(), 6);
    ASSERT_TRUE(blur_array(blurred.data(), 6, 4, 6, 1.5));
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 6; ++i)
            EXPECT_NEAR(node(i, j), blurred[std::size_t(j * 6 + i)], 1e-5);
    maps.CleanUp(&surface);
    p.blur = 0.0;

    // Tile repeats the array over the sea; stretch sets dy and the centre from the max distance.
    p.layout = kLayoutTile;
    ASSERT_EQ(maps.PrepareDisplacement(2, p, frame, &layer.image, &surface), 0);
    const double x = 10.0 - hx, y = -4.0 - hy + 3 * dy;
    EXPECT_NEAR(surface.get_height(x + 6 * dx * 7, y - 4 * dy * 5), 2.0, 1e-5);
    maps.CleanUp(&surface);
    p.layout = kLayoutStretch;
    frame.max_distance = 100.0;
    frame.camera_x = -20.0;
    ASSERT_EQ(maps.PrepareDisplacement(2, p, frame, &layer.image, &surface), 0);
    const std::vector<double> c = corners(surface, maps.map(2).displacement_id);
    EXPECT_NEAR(c[0], 30.0 - hx, 1e-9);                             // centre x = 100 * 0.5 - 20
    EXPECT_NEAR(c[1], -4.0 + 4 * 50.0 / 2, 1e-9);                   // dy = 100 * 0.5
    EXPECT_NEAR(surface.get_height(x - 6 * dx * 7, y), 0.0, 1e-12); // not tiled
    maps.CleanUp(&surface);

    // A surface without a grid refuses the element: a frame failure, nothing recorded.
    HyOceanSurface bare;
    testing::internal::CaptureStderr();
    EXPECT_EQ(maps.PrepareDisplacement(0, p, frame, &layer.image, &bare), 1);
    EXPECT_EQ(maps.PrepareDisplacement(0, p, frame, &layer.image, nullptr), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "CImageMaps::PrepareDisplacement the surface refused the displacement grid \n"
              "CImageMaps::PrepareDisplacement no surface to displace \n");
    EXPECT_EQ(maps.map(0).displacement_id, 0u);
    EXPECT_EQ(maps.PrepareDisplacement(3, p, frame, &layer.image, &surface), 2); // no fourth map
}

TEST(ImageMaps, TextureKindsExtentsAndLayouts)
{
    TestImage layer(4, 2);
    layer.fill(0, 0, 0, 255);
    layer.set(0, 0, 255, 128, 64, 255); // top-left of the picture
    layer.set(3, 1, 10, 20, 200, 128);  // bottom-right, half transparent

    ImageMapFrame frame{.downsample_x = 2.0};
    // Height: 2 px * 1 * scale x 3 = 6 m; width: 4 px * 2 * |scale y| 0.5 = 4 m, mirrored top to bottom.
    ImageMapParams p{
        .channel = kDisplaceRed, .centre_x = 7.0, .centre_y = -2.0, .scale_x = 3.0, .scale_y = -0.5};

    // clang-format off
    const std::int32_t expected_kind[8] = {0, kTextureNone, kTextureOnSurface, kTextureAboveSurface,
        kTextureBelowSurface, kTextureOnSurface, kTextureAboveSurface, kTextureBelowSurface};
    // clang-format on
    for (int type = 1; type <= 7; ++type) {
        SCOPED_TRACE("Map is: " + std::to_string(type));
        EXPECT_EQ(texture_kind_of_map_type(type), expected_kind[type]);
        EXPECT_EQ(map_type_displaces(type), type == 1 || type >= 5);
        CImageMaps maps;
        p.type = type;
        ASSERT_EQ(maps.PrepareTexture(1, p, frame, &layer.image), 0);
        const ImageMapState& m = maps.map(1);
        if (type == 1) {
            EXPECT_EQ(m.texture, nullptr);
            EXPECT_EQ(maps.on_surface(), nullptr);
            continue;
        }
        ASSERT_NE(m.texture, nullptr);
        EXPECT_EQ(m.texture_kind, expected_kind[type]);
        Hy2DTextureGroup* g = maps.group(m.texture_kind);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->capacity, 3);
        EXPECT_EQ(texture_count(g), 1);
        for (int k = 1; k <= 3; ++k)
            EXPECT_EQ(maps.group(k) == nullptr, k != m.texture_kind) << k;
        EXPECT_DOUBLE_EQ(m.texture->width_m, 4.0);
        EXPECT_DOUBLE_EQ(m.texture->height_m, 6.0);
        EXPECT_EQ(m.texture->tile, 0);
        EXPECT_EQ(m.texture->footprint_scale, 0.0);

        // Sample at pixel centres: texture pixel (i, j) from the bottom-left centres at
        // (-2 + (i + 0.5), -3 + (j + 0.5) * 3). Mirrored top to bottom, the picture's top-left pixel
        // is at the bottom-left.
        const auto expect_rgb = [&](double x, double y, std::vector<double> bytes) {
            double rgb[3];
            sample_group(g, rgb, x, y, 0.01);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(rgb[k] * 255, bytes[std::size_t(k)], 1e-9) << x << "," << y << " channel " << k;
        };
        expect_rgb(7.0 - 2.0 + 0.5, -2.0 - 3.0 + 1.5, {255, 128, 64});
        expect_rgb(7.0 + 2.0 - 0.5, -2.0 + 3.0 - 1.5, {10 * 128 / 255, 20 * 128 / 255, 200 * 128 / 255});
        expect_rgb(7.0 + 2.0 - 0.5, -2.0 - 3.0 + 1.5, {0, 0, 0});
        maps.CleanUp(nullptr);
        EXPECT_EQ(maps.map(1).texture, nullptr);
        EXPECT_EQ(maps.group(expected_kind[type]), nullptr);
    }

    // Three maps of one kind share a group and keep their ids; tile and stretch; blur sets the
    // footprint scale.
    CImageMaps maps;
    p.type = kMapDisplaceTextureAbove;
    p.blur = 12.5;
    p.layout = kLayoutTile;
    frame = {.downsample_x = 2.0, .max_distance = 500.0, .camera_x = 3.0};
    ImageMapParams ps[3] = {p, p, p};
    ps[2].layout = kLayoutStretch;
    const CImage32* layers[3] = {&layer.image, nullptr, &layer.image};
    ASSERT_EQ(maps.PrepareTextures(ps, frame, layers), 0);
    Hy2DTextureGroup* g = maps.above_surface();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(texture_count(g), 2);
    EXPECT_EQ(maps.map(0).texture_id, 1);
    EXPECT_EQ(maps.map(1).texture, nullptr);
    EXPECT_EQ(maps.map(2).texture_id, 2);
    EXPECT_EQ(maps.map(0).texture->tile, 1);
    EXPECT_EQ(maps.map(0).texture->footprint_scale, 12.5);
    EXPECT_EQ(maps.map(2).texture->tile, 0);
    EXPECT_DOUBLE_EQ(maps.map(2).texture->height_m, 500.0 * 1.0);
    EXPECT_DOUBLE_EQ(maps.map(2).texture->width_m, 4.0);
    EXPECT_DOUBLE_EQ(g->centre_x[1], 500.0 * 0.5 + 3.0);
    EXPECT_DOUBLE_EQ(g->centre_y[1], -2.0);
    EXPECT_DOUBLE_EQ(g->centre_x[0], 7.0);
    maps.CleanUp(nullptr);
}

TEST(ImageMaps, DegenerateLayersBuildNothingHugeOnesAreBuiltAndRefusedMemoryLeavesNothing)
{
    HyOceanSurface surface;
    ASSERT_EQ(surface.allocate_primary_waves(small_waves()), 1);
    ImageMapFrame frame;
    const ImageMapParams below{.type = kMapDisplaceTextureBelow, .channel = kDisplaceRed, .centre_x = 0.0,
                               .scale_x = 1.0, .scale_y = 1.0, .blur = 2.0};
    ImageMapParams p = below;

    // No layer, an empty one, one without pixels, one whose rows cannot hold its width; a zero scale on
    // either axis in every layout; a zero downsample factor: nothing is built.
    TestImage empty(0, 0), nopixels(3, 3), narrow(3, 3), good(4, 4);
    nopixels.image.pixels = nullptr;
    narrow.image.rowBytes = 11;
    good.fill(200, 200, 200, 255);
    struct Case {
        const CImage32* layer;
        ImageMapParams p;
        ImageMapFrame frame;
    };
    std::vector<Case> cases;
    for (const CImage32* l :
         std::vector<const CImage32*>{nullptr, &empty.image, &nopixels.image, &narrow.image}) {
        EXPECT_FALSE(layer_usable(l));
        cases.push_back({l, p, frame});
    }
    for (int layout : {kLayoutNormal, kLayoutTile, kLayoutStretch})
        for (double ImageMapParams::*scale : {&ImageMapParams::scale_x, &ImageMapParams::scale_y}) {
            cases.push_back({&good.image, p, frame});
            cases.back().p.layout = layout;
            cases.back().p.*scale = 0.0;
        }
    cases.push_back({&good.image, p, frame});
    cases.back().frame.downsample_x = 0.0;
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases.data());
        CImageMaps maps;
        EXPECT_EQ(maps.PrepareDisplacement(0, c.p, c.frame, c.layer, &surface), 0);
        EXPECT_EQ(maps.PrepareTexture(0, c.p, c.frame, c.layer), 0);
        EXPECT_EQ(maps.map(0).displacement_id, 0u);
        EXPECT_EQ(maps.map(0).texture, nullptr);
        EXPECT_EQ(surface.disturbances.count, 0);
    }

    // 1 x 1: too small to displace (skipped with a line), a one-pixel texture is fine.
    {
        TestImage one(1, 1);
        one.set(0, 0, 255, 255, 255, 255);
        CImageMaps maps;
        testing::internal::CaptureStderr();
        EXPECT_EQ(maps.PrepareDisplacement(0, p, frame, &one.image, &surface), 0);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("too small"), std::string::npos) << err;
        EXPECT_EQ(maps.map(0).displacement_id, 0u);
        EXPECT_EQ(maps.PrepareTexture(0, p, frame, &one.image), 0);
        ASSERT_NE(maps.map(0).texture, nullptr);
        EXPECT_EQ(maps.map(0).texture->levels, 1);
        maps.CleanUp(&surface);
    }

    // 8192 x 8192: both built; one pixel more on a side is beyond what the surface takes.
    {
        TestImage huge(8192, 8192);
        huge.set(8191, 0, 0, 0, 0, 254); // top-right, alpha displacement +1
        p = {.type = kMapDisplaceTextureBelow, .channel = kDisplaceAlpha, .centre_x = 0.0, .scale_x = 0.01,
             .scale_y = 0.01};
        CImageMaps maps;
        ASSERT_EQ(maps.PrepareDisplacement(0, p, frame, &huge.image, &surface), 0);
        ASSERT_EQ(maps.PrepareTexture(0, p, frame, &huge.image), 0);
        EXPECT_NE(maps.map(0).displacement_id, 0u);
        ASSERT_NE(maps.map(0).texture, nullptr);
        EXPECT_EQ(maps.map(0).texture->levels, 13);
        const double h = 8192 * 0.01 / 2;
        EXPECT_NEAR(surface.get_height(h - 0.01, h - 0.01), 1.0, 1e-5);
        EXPECT_NEAR(surface.get_height(-h, -h), -1.0, 1e-5);
        maps.CleanUp(&surface);
        EXPECT_EQ(surface.disturbances.count, 0);
    }
    {
        TestImage wide(8193, 2);
        CImageMaps maps;
        testing::internal::CaptureStderr();
        EXPECT_EQ(maps.PrepareDisplacement(0, p, frame, &wide.image, &surface), 0);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("too large"), std::string::npos);
        EXPECT_EQ(maps.map(0).displacement_id, 0u);
        EXPECT_EQ(maps.PrepareTexture(0, p, frame, &wide.image), 0);
        EXPECT_NE(maps.map(0).texture, nullptr);
        maps.CleanUp(&surface);
    }

    // Refused memory fails the frame, says so, and leaves nothing behind.
    TestImage layer(16, 8);
    layer.fill(90, 180, 30, 200);
    ImageMapParams ps[3] = {below, below, below};
    ps[0].type = ps[2].type = kMapDisplaceTextureOn;
    const CImage32* layers[3] = {&layer.image, &layer.image, &layer.image};

    const std::int64_t hook_before = hymem::hook_bytes();
    int failures = 0, successes = 0;
    for (int grants = 0; grants < 90; ++grants) {
        SCOPED_TRACE("grants " + std::to_string(grants));
        oceantest::Rationed ration(grants);
        std::int32_t r = 0;
        const oceantest::Printed said = oceantest::printed([&] {
            CImageMaps maps;
            r = maps.PrepareDisplacements(ps, frame, layers, &surface);
            if (r == 0)
                r = maps.PrepareTextures(ps, frame, layers);
            EXPECT_TRUE(r == 0 || r == 1) << r;
            for (int i = 0; r == 0 && i < 3; ++i)
                EXPECT_NE(maps.map(i).displacement_id, 0u); // a texture without its pyramid is dropped
            maps.CleanUp(&surface);
        });
        ration.off();
        EXPECT_TRUE(oceantest::g_ration.refusals == 0 || !said.err.empty())
            << "a refusal went unreported: " << said.out << ", result " << r;
        (r == 0 ? successes : failures) += 1;
        EXPECT_EQ(surface.disturbances.count, 0);
        EXPECT_EQ(surface.grid->aux_count, 1);
        EXPECT_EQ(hymem::hook_bytes(), hook_before);
    }
    EXPECT_GT(failures, 5);
    EXPECT_GT(successes, 0);
}
