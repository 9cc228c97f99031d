// Camera: orientation against an independently built rotation, windows, projection round trips,
// visibility rules, direction codes, sea-level mapping and the tone operations on the planes.
#include "platform/HyThreadPool.h"
#include "tests/render/render_test_support.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>

namespace {

using render_test::make_camera;
using render_test::Pose;

// Horizon, looking down, looking up, rolled, and an arbitrary oblique one.
const Pose kPoses[] = {
    {M_PI / 2, 0.0, 0.0}, {2.2, 0.7, 0.0}, {0.9, -2.0, 0.3}, {1.4, 3.0, -1.1}, {2.9, 1.1, 2.5}};

using V3 = std::array<double, 3>;
using M3 = std::array<V3, 3>;
M3 mul(const M3& p, const M3& q)
{
    M3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                r[i][j] += p[i][k] * q[k][j];
    return r;
}
M3 rz(double t)
{
    return M3{{{std::cos(t), -std::sin(t), 0}, {std::sin(t), std::cos(t), 0}, {0, 0, 1}}};
}
M3 ry(double t)
{
    return M3{{{std::cos(t), 0, std::sin(t)}, {0, 1, 0}, {-std::sin(t), 0, std::cos(t)}}};
}

V3 pixel(const HyViewGeometry& v, int r, int c)
{
    V3 d;
    v.pixel_direction(r, c, d[0], d[1], d[2]);
    return d;
}
V3 subpixel(const HyViewGeometry& v, double r, double c)
{
    V3 d;
    v.subpixel_direction(r, c, d[0], d[1], d[2]);
    return d;
}
V3 axis(const HyViewGeometry& v)
{
    V3 d;
    v.view_axis(d[0], d[1], d[2]);
    return d;
}
// The world point t metres from the eye along d.
V3 along(const HyViewGeometry& v, const V3& d, double t)
{
    return {v.x + t * d[0], v.y + t * d[1], v.z + t * d[2]};
}
void expect_near(const V3& p, const V3& q, double tol)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(p[i], q[i], tol) << i;
}

// The window as the camera reports it, and its size.
void expect_window(const HyRenderData_Camera& cam, const std::array<std::uint32_t, 6>& want)
{
    std::array<std::uint32_t, 6> got;
    cam.get_window(got[0], got[1], got[2], got[3]);
    cam.get_window_size(got[4], got[5]);
    EXPECT_EQ(got, want);
}

} // namespace

