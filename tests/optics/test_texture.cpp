// Image-map textures: pyramid shape and contents, level choice, bilinear sampling, tiling and clipping,
// placement with rotation, group bookkeeping and failures.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "optics/HyTexture.h"
#include "platform/HyMemory.h"
#include "tests/render/render_test_support.h"

namespace {

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
    HyTextureDesc desc(double mpp_x = 1.0, double mpp_y = 1.0, int tile = 0) const
    {
        HyTextureDesc d;
        d.width_px = w;
        d.height_px = h;
        d.width_m = w * mpp_x;
        d.height_m = h * mpp_y;
        for (int k = 0; k < 3; ++k)
            d.planes[k] = ch[k].data();
        d.tile = tile;
        return d;
    }
};

TEST(Texture, PyramidLevelCountsAndSizes)
{
    struct Case {
        int w, h, levels;
    } cases[] = {{4, 4, 2}, {3, 5, 2}, {2, 100, 1}, {100, 2, 1}, {1, 1, 1}, {9, 9, 3}, {640, 480, 9}, {5, 1000, 2}};
    for (const auto& c : cases) {
        Image img(c.w, c.h, 1);
        HyTexture t;
        HyTextureDesc d = img.desc();
        ASSERT_EQ(build_texture(&t, &d), 1) << c.w << "x" << c.h;
        EXPECT_EQ(t.levels, c.levels) << c.w << "x" << c.h;
        for (int l = 0; l < t.levels; ++l) {
            EXPECT_EQ(t.factor[l], 1 << l);
            EXPECT_EQ(t.level_width[l], int(std::ceil(c.w / double(1 << l))));
            EXPECT_EQ(t.level_height[l], int(std::ceil(c.h / double(1 << l))));
            EXPECT_DOUBLE_EQ(t.metres_per_pixel_x[l], double(1 << l));
            EXPECT_DOUBLE_EQ(t.pixels_per_metre_y[l], 1.0 / double(1 << l));
        }
        EXPECT_DOUBLE_EQ(t.half_width, c.w * 0.5);
    }
    // Without the pyramid flag there is only the base.
    Image img(64, 64, 2);
    HyTextureDesc d = img.desc();
    d.build_pyramid = 0;
    HyTexture t;
    ASSERT_EQ(build_texture(&t, &d), 1);
    EXPECT_EQ(t.levels, 1);
}

TEST(Texture, PyramidContents)
{
    // Odd sizes: the last column and row of each level are partial blocks of the base image.
    for (auto [w, h] : {std::pair{9, 7}, std::pair{13, 13}, std::pair{6, 11}}) {
        Image img(w, h, 3);
        HyTextureDesc d = img.desc();
        HyTexture t;
        ASSERT_EQ(build_texture(&t, &d), 1);
        for (int k = 0; k < 3; ++k) {
            for (int i = 0; i < w * h; ++i)
                ASSERT_EQ(t.planes[0][k][i], img.ch[k][i]);
            for (int l = 1; l < t.levels; ++l) {
                const int lw = t.level_width[l], lh = t.level_height[l], f = 1 << l;
                for (int j = 0; j < lh; ++j)
                    for (int i = 0; i < lw; ++i) {
                        double avg;
                        if (i < lw - 1 && j < lh - 1) {
                            const int pw = t.level_width[l - 1];
                            const std::uint8_t* p = t.planes[l - 1][k];
                            avg = (p[2 * j * pw + 2 * i] + p[2 * j * pw + 2 * i + 1] + p[(2 * j + 1) * pw + 2 * i] +
                                   p[(2 * j + 1) * pw + 2 * i + 1]) /
                                  4.0;
                        } else {
                            double s = 0;
                            int n = 0;
                            for (int y = j * f; y < std::min(h, (j + 1) * f); ++y)
                                for (int x = i * f; x < std::min(w, (i + 1) * f); ++x, ++n)
                                    s += img.ch[k][y * w + x];
                            avg = s / n;
                        }
                        ASSERT_EQ(t.planes[l][k][j * lw + i], std::uint8_t(int(avg + 0.499)))
                            << w << "x" << h << " level " << l << " (" << i << "," << j << ")";
                    }
            }
        }
    }
    // A constant image stays constant at every level.
    Image c(37, 21, 0);
    for (auto& ch : c.ch)
        std::fill(ch.begin(), ch.end(), 200);
    HyTextureDesc d = c.desc();
    HyTexture t;
    ASSERT_EQ(build_texture(&t, &d), 1);
    for (int l = 0; l < t.levels; ++l)
        for (int i = 0; i < t.level_width[l] * t.level_height[l]; ++i)
            ASSERT_EQ(t.planes[l][1][i], 200);
}

