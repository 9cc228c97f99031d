// Ridgeline pieces of the slicer: the envelope merge (against a direct evaluation of both polylines),
// interpolation along a polyline, the segment search, clipping by the ridgeline with exact areas, the row
// mapping and its inverse, the ring walk, clipping by, raising and resetting the ridgeline.
#include "optics/HySlices.h"
#include "tests/optics/optics_test_support.h"

#include <memory>
#include <random>
#include <string>

using namespace optics_test;

namespace {

// Value of a decreasing-x polyline at x: the highest value it takes there (vertical runs included),
// or -inf outside its range.
double poly_value(const std::vector<HyRidgePoint>& p, double x)
{
    double best = -INFINITY;
    for (std::size_t k = 0; k + 1 < p.size(); ++k) {
        const double x0 = p[k].x, x1 = p[k + 1].x;
        if (x <= x0 && x >= x1) {
            if (x0 == x1)
                best = std::max({best, p[k].y, p[k + 1].y});
            else
                best = std::max(best, p[k].y + (x - x0) * (p[k + 1].y - p[k].y) / (x1 - x0));
        }
    }
    if (p.size() == 1 && p[0].x == x)
        best = p[0].y;
    return best;
}

std::vector<HyRidgePoint> random_polyline(std::mt19937& rng, double xhi, double xlo, int n, double ylo,
                                          double yhi)
{
    std::uniform_real_distribution<double> ux(xlo, xhi), uy(ylo, yhi);
    std::vector<double> xs = {xhi, xlo};
    for (int k = 0; k < n; ++k)
        xs.push_back(ux(rng));
    std::sort(xs.begin(), xs.end(), std::greater<double>());
    std::vector<HyRidgePoint> p;
    for (std::size_t k = 0; k < xs.size(); ++k) // shared abscissae now and then: vertical runs
        p.push_back(HyRidgePoint{k % 5 == 1 && k + 1 < xs.size() ? xs[k - 1] : xs[k], uy(rng), 1, 2, 3});
    return p;
}

TEST(Slices, EnvelopeAndInterpolationOfPolylinesInDecreasingX)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 300; ++trial) {
        // A ridgeline spanning the image and an outline somewhere inside it.
        std::vector<HyRidgePoint> ridge = random_polyline(rng, 400, -400, 1 + trial % 40, -50, 50);
        ridge.insert(ridge.begin(), HyRidgePoint{1e8, -1e8, 0, 0, 0});
        ridge.push_back(HyRidgePoint{-1e8, -1e8, 0, 0, 0});
        std::uniform_real_distribution<double> u(-300, 300);
        const auto [b, a] = std::minmax({u(rng), u(rng)});
        const std::vector<HyRidgePoint> outline = random_polyline(rng, a, b, trial % 30, -60, 60);
        std::vector<HyRidgePoint> out(4 * (ridge.size() + outline.size()) + 8);
        const int n = hy_ridge_envelope(ridge.data(), int(ridge.size()), outline.data(), int(outline.size()),
                                        out.data(), int(out.size()));
        ASSERT_GE(n, 2);
        out.resize(std::size_t(n));
        EXPECT_TRUE(out.front().x == 1e8 && out.back().x == -1e8);
        for (int k = 0; k + 1 < n; ++k)
            ASSERT_GE(out[k].x, out[k + 1].x) << "trial " << trial << " at " << k;
        // At every vertex of either input, and between them, the envelope is the higher of the two.
        std::vector<double> xs;
        for (const auto& p : ridge)
            if (std::fabs(p.x) < 1e7)
                xs.push_back(p.x);
        for (const auto& p : outline)
            xs.push_back(p.x);
        const std::size_t m = xs.size();
        for (std::size_t k = 0; k + 1 < m; ++k)
            xs.push_back(0.5 * (xs[k] + xs[k + 1]));
        for (double x : xs) {
            const double want = std::max(poly_value(ridge, x), poly_value(outline, x));
            const double got = poly_value(out, x);
            ASSERT_NEAR(got, want, 1e-9 * (1 + std::fabs(want))) << "trial " << trial << " x " << x;
        }
        // Too little room is reported as -1.
        EXPECT_EQ(hy_ridge_envelope(ridge.data(), int(ridge.size()), outline.data(), int(outline.size()),
                                    out.data(), n - 1),
                  -1);
    }

    // Interpolation along a polyline searches from the hint.
    const HyRidgePoint p[] = {{10, 0, 0, 0, 0}, {5, 10, 0, 0, 0}, {0, 0, 0, 0, 0}, {-10, 20, 0, 0, 0}};
    int hint = 3; // clamped to the last segment first
    EXPECT_DOUBLE_EQ(HyInterp_help8(7.5, p, 4, &hint), 5.0);
    EXPECT_EQ(hint, 0);
    EXPECT_DOUBLE_EQ(HyInterp_help8(-5, p, 4, &hint), 10.0);
    EXPECT_EQ(hint, 2);
    // Outside the polyline the end segments carry on.
    EXPECT_DOUBLE_EQ(HyInterp_help8(15, p, 4, &hint), -10.0);
    EXPECT_DOUBLE_EQ(HyInterp_help8(-20, p, 4, &hint), 40.0);
    // Fewer than two points: reported, 0.
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(HyInterp_help8(1.0, p, 1, &hint), 0.0);
    EXPECT_NE(
        testing::internal::GetCapturedStderr().find("Error: Interpolating into 1 points in HyInterp_help8"),
        std::string::npos);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Interp Error"), std::string::npos);
}