TEST(Camera, OrientationCentresTheViewAxisAndWindowsCutTheFullProjection)
{
    for (const Pose& p : kPoses) {
        HyRenderData_Camera one = make_camera(1, 1, 0.8, p), odd = make_camera(9, 7, 0.8, p),
                            even = make_camera(8, 6, 0.8, p);
        const HyViewGeometry& v = even.view();
        const M3 expected = mul(mul(rz(p.b), ry(p.a)), rz(p.c));
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                EXPECT_NEAR(v.R[i][j], expected[i][j], 1e-15);
                EXPECT_EQ(v.Rt[i][j], v.R[j][i]);
            }
        // The view axis is the zenith angle a at azimuth b. A one-pixel image looks exactly along it, odd
        // sizes put the middle pixel on it, even sizes straddle it by half a step.
        const V3 ax = {std::cos(p.b) * std::sin(p.a), std::sin(p.b) * std::sin(p.a), std::cos(p.a)};
        expect_near(axis(v), ax, 1e-15);
        EXPECT_EQ(pixel(one.view(), 0, 0), axis(one.view()));
        expect_near(pixel(odd.view(), 3, 4), ax, 1e-15);
        EXPECT_LT(std::inner_product(ax.begin(), ax.end(), pixel(v, 3, 4).begin(), 0.0), 1.0 - 1e-6);
        // The sub-pixel form at r + 0.5 is the pixel centre; the ray starts at the eye.
        std::array<double, 6> ray;
        v.subpixel_ray(2.5, 5.5, ray.data());
        const V3 d = pixel(v, 2, 5);
        EXPECT_EQ(ray, (std::array<double, 6>{3.0, -4.0, 12.0, d[0], d[1], d[2]}));
        // A window cuts the full projection and clearing it restores the view.
        const HyViewGeometry before = make_camera(640, 480, 1.1, p).view();
        HyRenderData_Camera cam = make_camera(640, 480, 1.1, p);
        cam.set_window(100u, 299u, 50u, 149u);
        expect_window(cam, {100u, 299u, 50u, 149u, 200u, 100u});
        // Window pixel (r, c) is full-image pixel (r + first row, c + first column).
        const HyViewGeometry& w = cam.view();
        EXPECT_TRUE(w.rows == 100 && w.columns == 200);
        for (int r = 0; r < 100; r += 9)
            for (int c = 0; c < 200; c += 13) {
                const V3 b = pixel(before, r + 50, c + 100);
                expect_near(pixel(w, r, c), b, 1e-13);
                // Projecting back lands in the window's own pixel.
                int ir = -1, ic = -1;
                ASSERT_EQ(w.project_point(along(w, b, 50).data(), ir, ic), 1);
                EXPECT_TRUE(ir == r && ic == c);
                // The lens function agrees: the same codes land 50 rows, 100 columns on in the full image.
                double ec, ac, wr, wc, fr, fc;
                w.direction_code(along(w, b, 1).data(), 0.25, ec, ac);
                ASSERT_EQ(w.project_direction_code(ec, ac, 0.25, wr, wc), 1);
                ASSERT_EQ(before.project_direction_code(ec, ac, 0.25, fr, fc), 1);
                expect_near({wr, wc, fr}, {r + 0.5, c + 0.5, r + 50.5}, 1e-6);
                EXPECT_NEAR(fc, c + 100.5, 1e-6);
            }
        cam.clear_window();
        HyViewGeometry after;
        cam.get_view(after);
        EXPECT_EQ(std::memcmp(&after, &before, sizeof before), 0);
        expect_window(cam, {0u, 639u, 0u, 479u, 640u, 480u});
    }
    // A reversed window has no pixels rather than wrapping round.
    HyRenderData_Camera rev = make_camera(10, 10, 1.0, kPoses[0]);
    rev.set_window(5u, 4u, 7u, 2u);
    expect_window(rev, {5u, 4u, 7u, 2u, 0u, 0u});
    EXPECT_EQ(rev.view().row_step, 0.0);
    // Looking east at the horizon: row 0 is the bottom of the picture, column 0 the north side.
    const HyViewGeometry v = make_camera(64, 48, 1.0, {M_PI / 2, 0.0, 0.0}, 0, 0, 0).view();
    EXPECT_LT(pixel(v, 0, 32)[2], 0.0);
    EXPECT_GT(pixel(v, 47, 32)[2], 0.0);
    EXPECT_GT(pixel(v, 24, 0)[1], 0.0);
    EXPECT_LT(pixel(v, 24, 63)[1], 0.0);
    EXPECT_GT(pixel(v, 24, 0)[0], 0.8); // towards east

    // The zenith range of the picture's corners.
    double lo, hi;
    for (double b : {0.0, 1.3, -2.9}) {
        // At the horizon without roll the corners sit at +-V / |(V, H, 1)| in z.
        const HyViewGeometry level = make_camera(320, 200, 1.2, {M_PI / 2, b, 0.0}).view();
        level.zenith_range(lo, hi);
        const double expected = std::acos(level.rmax / std::hypot(level.rmax, level.cmax, 1.0));
        EXPECT_NEAR(lo, expected, 1e-12);
        EXPECT_NEAR(hi, M_PI - expected, 1e-12);
    }
    // Straight down every corner is equally far from the nadir.
    const HyViewGeometry down = make_camera(320, 200, 1.2, {M_PI, 0.4, 0.2}).view();
    down.zenith_range(lo, hi);
    EXPECT_NEAR(lo, M_PI - std::atan(std::hypot(down.cmax, down.rmax)), 1e-12);
    EXPECT_NEAR(hi, lo, 1e-12);
}

