// Image-map textures: pyramid shape and contents, level choice, bilinear sampling, tiling and clipping,
// placement with rotation, group bookkeeping and failures.
#include "optics/HyTexture.h"
#include "tests/render/render_test_support.h"

#include <array>
#include <random>

namespace {

using Rgb = std::array<double, 3>;

struct Image {
    int w, h;
    std::vector<std::uint8_t> ch[3];
    Image(int w_, int h_, unsigned seed) : w(w_), h(h_)
    {
        std::mt19937 rng(seed);
        for (auto& c : ch) {
            c.resize(std::size_t(w) * h);
            for (auto& v : c)
                v = std::uint8_t(rng() & 255);
        }
    }
    HyTextureDesc desc(double mpp_x = 1.0, double mpp_y = 1.0) const
    {
        return {.width_m = w * mpp_x, .height_m = h * mpp_y, .width_px = w, .height_px = h,
                .planes = {ch[0].data(), ch[1].data(), ch[2].data()}};
    }
};

Rgb sample(const HyTexture& t, double u, double v, double footprint)
{
    Rgb s;
    sample_texture(&t, s.data(), u, v, footprint);
    return s;
}

TEST(Texture, PyramidShapeAndContents)
{
    struct Case {
        int w, h, levels;
    } cases[] = {{4, 4, 2}, {3, 5, 2},   {2, 100, 1}, {100, 2, 1},   {1, 1, 1},   {9, 9, 3},
                 {9, 7, 3}, {13, 13, 4}, {6, 11, 3},  {640, 480, 9}, {5, 1000, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        Image img(c.w, c.h, 3);
        HyTexture t;
        HyTextureDesc d = img.desc();
        ASSERT_EQ(build_texture(&t, &d), 1);
        ASSERT_EQ(t.levels, c.levels);
        EXPECT_DOUBLE_EQ(t.half_width, c.w * 0.5);
        for (int l = 0; l < t.levels; ++l) {
            const int f = 1 << l, lw = t.level_width[l];
            EXPECT_TRUE(t.factor[l] == f && lw == (c.w + f - 1) / f && t.level_height[l] == (c.h + f - 1) / f);
            EXPECT_TRUE(t.metres_per_pixel_x[l] == f && t.pixels_per_metre_y[l] == 1.0 / f) << l;
            if (c.w * c.h > 400)
                continue;
            // Each level pixel is the rounded mean of its 2 x 2 block of the level below; the last
            // column and row of odd sizes are partial blocks of the base image instead.
            for (int k = 0; k < 3; ++k)
                for (int j = 0; j < t.level_height[l]; ++j)
                    for (int i = 0; i < lw; ++i) {
                        double s = 0;
                        int n = 0;
                        const bool inner = l > 0 && i < lw - 1 && j < t.level_height[l] - 1;
                        const int g = inner ? 2 : f, pw = inner ? t.level_width[l - 1] : c.w;
                        const std::uint8_t* p = inner ? t.planes[l - 1][k] : img.ch[k].data();
                        for (int y = j * g; y < std::min(inner ? 2 * j + 2 : c.h, (j + 1) * g); ++y)
                            for (int x = i * g; x < std::min(inner ? 2 * i + 2 : c.w, (i + 1) * g); ++x, ++n)
                                s += p[y * pw + x];
                        ASSERT_EQ(t.planes[l][k][j * lw + i], std::uint8_t(int(s / n + 0.499)))
                            << "level " << l << " (" << i << "," << j << ")";
                    }
        }
    }
    // Without the pyramid flag there is only the base.
    Image img(64, 64, 2);
    HyTextureDesc d = img.desc();
    d.build_pyramid = 0;
    HyTexture t;
    EXPECT_TRUE(build_texture(&t, &d) == 1 && t.levels == 1);
}

TEST(Texture, LevelChoiceBilinearSamplingTilingAndClipping)
{
    // Checkerboard 8 x 8 at 0.5 m per pixel: level 0 alternates 0/255, level 1 is flat grey.
    Image img(8, 8, 0);
    for (auto& c : img.ch)
        for (int i = 0; i < 64; ++i)
            c[i] = ((i % 8 + i / 8) & 1) ? 255 : 0;
    HyTextureDesc d = img.desc(0.5, 0.5);
    HyTexture t;
    ASSERT_EQ(build_texture(&t, &d), 1);
    ASSERT_EQ(t.levels, 3);
    // (0 + 255 + 255 + 0) / 4 rounded
    ASSERT_EQ(std::count(t.planes[2][0], t.planes[2][0] + 4, 127), 4);
    // Centre of pixel (3, 2), a white square, in metres from the texture centre.
    const double u = -2.0 + 3.5 * 0.5, v = -2.0 + 2.5 * 0.5, grey = t.planes[1][0][1 * 4 + 1] / 255.0;
    // Up to one level-0 pixel: level 0 alone, exact; two pixels wide: level 1; 1.5 pixels: half of each;
    // beyond the last level: the last level.
    const struct {
        double footprint, value;
    } cases[] = {{0.0, 1.0},          {0.2, 1.0}, {0.5, 1.0}, {1.0, grey}, {0.75, 0.5 + 0.5 * grey},
                 {100.0, 127 / 255.0}};
    for (const auto& c : cases)
        EXPECT_NEAR(sample(t, u, v, c.footprint)[0], c.value, 1e-12) << c.footprint;
    // Footprint scale and value scale.
    set_footprint_scale(&t, 4.0);
    EXPECT_NEAR(sample(t, u, v, 0.25)[0], grey, 1e-12); // 0.25 * 4 = 1 m = 2 pixels: level 1
    set_footprint_scale(&t, 1.0);
    t.value_scale = 2.0;
    EXPECT_DOUBLE_EQ(sample(t, u, v, 0.0)[0], 2.0);

    // Bilinear between pixel centres of a smooth random image against a direct evaluation.
    Image r(16, 12, 5);
    HyTextureDesc rd = r.desc(0.25, 0.5);
    HyTexture rt;
    ASSERT_EQ(build_texture(&rt, &rd), 1);
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> ux(0.5, 15.5), uy(0.5, 11.5);
    for (int it = 0; it < 200; ++it) {
        const double px = ux(rng), py = uy(rng); // pixel units, pixel centres at i + 0.5
        const Rgb s = sample(rt, px * 0.25 - 2.0, py * 0.5 - 3.0, 0.0);
        const int i = int(std::floor(px - 0.5)), j = int(std::floor(py - 0.5));
        const double fx = px - 0.5 - i, fy = py - 0.5 - j;
        for (int k = 0; k < 3; ++k) {
            auto p = [&](int a, int b) { return double(r.ch[k][std::min(b, 11) * 16 + std::min(a, 15)]); };
            const double e = (1 - fx) * (1 - fy) * p(i, j) + fx * (1 - fy) * p(i + 1, j) +
                             (1 - fx) * fy * p(i, j + 1) + fx * fy * p(i + 1, j + 1);
            EXPECT_NEAR(s[k], e / 255.0, 1e-12);
        }
    }
    // Half a pixel inside the edge the sample is the edge pixel itself.
    EXPECT_NEAR(sample(rt, -2.0 + 0.01, -3.0 + 0.01, 0.0)[1], r.ch[1][0] / 255.0, 1e-12);

    // Tiled, the 4 m x 6 m image repeats; clipped, it is zero outside, exactly on the edge still inside.
    rd.tile = 1;
    HyTexture tiled;
    ASSERT_EQ(build_texture(&tiled, &rd), 1);
    std::uniform_real_distribution<double> uu(-1.8, 1.8), uv(-2.7, 2.7);
    for (int it = 0; it < 100; ++it) {
        const double x = uu(rng), y = uv(rng);
        const Rgb a = sample(rt, x, y, 0.0);
        EXPECT_EQ(a, sample(tiled, x, y, 0.0)); // inside, tiling changes nothing
        for (int m : {-3, -1, 1, 2}) {
            const Rgb b = sample(tiled, x + m * 4.0, y - m * 6.0, 0.0);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(a[k], b[k], 1e-9);
            EXPECT_EQ(sample(rt, x + m * 4.0, y, 0.0), (Rgb{0, 0, 0}));
        }
    }
    EXPECT_GT(sample(rt, 2.0, 0.0, 0.0)[0], 0.0);
    EXPECT_EQ(sample(rt, 2.0 + 1e-9, 0.0, 0.0), (Rgb{0, 0, 0}));
}

TEST(Texture, RotatedPlacementCornersAndGroupBookkeeping)
{
    // 4 x 2 pixels of 1 m, each pixel a distinct value.
    Image img(4, 2, 0);
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 3; ++k)
            img.ch[k][i] = std::uint8_t(10 + 20 * i + k);
    HyTextureDesc d = img.desc();
    HyTexture t;
    ASSERT_EQ(build_texture(&t, &d), 1);
    Hy2DTextureGroup g;
    g.default_footprint = 0.1;
    const double angle = M_PI / 2; // a quarter turn counter-clockwise
    const int id = add_texture(&g, &t, 10.0, 20.0, angle);
    ASSERT_EQ(id, 1);
    // Pixel (i, j) is centred at (i - 1.5, j - 0.5) in the texture; a quarter turn takes (x, y) to (-y, x).
    Rgb v;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 4; ++i) {
            sample_group(&g, v.data(), 10.0 - (j - 0.5), 20.0 + (i - 1.5));
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(v[k], (10 + 20 * (j * 4 + i) + k) / 255.0, 1e-12) << i << "," << j;
        }
    // Outside the rotated rectangle (but inside the unrotated one) there is nothing.
    sample_group(&g, v.data(), 10.0 + 1.8, 20.0);
    EXPECT_EQ(v[0], 0.0);
    double c[4][2];
    ASSERT_EQ(texture_corners(&g, id, c), 1);
    const double expect[4][2] = {{10 - 1, 20 - 2}, {10 + 1, 20 - 2}, {10 - 1, 20 + 2}, {10 + 1, 20 + 2}};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(std::hypot(c[i][0] - expect[i][0], c[i][1] - expect[i][1]) < 1e-12) << i;
    EXPECT_EQ(texture_corners(&g, 99, c), 0);