TEST(Slices, RowsMapToDoublingSteps)
{
    HySurfaceOptics optics(surface_params(nullptr, 1000.0, 8.0, 0)); // N = 8, half = 4
    const int want[][3] = {{0, 0, 1},   {8, 8, 1},   {9, 10, 2},  {10, 12, 2}, {11, 14, 2},
                           {12, 16, 2}, {13, 20, 4}, {16, 32, 4}, {17, 40, 8}};
    int d, s;
    double blend;
    for (const auto& w : want) {
        optics.row_distance(w[0], d, s, blend);
        EXPECT_TRUE(d == w[1] && s == w[2]) << "row " << w[0] << ": " << d << " " << s;
    }
    optics.row_distance(15, d, s, blend); // k = 6: q = 1, m = 2
    EXPECT_DOUBLE_EQ(blend, 0.5);
    // The inverse: the first row whose distance exceeds the given one.
    for (double x : {0.0, 0.5, 7.0, 8.0, 9.0, 10.0, 15.9, 16.0, 19.0, 20.0, 33.0, 500.0}) {
        const int r = optics.row_for_distance(x);
        optics.row_distance(r, d, s, blend);
        EXPECT_GT(d, x) << x;
        if (r > 0) {
            optics.row_distance(r - 1, d, s, blend);
            EXPECT_LE(d, x) << x;
        }
    }
}

// A slicer over a flat sea with a hand-made ridgeline; the eye looks out level-ish, or down with a = pi.
struct ClipRig {
    HyGrid sea{16, 16, 1.0, 1.0};
    HySurfaceOptics optics{surface_params(&sea, 100.0, 16.0, 0)};
    std::unique_ptr<Slices> slices;
    HyViewGeometry view;
    explicit ClipRig(double a = 1.7, double z = 5.0)
        : view(make_view({"rig", 0.5, 0.5, z, a, 0.0, 0.0, 57.3, 64, 48}))
    {
        slices.reset(new Slices(&sea, &optics, view, 1));
        slices->clip_in_image = 0; // the rules themselves, in angular codes
        EXPECT_EQ(slices->allocate(), 1);
    }
    void set_ridge(const std::vector<HyRidgePoint>& pts)
    {
        std::copy(pts.begin(), pts.end(), slices->ridge1);
        slices->ridge_count = int(pts.size());
    }
};