TEST(Camera, BorderAndBehindTheEyeAreNotVisible)
{
    // Identity orientation: camera space is world space, and (-yr, -xc, 1) * s with s a power of two
    // lands exactly on the image-plane point (yr, xc). On the border it is not visible, a hair inside it is.
    const HyViewGeometry v = make_camera(4, 4, 1.0, {0.0, 0.0, 0.0}, 0, 0, 0).view();
    const double e = v.rmax, in = 1.0 - 1e-9;
    int r, c;
    double fr, fc;
    for (const auto& b : {V3{e, 0.0}, V3{-e, 0.0}, V3{0.0, e}, V3{0.0, -e}, V3{e, e}})
        for (double s : {1.0, 4.0}) {
            EXPECT_EQ(v.project_point(-b[0] * s, -b[1] * s, s, r, c), 0);
            EXPECT_EQ(v.project_point_fractional(-b[0] * s, -b[1] * s, s, fr, fc), 0);
            EXPECT_EQ(v.project_point(-b[0] * s * in, -b[1] * s * in, s, r, c), 1);
        }
    // The eye itself, points in the eye plane, behind, and NaN: not visible, outputs untouched.
    const HyViewGeometry w = make_camera(32, 24, 1.0, kPoses[1]).view();
    const V3 ax = axis(w), side = {w.R[0][0], w.R[1][0], w.R[2][0]}; // side lies in the eye plane
    const V3 far_behind = along(w, ax, -1e6);
    for (const V3& P :
         {along(w, ax, 0), along(w, side, 1), along(w, ax, -1),
          V3{far_behind[0] + 5 * side[0], far_behind[1] + 5 * side[1], far_behind[2] + 5 * side[2]},
          V3{std::nan(""), 0.0, 0.0}}) {
        r = -77, c = -78, fr = -7.5, fc = -8.5;
        EXPECT_EQ(w.project_point(P.data(), r, c), 0);
        EXPECT_EQ(w.project_point_fractional(P.data(), fr, fc), 0);
        EXPECT_TRUE(r == -77 && c == -78 && fr == -7.5 && fc == -8.5);
    }
    // Likewise a sea-level point behind a camera looking up.
    EXPECT_EQ(make_camera(32, 24, 1.0, {0.3, 0.0, 0.0}, 0, 0, 10).sea_level_to_pixel(0.0, 0.0, c, r), 0);
    EXPECT_TRUE(c == -78 && r == -77);
    // In front but outside the window: not visible, yet the off-window pixel is reported (to draw lines to).
    EXPECT_EQ(w.project_point(along(w, subpixel(w, -10.25, 40.5), 1).data(), r, c), 0);
    EXPECT_TRUE(r == -11 && c == 40);
}

