// Exact coverage: every pixel piece is the exact area of a screen polygon, so the ring walk, its
// transitions, the seam behind the eye and the band to the horizon must tile the water without gap or
// overlap, and a ridge must hide exactly what lies behind it. The oracles come from the camera's own
// projection (the horizon as the line where rays turn level, the drawn square as a projected polygon,
// a crest's skyline as a projected segment), independent of the slicer's angular space.
#include "test_surfaceoptics_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

using namespace surface_test;

namespace {

struct CoverageCase {
    ViewSetup view;
    int to_horizon;
    double max_distance, double_distance;
};

// Below the horizon, or (without the band to the horizon, or from under the water) inside the drawn
// square's image.
std::vector<double> expected_coverage(const HyViewGeometry& v, const HySurfaceOptics& optics, int to_horizon)
{
    if (to_horizon && v.z > 0)
        return per_pixel(v, [&](int ix, int iy) { return below_horizon_fraction(v, ix, iy); });
    int D, s;
    double blend;
    optics.row_distance(optics.row_for_distance(double(optics.max_cells - 1)), D, s, blend);
    const double ci = std::trunc(v.x / optics.step) * optics.step, cj = std::trunc(v.y / optics.step) * optics.step;
    const double h = D * optics.step;
    const std::vector<Pt> img =
        project_ground_polygon(v, {{ci - h, cj - h}, {ci + h, cj - h}, {ci + h, cj + h}, {ci - h, cj + h}}, 0.0);
    return per_pixel(v, [&](int ix, int iy) { return pixel_in_polygon(img, ix, iy); });
}

} // namespace

TEST(SurfaceOpticsCoverage, FlatSeaFromAboveAndBelowIsCoveredExactly)
{
    const double level = kPi / 2;
    const CoverageCase cases[] = {
        // Straight down: the rings run all the way round the eye.
        {{"straight_down", 3.3, -2.6, 30.0, kPi, 0.3, 0.2, 60.0, 96, 64}, 1, 400.0, 32.0},
        {{"horizon", 0.4, 0.7, 10.0, level + 0.15, 0.7, 0.0, 60.0, 96, 64}, 1, 3000.0, 64.0},
        {{"rolled", -5.5, 12.25, 6.0, level + 0.3, 2.5, 0.4, 50.0, 80, 60}, 1, 3000.0, 48.0},
        {{"wide_under_and_horizon", 0.25, 0.75, 8.0, level + 0.75, -2.2, 0.1, 140.0, 96, 64}, 1, 2000.0, 32.0},
        // Water only out to the maximum distance: the drawn square's far edge is in view.
        {{"square_edge", 0.5, 0.5, 20.0, level + 0.12, 0.2, -0.25, 60.0, 96, 64}, 0, 150.0, 24.0},
        // An odd number of fine rings: the first coarse band starts one ring inside the last fine one.
        {{"odd_fine", 1.5, 2.5, 12.0, level + 0.2, -0.9, 0.05, 70.0, 96, 64}, 1, 1500.0, 33.0},
        {{"odd_fine_near", -5.5, 12.25, 6.0, level + 0.3, 2.5, 0.4, 50.0, 80, 60}, 1, 1500.0, 9.0},
        {{"under_up", 0.4, 0.3, -4.0, level - 0.3, 1.2, -0.3, 60.0, 96, 64}, 0, 300.0, 32.0},
        {{"under_straight_up", 2.5, 1.5, -6.0, 0.0, 0.4, 0.0, 70.0, 80, 60}, 0, 300.0, 32.0},
    };
    for (const CoverageCase& cc : cases) {
        SCOPED_TRACE(cc.view.name);
        const HyViewGeometry view = make_view(cc.view);
        HyGrid sea(64, 64, 1.0, 1.0); // flat, periodic: calm water everywhere
        HySurfaceOptics optics(surface_params(&sea, cc.max_distance, cc.double_distance, cc.to_horizon));
        Canvas canvas(view.rows, view.columns);
        ASSERT_EQ(optics.walk_surface(view, canvas.buffer), cc.view.z > 0 ? 1 : -1);
        const std::vector<double> e = expected_coverage(view, optics, cc.to_horizon);
        EXPECT_GT(expect_canvas(e, canvas, view.columns, {1e-5, 1e-6, 1e-5}).first, 0);
    }
}