TEST(Texture, LevelChoiceAndBilinearSampling)
{
    // Checkerboard 8 x 8 at 0.5 m per pixel: level 0 alternates 0/255, level 1 is flat grey.
    Image img(8, 8, 0);
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 8; ++j)
            for (int i = 0; i < 8; ++i)
                img.ch[k][j * 8 + i] = ((i + j) & 1) ? 255 : 0;
    HyTextureDesc d = img.desc(0.5, 0.5);
    HyTexture t;
    ASSERT_EQ(build_texture(&t, &d), 1);
    ASSERT_EQ(t.levels, 3);
    double v[3];
    // Centre of pixel (3, 2), a white square, in metres from the texture centre.
    const double u = -2.0 + 3.5 * 0.5, vv = -2.0 + 2.5 * 0.5;
    for (double fp : {0.0, 0.2, 0.5}) { // up to one level-0 pixel: level 0 alone, exact pixel value
        sample_texture(&t, v, u, vv, fp);
        EXPECT_DOUBLE_EQ(v[0], 1.0) << fp;
    }
    sample_texture(&t, v, u, vv, 1.0); // two pixels wide: level 1
    EXPECT_NEAR(v[0], t.planes[1][0][1 * 4 + 1] / 255.0, 1e-12);
    sample_texture(&t, v, u, vv, 0.75); // 1.5 pixels: half level 0, half level 1
    EXPECT_NEAR(v[0], 0.5 * 1.0 + 0.5 * t.planes[1][0][1 * 4 + 1] / 255.0, 1e-12);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(t.planes[2][0][i], 127); // (0 + 255 + 255 + 0) / 4 rounded
    sample_texture(&t, v, u, vv, 100.0); // beyond the last level: the last level
    EXPECT_NEAR(v[0], 127 / 255.0, 1e-12);
    // Footprint scale and value scale.
    set_footprint_scale(&t, 4.0);
    sample_texture(&t, v, u, vv, 0.25); // 0.25 * 4 = 1 m = 2 pixels: level 1
    EXPECT_NEAR(v[0], t.planes[1][0][1 * 4 + 1] / 255.0, 1e-12);
    set_footprint_scale(&t, 1.0);
    t.value_scale = 2.0;
    sample_texture(&t, v, u, vv, 0.0);
    EXPECT_DOUBLE_EQ(v[0], 2.0);
    t.value_scale = 1.0;

    // Bilinear between pixel centres of a smooth random image against a direct evaluation.
    Image r(16, 12, 5);
    HyTextureDesc rd = r.desc(0.25, 0.5);
    HyTexture rt;
    ASSERT_EQ(build_texture(&rt, &rd), 1);
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> ux(0.5, 15.5), uy(0.5, 11.5);
    for (int it = 0; it < 200; ++it) {
        const double px = ux(rng), py = uy(rng); // pixel units, pixel centres at i + 0.5
        sample_texture(&rt, v, px * 0.25 - 2.0, py * 0.5 - 3.0, 0.0);
        const int i = int(std::floor(px - 0.5)), j = int(std::floor(py - 0.5));
        const double fx = px - 0.5 - i, fy = py - 0.5 - j;
        for (int k = 0; k < 3; ++k) {
            auto p = [&](int a, int b) { return double(r.ch[k][std::min(b, 11) * 16 + std::min(a, 15)]); };
            const double e = (1 - fx) * (1 - fy) * p(i, j) + fx * (1 - fy) * p(i + 1, j) + (1 - fx) * fy * p(i, j + 1) +
                             fx * fy * p(i + 1, j + 1);
            EXPECT_NEAR(v[k], e / 255.0, 1e-12);
        }
    }
    // Half a pixel inside the edge the sample is the edge pixel itself.
    sample_texture(&rt, v, -2.0 + 0.01, -3.0 + 0.01, 0.0);
    EXPECT_NEAR(v[1], r.ch[1][0] / 255.0, 1e-12);
}