TEST(Camera, DirectionCodesAndTheLensFunctionInvertEachOther)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    // Offsets that keep azimuths in range and ones that force wrapping both ways.
    const double offsets[] = {0.0, 1.0, -2.5, 3.0, 12.0, -40.0};
    for (const Pose& p : kPoses) {
        const HyViewGeometry v = make_camera(640, 360, 1.2, p, 10, 20, 5).view();
        for (double off : offsets) {
            for (int k = 0; k < 500; ++k) {
                const double r = 360 * u(rng), c = 640 * u(rng);
                // A point 1 m to 10 km away along the direction of a sub-pixel projects back onto it.
                const V3 d = subpixel(v, r, c), P = along(v, d, std::pow(10.0, 4.0 * u(rng)));
                double ec, ac, fr = -1, fc = -1;
                ASSERT_EQ(v.project_point_fractional(P.data(), fr, fc), 1);
                EXPECT_TRUE(std::fabs(fr - r) < 1e-7 * 360 && std::fabs(fc - c) < 1e-7 * 640)
                    << fr << " " << fc;
                v.direction_code(P.data(), off, ec, ac);
                EXPECT_LE(std::fabs(ac), 3141.5926535 + 1e-9);
                EXPECT_NEAR(ec, 1000 * d[2], 1e-9);
                // Codes -> pixel: where the point projects. Every wrap of the azimuth turns the direction by
                // the truncation of 2 pi (7.2e-9 rad, a few millionths of a pixel here).
                const double wraps = std::ceil(std::fabs(off) / M_PI) + 1.0;
                double pr, pc;
                ASSERT_EQ(v.project_direction_code(ec, ac, off, pr, pc), 1);
                EXPECT_NEAR(pr, r, 1e-6 + 5e-6 * wraps);
                EXPECT_NEAR(pc, c, 1e-6 + 5e-6 * wraps);
                // The azimuth code is 1000 (offset - atan2(y, x)) up to whole turns of the truncated constant
                // (7.2e-6 units off each), weighed by the horizontal part (ill-conditioned near the poles).
                const double turn = 6283.1853, da = ac - 1000.0 * (off - std::atan2(d[1], d[0]));
                EXPECT_NEAR((da - turn * std::round(da / turn)) * std::hypot(d[0], d[1]), 0.0,
                            1e-6 + 7.2e-6 * wraps);
            }
        }
        // A direction behind the camera has no pixel.
        double ec, ac, pr = 5, pc = 5;
        v.direction_code(along(v, axis(v), -1).data(), 0.0, ec, ac);
        EXPECT_EQ(v.project_direction_code(ec, ac, 0.0, pr, pc), 0);
        EXPECT_TRUE(pr == -1.0 && pc == -1.0);
        // With the heading b as offset the view axis has azimuth code 0.
        v.direction_code(along(v, axis(v), 1).data(), p.b, ec, ac);
        EXPECT_NEAR(ac, 0.0, 1e-9);
    }

    // The wrap uses the truncated constants: an azimuth just above 3.1415926535 (still below pi)
    // wraps by 6.2831853, not by 2 pi; huge and infinite offsets stay finite and in range.
    HyViewGeometry v;
    v.set_orientation(M_PI / 2, 0.0, 0.0);
    const struct {
        double x, y, offset, code;
    } cases[] = {{1, 0, 3.1415926536, 1000.0 * (3.1415926536 - 6.2831853)},
                 {1, 0, -3.1415926536, 1000.0 * (-3.1415926536 + 6.2831853)},
                 {1, 0, 3.14159265, 3141.59265},
                 {0, 1, 0.0, -1000.0 * M_PI / 2}, // clockwise seen from above: north is -pi/2
                 {0, 0, 0.5, 500.0}};            // the eye point itself: the wrapped offset
    for (const auto& c : cases) {
        double ec, ac;
        v.direction_code(c.x, c.y, 0.0, c.offset, ec, ac);
        EXPECT_EQ(ec, 0.0);
        EXPECT_NEAR(ac, c.code, 1e-9) << c.offset;
    }
    for (double off : {1e12, std::numeric_limits<double>::infinity()}) {
        double ec, ac;
        v.direction_code(1.0, 0.0, 0.0, off, ec, ac);
        EXPECT_TRUE(std::isfinite(ec) && std::fabs(ac) <= 3141.5926535 + 1e-9) << off;
    }
}