    // Two textures overlapping add up; removing one leaves the other.
    Rgb one, two;
    sample_group(&g, one.data(), 10.0, 20.5);
    const int id2 = add_texture(&g, &t, 10.0, 20.0, angle);
    sample_group(&g, two.data(), 10.0, 20.5, 0.1);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(two[k], 2 * one[k], 1e-12);
    ASSERT_EQ(remove_texture(&g, id2), 1);
    sample_group(&g, two.data(), 10.0, 20.5);
    EXPECT_EQ(two, one);

    // Ten fit and the eleventh is refused (three in a smaller group); removal keeps the order and the
    // placements with their textures, the last simply shortens the list; identifiers are never reused.
    HyTexture tex[11];
    for (auto& x : tex)
        ASSERT_EQ(build_texture(&x, &d), 1);
    Hy2DTextureGroup full, h, small(3, 3);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(add_texture(&full, &tex[i], i, 0, 0), i < 10 ? i + 1 : 0);
        EXPECT_EQ(add_texture(&small, &tex[i], i, 0, 0), i < 3 ? i + 1 : 0);
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(add_texture(&h, &tex[i], i + 1, 0, 0.1 * (i + 1)), i + 1);
    EXPECT_EQ(remove_texture(&h, 2), 1);
    EXPECT_TRUE(texture_count(&h) == 2 && h.ids[0] == 1 && h.ids[1] == 3);
    EXPECT_TRUE(h.textures[0] == &tex[0] && h.textures[1] == &tex[2] && h.centre_x[1] == 3.0);
    EXPECT_DOUBLE_EQ(h.sin_angle[1], std::sin(0.3));
    EXPECT_TRUE(remove_texture(&h, 2) == 0 && remove_texture(&h, 0) == 0);
    EXPECT_EQ(add_texture(&h, &tex[3], 0, 0, 0), 4);
    EXPECT_EQ(remove_texture(&h, 4), 1);
    EXPECT_EQ(texture_count(&h), 2);
    EXPECT_EQ(add_texture(&h, nullptr, 0, 0, 0), 0);
}