TEST(Texture, TilingRepeatsAndClippingReturnsZero)
{
    Image img(10, 6, 4);
    HyTextureDesc d = img.desc(2.0, 3.0, 0); // 20 m x 18 m
    HyTexture clip, tile;
    ASSERT_EQ(build_texture(&clip, &d), 1);
    d.tile = 1;
    ASSERT_EQ(build_texture(&tile, &d), 1);
    double a[3], b[3];
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> uu(-9.0, 9.0), uv(-8.0, 8.0);
    for (int it = 0; it < 100; ++it) {
        const double u = uu(rng), v = uv(rng);
        sample_texture(&clip, a, u, v, 0.0);
        sample_texture(&tile, b, u, v, 0.0);
        for (int k = 0; k < 3; ++k)
            EXPECT_DOUBLE_EQ(a[k], b[k]); // inside, tiling changes nothing
        for (int m : {-3, -1, 1, 2}) {
            sample_texture(&tile, b, u + m * 20.0, v - m * 18.0, 0.0);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(a[k], b[k], 1e-9);
            sample_texture(&clip, b, u + m * 20.0, v, 0.0);
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(b[k], 0.0);
        }
    }
    // Exactly on the edge is still inside; just past it is outside.
    sample_texture(&clip, a, 10.0, 0.0, 0.0);
    EXPECT_GT(a[0] + a[1] + a[2], 0.0);
    sample_texture(&clip, a, 10.0 + 1e-9, 0.0, 0.0);
    EXPECT_EQ(a[0] + a[1] + a[2], 0.0);
}

TEST(Texture, RotatedPlacementAndCorners)
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
    // Pixel (i, j) has its centre at (i - 1.5, j - 0.5) in the texture frame; a quarter turn takes (x, y)
    // to (-y, x).
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 4; ++i) {
            const double x = i - 1.5, y = j - 0.5;
            double v[3];
            sample_group(&g, v, 10.0 - y, 20.0 + x);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(v[k], (10 + 20 * (j * 4 + i) + k) / 255.0, 1e-12) << i << "," << j;
        }
    // Outside the rotated rectangle (but inside the unrotated one) there is nothing.
    double v[3];
    sample_group(&g, v, 10.0 + 1.8, 20.0);
    EXPECT_EQ(v[0], 0.0);

    double c[4][2];
    ASSERT_EQ(texture_corners(&g, id, c), 1);
    const double expect[4][2] = {{10 - 1, 20 - 2}, {10 + 1, 20 - 2}, {10 - 1, 20 + 2}, {10 + 1, 20 + 2}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(c[i][0], expect[i][0], 1e-12) << i;
        EXPECT_NEAR(c[i][1], expect[i][1], 1e-12) << i;
    }
    EXPECT_EQ(texture_corners(&g, 99, c), 0);

    // Two textures overlapping add up; the footprint argument overrides the default.
    const int id2 = add_texture(&g, &t, 10.0, 20.0, angle);
    double two[3];
    sample_group(&g, two, 10.0, 20.5, 0.1);
    sample_group(&g, v, 10.0, 20.5);
    EXPECT_GT(two[0], 0.0);
    for (int k = 0; k < 3; ++k)
        EXPECT_DOUBLE_EQ(two[k], v[k]);
    ASSERT_EQ(remove_texture(&g, id2), 1);
    double one[3];
    sample_group(&g, one, 10.0, 20.5);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(two[k], 2 * one[k], 1e-12);
}