TEST(Camera, SeaLevelMappingBothWays)
{
    // Looking down from 10 m, and up from under the water: every pixel that hits the sea does so on its
    // ray at sea level, and maps back to itself.
    const HyRenderData_Camera cams[] = {make_camera(80, 60, 1.3, {2.0, 0.5, 0.1}, 5, 6, 10),
                                        make_camera(80, 60, 0.5, {0.4, 0.0, 0.0}, 0, 0, -3)};
    int col, row;
    double x, y;
    for (const HyRenderData_Camera& cam : cams) {
        const HyViewGeometry& v = cam.view();
        int hits = 0;
        for (int r = 0; r < 60; ++r)
            for (int c = 0; c < 80; ++c) {
                if (!cam.pixel_to_sea_level(c, r, x, y))
                    continue;
                ++hits;
                const V3 d = pixel(v, r, c);
                const double t = -v.z / d[2];
                EXPECT_NEAR(x, v.x + t * d[0], 1e-9 * (1 + t));
                EXPECT_NEAR(y, v.y + t * d[1], 1e-9 * (1 + t));
                ASSERT_EQ(cam.sea_level_to_pixel(x, y, col, row), 1);
                EXPECT_TRUE(col == c && row == r);
            }
        EXPECT_GT(hits, 1000);
    }

    // At sea level every pixel gives the eye's own x, y (the default camera sits at the origin); above
    // looking up and below looking down there is no hit and the outputs are untouched.
    const struct {
        HyRenderData_Camera cam;
        int hit;
        double x, y;
    } cases[] = {{make_camera(8, 6, 1.0, kPoses[2], 4, 9, 0), 1, 4.0, 9.0},
                 {HyRenderData_Camera(), 1, 0.0, 0.0},
                 {make_camera(8, 6, 0.5, {0.5, 0.0, 0.0}, 0, 0, 3), 0, 42.0, 42.0},
                 {make_camera(8, 6, 0.5, {2.6, 0.0, 0.0}, 0, 0, -3), 0, 42.0, 42.0}};
    for (const auto& c : cases) {
        std::uint32_t w, h;
        c.cam.get_window_size(w, h);
        for (int r = 0; r < int(h); ++r)
            for (int k = 0; k < int(w); ++k) {
                x = y = 42;
                ASSERT_EQ(c.cam.pixel_to_sea_level(k, r, x, y), c.hit) << &c - cases;
                ASSERT_TRUE(x == c.x && y == c.y) << &c - cases;
            }
    }
}