TEST(Slices, TrianglesAreClippedAgainstTheRidgelineAndOutlinesRaiseIt)
{
    ClipRig rig;
    Slices& sl = *rig.slices;
    const HySliceVertex tri[3] = {sv(10, 0), sv(20, 0), sv(15, 10)};
    // A fresh ridgeline hides nothing: the triangle comes back whole.
    sl.reset_ridgeline();
    ASSERT_EQ(sl.clip_triangle(tri), 1);
    EXPECT_EQ(sl.visible_count_, 3);
    EXPECT_NEAR(std::fabs(hy_polygon_area(sl.visible_, 3)), 50.0, 1e-12);
    // A ridgeline above the whole triangle hides it.
    rig.set_ridge({{1e8, 20, 0, 0, 0}, {-1e8, 20, 0, 0, 0}});
    EXPECT_EQ(sl.clip_triangle(tri), 0);
    // A level ridgeline at half height with a spike through the middle leaves two separate pieces of the
    // top quarter: their area is still exact.
    rig.set_ridge(
        {{1e8, 5, 0, 0, 0}, {15.5, 5, 0, 0, 0}, {15, 100, 0, 0, 0}, {14.5, 5, 0, 0, 0}, {-1e8, 5, 0, 0, 0}});
    ASSERT_EQ(sl.clip_triangle(tri), 1);
    // The spike, the triangle (14.5, 5) (15.5, 5) (15, 100), takes its intersection with the upper quarter.
    std::vector<Pt> cut = {{12.5, 5}, {17.5, 5}, {15, 10}};
    const Pt spike[3] = {{14.5, 5}, {15.5, 5}, {15, 100}};
    for (int k = 0; k < 3; ++k) {
        const Pt p = spike[k], q = spike[(k + 1) % 3];
        cut = clip(cut, p.y - q.y, q.x - p.x, (q.y - p.y) * p.x - (q.x - p.x) * p.y);
    }
    EXPECT_NEAR(std::fabs(hy_polygon_area(sl.visible_, sl.visible_count_)),
                12.5 - area(cut), 1e-9);
    // 47 ridgeline points inside the triangle's span: the visible polygon would not fit; nor a square's
    // strip in a pool of two.
    HySliceVertex small[2];
    EXPECT_EQ(hy_clip_strip(tri, 3, 0, 12, 18, small, 2), -1);
    std::vector<HyRidgePoint> many = {{1e8, 0, 0, 0, 0}};
    for (int k = 0; k < 47; ++k)
        many.push_back({19.9 - k * 0.2, (k % 2) ? 1.0 : 2.0, 0, 0, 0});
    many.push_back({-1e8, 0, 0, 0, 0});
    rig.set_ridge(many);
    testing::internal::CaptureStderr();
    EXPECT_EQ(sl.clip_triangle(tri), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("nRidgePoly > HY_MAX_POINTS "), std::string::npos);

    // The segment search finds the same segment from any hint.
    rig.set_ridge(
        {{1e8, 0, 0, 0, 0}, {10, 0, 0, 0, 0}, {5, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {-1e8, 0, 0, 0, 0}});
    for (int hint : {0, 2, 4, 99, -3}) {
        EXPECT_EQ(sl.get_ridge_point(7.0, hint), 1);
        EXPECT_EQ(sl.get_ridge_point(10.0, hint), 1);
        EXPECT_EQ(sl.get_ridge_point(-5.0, hint), 3);
        EXPECT_EQ(sl.get_ridge_point(11.0, hint), 0);
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(sl.get_ridge_point(2e8, 3), 0);
    EXPECT_EQ(sl.get_ridge_point(-2e8, 1), 4);
    EXPECT_NE(
        testing::internal::GetCapturedStderr().find("Slices::get_ridge_point opps! missed the ridgeline!!"),
        std::string::npos);

    // Outlines raise the ridgeline, or level it beside their span.
    sl.reset_ridgeline();
    const HyRidgePoint outline[] = {{10, 5, 1, 1, 1}, {0, 7, 2, 2, 2}, {-10, 5, 3, 3, 3}};
    sl.merge_outline(outline, 3);
    int hint = 0;
    EXPECT_DOUBLE_EQ(HyInterp_help8(5.0, sl.ridge1, sl.ridge_count, &hint), 6.0);
    EXPECT_LT(HyInterp_help8(20.0, sl.ridge1, sl.ridge_count, &hint), -1e7);
    EXPECT_TRUE(sl.ridge1[0].x == 1e8 && sl.ridge1[sl.ridge_count - 1].x == -1e8);
    // An outline wholly beside the ridgeline's span levels it at 0.
    const HyRidgePoint beside[] = {{3e8, 9, 0, 0, 0}, {2e8, 9, 0, 0, 0}};
    sl.merge_outline(beside, 2);
    ASSERT_EQ(sl.ridge_count, 2);
    EXPECT_TRUE(sl.ridge1[0].y == 0.0 && sl.ridge1[1].y == 0.0);
    // One too long for the ridgeline arrays is reported and leaves the ridgeline alone.
    std::vector<HyRidgePoint> long_outline;
    for (int k = 0; k < 4 * sl.n; ++k)
        long_outline.push_back({1000.0 - k, 50.0, 0, 0, 0});
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    sl.merge_outline(long_outline.data(), int(long_outline.size()));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("ridge array too small "), std::string::npos);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Array Error"), std::string::npos);
    EXPECT_EQ(sl.ridge_count, 2);
}

TEST(Slices, RingsWalkTheirSidesCounterClockwise)
{
    // Straight down the whole ring is walked: at distance 4, step 2, from the south-east corner counter-
    // clockwise, four points a side, closed by a copy of the first (transitions: the wavy sea's coverage).
    ClipRig rig(M_PI, 20.0);
    Slices& sl = *rig.slices;
    ASSERT_EQ(sl.near_visible, 1);
    const int walk[][2] = {{4, -4}, {4, -2}, {4, 0},   {4, 2},   {4, 4},   {2, 4},  {0, 4},  {-2, 4}, {-4, 4},
                           {-4, 2}, {-4, 0}, {-4, -2}, {-4, -4}, {-2, -4}, {0, -4}, {2, -4}, {4, -4}};
    sl.build_ring(0, 4, 2, false);
    ASSERT_EQ(sl.slice_count[0], 17);
    const HyRidgePoint* p = sl.slice[0];
    int turns = 0;
    for (int k = 0; k < 17; ++k) {
        const int i = walk[k][0], j = walk[k][1];
        // Ids count 100 cells to the maximum distance; the elevation code is 1000 dz / distance.
        EXPECT_TRUE(p[k].col == i && p[k].row == j && p[k].id == 100 * i + j) << k;
        EXPECT_NEAR(p[k].y, -20000.0 / std::sqrt((i - 0.5) * (i - 0.5) + (j - 0.5) * (j - 0.5) + 400.0), 1e-3)
            << k;
        turns += k > 0 && p[k].x > p[k - 1].x;
    }
    EXPECT_EQ(turns, 1) << "x falls along the walk except across the seam behind the eye";
    EXPECT_EQ(p[17].id, kHyEmptyId);
}

} // namespace