TEST(Texture, GroupBookkeeping)
{
    Image img(3, 3, 1);
    HyTextureDesc d = img.desc();
    HyTexture tex[11];
    for (auto& t : tex)
        ASSERT_EQ(build_texture(&t, &d), 1);
    Hy2DTextureGroup g;
    EXPECT_EQ(texture_count(&g), 0);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(add_texture(&g, &tex[i], i, 0, 0), i + 1);
    EXPECT_EQ(add_texture(&g, &tex[10], 0, 0, 0), 0); // the eleventh is refused
    EXPECT_EQ(texture_count(&g), 10);

    Hy2DTextureGroup h;
    const int a = add_texture(&h, &tex[0], 1, 0, 0.1);
    const int b = add_texture(&h, &tex[1], 2, 0, 0.2);
    const int c = add_texture(&h, &tex[2], 3, 0, 0.3);
    EXPECT_EQ(remove_texture(&h, b), 1);
    EXPECT_EQ(texture_count(&h), 2);
    EXPECT_EQ(h.ids[0], a);
    EXPECT_EQ(h.ids[1], c);
    EXPECT_EQ(h.textures[0], &tex[0]);
    EXPECT_EQ(h.textures[1], &tex[2]);
    EXPECT_EQ(h.centre_x[1], 3.0); // the placement moves with its texture
    EXPECT_DOUBLE_EQ(h.sin_angle[1], std::sin(0.3));
    EXPECT_EQ(remove_texture(&h, b), 0);
    EXPECT_EQ(remove_texture(&h, 0), 0);
    EXPECT_EQ(add_texture(&h, &tex[3], 0, 0, 0), 4); // identifiers are never reused
    EXPECT_EQ(remove_texture(&h, 4), 1);              // the last simply shortens the list
    EXPECT_EQ(texture_count(&h), 2);
    EXPECT_EQ(add_texture(&h, nullptr, 0, 0, 0), 0);

    Hy2DTextureGroup small(3, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_GT(add_texture(&small, &tex[i], 0, 0, 0), 0);
    EXPECT_EQ(add_texture(&small, &tex[3], 0, 0, 0), 0);
}

TEST(Texture, BadInputAndFailures)
{
    HyTexture t;
    Image img(1, 1, 7);
    HyTextureDesc d = img.desc();
    ASSERT_EQ(build_texture(&t, &d), 1); // a single pixel is a constant texture
    EXPECT_EQ(t.levels, 1);
    double v[3];
    sample_texture(&t, v, 0.3, -0.2, 5.0);
    EXPECT_DOUBLE_EQ(v[2], img.ch[2][0] / 255.0);

    // Empty or unsized images are refused and sample to zero.
    for (int bad = 0; bad < 3; ++bad) {
        HyTextureDesc e = d;
        if (bad == 0)
            e.width_px = 0;
        else if (bad == 1)
            e.height_px = -4;
        else
            e.width_m = 0.0;
        EXPECT_EQ(build_texture(&t, &e), 0) << bad;
        EXPECT_EQ(t.ready, 0);
    }
    sample_texture(&t, v, 0.0, 0.0, 0.0);
    EXPECT_EQ(v[0] + v[1] + v[2], 0.0);
    HyTextureDesc e = d;
    e.planes[1] = nullptr; // one plane missing
    testing::internal::CaptureStdout();
    EXPECT_EQ(build_texture(&t, &e), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "base image not alloated\n");
    e.planes[0] = e.planes[2] = nullptr; // none at all
    testing::internal::CaptureStdout();
    EXPECT_EQ(build_texture(&t, &e), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "base image not allocated\n");
    EXPECT_EQ(build_texture(nullptr, &d), 0);
    EXPECT_EQ(build_texture(&t, nullptr), 0);

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
                sample_texture(&t, v, u, 3.0, fp);
                for (double x : v)
                    EXPECT_TRUE(std::isfinite(x) && x >= 0.0 && x <= 1.0) << tile << " " << fp << " " << u;
            }
    // An empty group samples to zero.
    Hy2DTextureGroup g;
    sample_group(&g, v, 1.0, 2.0);
    EXPECT_EQ(v[0] + v[1] + v[2], 0.0);
}

} // namespace