TEST(Camera, ToneOperationsTouchOnlyTheWindowsPlanesAndPlanesComeFromTheTaggedAllocator)
{
    // A 3 x 2 window of a larger image: only window-sized planes are touched.
    HyRenderData_Camera cam = make_camera(10, 10, 1.0, kPoses[0]);
    cam.set_window(4u, 6u, 2u, 3u);
    constexpr int n = 6;
    const float sentinel = -123.0f;
    std::vector<float> red{-1.0f, 0.0f, 0.25f, 1.0f, 4.0f, std::nanf(""), sentinel},
        green{0.2f, 0.4f, 0.6f, 0.8f, 1.0f, 0.3f, sentinel},
        blue{9.0f, 16.0f, 0.0f, 1.0f, 0.0625f, 2.25f, sentinel},
        alpha{0.0f, 0.0005f, 0.001f, 0.5f, 1.0f, 0.25f, sentinel};
    cam.set_colour_planes(red.data(), green.data(), blue.data());
    cam.apply_gamma(0.5);
    const float eb[n] = {3.0f, 4.0f, 0.0f, 1.0f, 0.25f, 1.5f};
    EXPECT_TRUE(red[0] == 0.0f && red[5] == 0.0f && red[4] == 2.0f);
    // [0, 1] is the identity; another range is the affine map; an empty range is a threshold.
    cam.apply_colour_range(0.0, 1.0);
    for (int i = 0; i < n; ++i)
        EXPECT_FLOAT_EQ(blue[i], eb[i]) << i;
    cam.apply_colour_range(-1.0, 3.0);
    for (int i = 0; i < n; ++i)
        EXPECT_FLOAT_EQ(blue[i], (eb[i] + 1.0f) / 4.0f);
    cam.apply_colour_range(0.5, 0.5);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(blue[i], (eb[i] + 1.0f) / 4.0f > 0.5f ? 1.0f : 0.0f);
    // Premultiply then unpremultiply restores colours where alpha > 0.001; tiny alphas are left alone.
    EXPECT_EQ(cam.premultiply(), 0); // no alpha plane yet
    cam.set_alpha_plane(alpha.data());
    const std::vector<float> before = green;
    ASSERT_EQ(cam.premultiply(), 1);
    for (int i = 0; i < n; ++i)
        EXPECT_FLOAT_EQ(green[i], before[i] * alpha[i]);
    ASSERT_EQ(cam.unpremultiply(), 1);
    for (int i = 0; i < n; ++i)
        EXPECT_FLOAT_EQ(green[i], alpha[i] > 0.001f ? before[i] : before[i] * alpha[i]) << i;
    for (const auto* p : {&red, &green, &blue, &alpha})
        EXPECT_EQ((*p)[n], sentinel);
    // Without colour planes the plane operations refuse.
    cam.clear_colour_planes();
    EXPECT_TRUE(cam.premultiply() == 0 && cam.unpremultiply() == 0);

    // The planes come from the tagged allocator.
    const auto heap = hymem::heap_bytes();
    {
        HyImagePlanes planes;
        ASSERT_EQ(planes.allocate(33u, 17u, true, true), 1);
        const std::size_t n = 33 * 17;
        EXPECT_EQ(hymem::heap_bytes(), heap + std::int64_t(5 * n * sizeof(float)));
        for (float* p : {planes.red, planes.green, planes.blue, planes.alpha, planes.depth}) {
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(hymem::block_size(p), n * sizeof(float));
            EXPECT_EQ(*std::max_element(p, p + n), 0.0f);
        }
        // Reallocating gives back the old planes first.
        ASSERT_EQ(planes.allocate(4u, 4u, false, false), 1);
        EXPECT_EQ(planes.alpha, nullptr);
        EXPECT_EQ(hymem::heap_bytes(), heap + std::int64_t(3 * 16 * sizeof(float)));
        ASSERT_EQ(planes.allocate(0u, 7u, true, true), 1);
        EXPECT_EQ(planes.red, nullptr);
        EXPECT_EQ(hymem::heap_bytes(), heap);
    }

    // During a render the planes come from host memory; a refusal part-way keeps nothing.
    const auto host = hymem::hook_bytes();
    HyImagePlanes planes;
    render_test::AllocationBudget two(2);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(planes.allocate(8u, 8u, true, true), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Out of Memory\n");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("HyImagePlanes::allocate"), std::string::npos);
    EXPECT_EQ(hymem::hook_bytes(), host);
    EXPECT_EQ(planes.red, nullptr);
    EXPECT_EQ(hymem::heap_bytes(), heap);
}

// Gamma over planes of several blocks: the same values with 1 and 3 threads, each within one unit in
// the last place of pow (exactly pow's rounding for the general exponent), non-positive and NaN to 0.
TEST(Camera, GammaDoesNotDependOnTheThreadCount)
{
    constexpr std::uint32_t w = 700, h = 300;
    const std::size_t n = std::size_t(w) * h;
    for (double gamma : {1.0, 2.0, 0.5, 0.45}) {
        std::array<std::vector<float>, 3> results[2];
        for (int k : {0, 1}) {
            hyplat::HyThreadPool::set_process_threads(k ? 3 : 1);
            HyRenderData_Camera cam = make_camera(w, h, 1.0, kPoses[0]);
            std::vector<float> red(n), green(n), blue(n);
            for (std::size_t i = 0; i < n; ++i) {
                red[i] = float(i % 977) * 0.013f - 1.0f;
                green[i] = i % 5 == 0 ? std::nanf("") : float(i) * 1e-4f;
                blue[i] = float(i % 31) * 7.5f;
            }
            cam.set_colour_planes(red.data(), green.data(), blue.data());
            const std::vector<float> in = red;
            cam.apply_gamma(gamma);
            for (std::size_t i = 0; i < n; i += 37) {
                const float want = in[i] > 0.0f ? std::pow(in[i], float(gamma)) : 0.0f;
                if (gamma == 0.45)
                    ASSERT_EQ(red[i], want) << i;
                else
                    ASSERT_LE(std::fabs(red[i] - want), std::fabs(want) * 1.2e-7f) << gamma << " " << i;
            }
            EXPECT_EQ(green[0], 0.0f);
            results[k] = {red, green, blue};
        }
        EXPECT_TRUE(results[0] == results[1]) << gamma;
    }
    hyplat::HyThreadPool::set_process_threads(0);
}