TEST(SurfaceOpticsCoverage, WavySeaBelowTheEyeCoversEverythingUnderTheHorizon)
{
    // With the eye above the highest crest, every ray below the horizon meets water and no wave rises
    // above the horizon, whatever hides what. No pixel may gather more than its area: water drawn twice
    // over shows as a rim along the horizon.
    const double down = kPi / 2;
    const ViewSetup views[] = {
        {"waves_horizon", 0.4, 0.7, 6.0, down + 0.12, 0.7, 0.0, 60.0, 96, 64},
        {"waves_rolled", -5.5, 12.25, 4.0, down + 0.25, 2.5, 0.3, 50.0, 80, 60},
        {"waves_wide", 0.25, 0.75, 7.0, down + 0.7, -2.2, 0.1, 140.0, 96, 64},
    };
    for (const ViewSetup& vs : views) {
        SCOPED_TRACE(vs.name);
        const HyViewGeometry view = make_view(vs);
        HyGrid sea(128, 128, 1.0, 1.0);
        const double k = 2.0 * kPi / 128.0;
        for (int j = 0; j < 128; ++j)
            for (int i = 0; i < 128; ++i)
                sea.heights[j * 128 + i] = float(1.5 * (0.5 * std::sin(3 * k * i + 1.0) +
                                                        0.3 * std::sin(5 * k * (i + j) + 2.0) +
                                                        0.2 * std::cos(7 * k * (i - 2 * j))));
        SummingOptics optics(surface_params(&sea, 2000.0, 32.0, 1));
        Canvas canvas(view.rows, view.columns);
        ASSERT_EQ(optics.walk_surface(view, canvas.buffer), 1);
        const std::vector<double> e = per_pixel(view, [&](int x, int y) { return below_horizon_fraction(view, x, y); });
        EXPECT_LE(*std::max_element(optics.sum.begin(), optics.sum.end()), 1.0 + 1e-3);
        expect_coverage(e, [&](int x, int y) { return optics.sum[std::size_t(y) * view.columns + x]; }, view.columns,
                        {1e-2, 1e-2, 1e-2});
        expect_canvas(e, canvas, view.columns, {1e-2, 0.0, 1e-2});
    }
}