TEST(Texture, BadInputAndFailures)
{
    // Empty or unsized images, missing planes and missing arguments are refused, and the texture then
    // samples to zero, as does an empty group; a single pixel is a constant texture.
    HyTexture t;
    Image img(1, 1, 7);
    const HyTextureDesc d = img.desc();
    HyTextureDesc bad[5] = {d, d, d, d, d};
    bad[0].width_px = 0;
    bad[1].height_px = -4;
    bad[2].width_m = 0.0;
    bad[3].planes[1] = nullptr;
    bad[4].planes[0] = bad[4].planes[1] = bad[4].planes[2] = nullptr;
    const char* said[5] = {"", "", "", "base image not alloated\n", "base image not allocated\n"};
    for (int k = 0; k < 5; ++k) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(build_texture(&t, &bad[k]), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), said[k]);
        EXPECT_EQ(t.ready, 0);
    }
    EXPECT_TRUE(build_texture(nullptr, &d) == 0 && build_texture(&t, nullptr) == 0);
    EXPECT_EQ(sample(t, 0.0, 0.0, 0.0), (Rgb{0, 0, 0}));
    Hy2DTextureGroup g;
    Rgb v;
    sample_group(&g, v.data(), 1.0, 2.0);
    EXPECT_EQ(v, (Rgb{0, 0, 0}));
    ASSERT_EQ(build_texture(&t, &d), 1);
    EXPECT_DOUBLE_EQ(sample(t, 0.3, -0.2, 5.0)[2], img.ch[2][0] / 255.0);

    // Allocation failure part-way through the pyramid: refused, nothing leaked, rebuild works.
    Image big(64, 48, 8);
    HyTextureDesc bd = big.desc();
    for (int grants : {0, 1, 5, 13}) {
        render_test::AllocationBudget budget(grants);
        const auto before = hymem::hook_bytes();
        testing::internal::CaptureStdout();
        EXPECT_EQ(build_texture(&t, &bd), 0) << grants;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "unable to allocate texture memory \n");
        EXPECT_EQ(hymem::hook_bytes(), before);
        EXPECT_EQ(t.ready, 0);
    }
    const auto heap = hymem::heap_bytes();
    {
        HyTexture u;
        ASSERT_EQ(build_texture(&u, &bd), 1);
        EXPECT_GT(hymem::heap_bytes(), heap);
        ASSERT_EQ(build_texture(&u, &bd), 1); // rebuilding releases the old levels first
    }
    EXPECT_EQ(hymem::heap_bytes(), heap);

    // Sampling with odd footprints and positions stays finite, tiled within the colour range.
    ASSERT_EQ(build_texture(&t, &bd), 1);
    for (int tile : {0, 1})
        for (double fp : {-1.0, 0.0, 1e-300, 1e300, std::nan("")})
            for (double u : {0.0, -32.0, 31.99999999, 1e15, std::nan("")}) {
                t.tile = tile;
                for (double x : sample(t, u, 3.0, fp))
                    EXPECT_TRUE(std::isfinite(x) && x >= 0.0 && x <= 1.0) << tile << " " << fp << " " << u;
            }
}

} // namespace