namespace {

// Hidden surface: a sea with one long ridge in front of the eye. Heights vary along x only and are
// linear between grid columns, so every grid cell is planar and the slicer's triangles are the true
// surface: each shaded point's line of sight can be tested against the profile exactly.
constexpr int kNx = 2048, kNy = 64; // one ridge within the drawn distance
constexpr double kRidgeX = 40.0, kRidgeHalfWidth = 6.0;

// Height at world x (a ridge for height > 0, a trough below 0), periodic over kNx metres.
double profile(double x, double height)
{
    const double u = std::remainder(x - kRidgeX, double(kNx));
    return std::fabs(u) >= kRidgeHalfWidth ? 0.0 : height * (1.0 - std::fabs(u) / kRidgeHalfWidth);
}

class RecordingOptics : public HySurfaceOptics {
public:
    using HySurfaceOptics::HySurfaceOptics;
    void shade_point(const double point[3], const double normal[3], const HySurfaceView& view, double depth, int flag,
                     double colour[3]) override
    {
        points.push_back({point[0], point[1], point[2]});
        HySurfaceOptics::shade_point(point, normal, view, depth, flag, colour);
    }
    std::vector<std::array<double, 3>> points;
};

// Renders the ridge sea, checks that no shaded point is hidden from the eye and, with the band to the
// horizon, the exact coverage: a crest above the eye is the picture's skyline, a lower one leaves the
// sea's horizon in view. Returns the final coverage plane.
std::vector<float> check_scene(const ViewSetup& setup, double height, int to_horizon)
{
    SCOPED_TRACE(setup.name);
    const HyViewGeometry view = make_view(setup);
    HyGrid sea(kNx, kNy, 1.0, 1.0);
    for (int j = 0; j < kNy; ++j)
        for (int i = 0; i < kNx; ++i)
            sea.heights[j * kNx + i] = float(profile(i - sea.half_x, height));
    RecordingOptics optics(surface_params(&sea, 1500.0, 64.0, to_horizon));
    Canvas canvas(view.rows, view.columns);
    const int side = setup.z > 0 ? 1 : -1;
    EXPECT_EQ(optics.walk_surface(view, canvas.buffer), side);
    EXPECT_FALSE(optics.points.empty());
    int hidden = 0;
    for (const auto& p : optics.points) {
        if (std::hypot(p[0] - view.x, p[1] - view.y) > 1200.0)
            continue;
        double worst = 0.0; // how far below the surface the line of sight runs
        for (int k = 1; k < 800; ++k) {
            const double t = k / 800.0;
            const double x = view.x + t * (p[0] - view.x), z = view.z + t * (p[2] - view.z);
            worst = std::max(worst, side * (profile(x, height) - z));
        }
        hidden += worst > 0.05;
    }
    EXPECT_EQ(hidden, 0) << "of " << optics.points.size() << " shaded points";
    if (to_horizon) {
        double r0, c0, r1, c1;
        view.project_point_fractional(kRidgeX, view.y - 10.0, height, r0, c0);
        view.project_point_fractional(kRidgeX, view.y + 10.0, height, r1, c1);
        // Below the skyline: right of (c0, r0) -> (c1, r1) when it runs towards +x.
        const double ex = c1 - c0, ey = r1 - r0, sg = ex >= 0 ? -1.0 : 1.0;
        const std::vector<double> e = per_pixel(view, [&](int ix, int iy) {
            return height < setup.z ? below_horizon_fraction(view, ix, iy)
                                    : area(clip(pixel_square(ix, iy), -sg * ey, sg * ex, sg * (ey * c0 - ex * r0)));
        });
        const auto n = expect_canvas(e, canvas, view.columns, {1e-3, 1e-6, 1e-2});
        EXPECT_GT(n.first, 0);
        EXPECT_GT(n.second, 0);
    } else {
        HySurfaceOptics::normalise_work(canvas.buffer);
        canvas.buffer.flush();
    }
    return std::vector<float>(canvas.buffer.coverage[0], canvas.buffer.coverage[0] + view.rows * view.columns);
}

} // namespace

TEST(SurfaceOpticsRidge, TallRidgeHidesTheWaterBehindIt)
{
    check_scene({"tall_ridge", 0.3, 0.6, 8.0, kPi / 2 + 0.05, 0.1, 0.0, 60.0, 96, 64}, 20.0, 1);
    check_scene({"low_ridge", 0.3, 0.6, 15.0, kPi / 2 + 0.12, -0.15, 0.1, 60.0, 96, 64}, 12.0, 1);
}

TEST(SurfaceOpticsRidge, UnderWaterTheMirroredSceneGivesTheMirroredPicture)
{
    const ViewSetup above = {"above", 0.3, 0.6, 15.0, kPi / 2 + 0.12, -0.15, 0.0, 60.0, 96, 64};
    const ViewSetup below = {"below", 0.3, 0.6, -15.0, kPi / 2 - 0.12, -0.15, 0.0, 60.0, 96, 64};
    const std::vector<float> a = check_scene(above, 12.0, 0), b = check_scene(below, -12.0, 0);
    double worst = 0.0;
    for (int iy = 0; iy < 64; ++iy)
        for (int ix = 0; ix < 96; ++ix)
            worst = std::max(worst, std::fabs(double(a[iy * 96 + ix]) - b[(63 - iy) * 96 + ix]));
    EXPECT_LE(worst, 1e-5);
}
