// Surface optics: work-plane normalisation, a pixel piece's point and normal, the shading and progress
// hand-over, bad input (run under the sanitizer), and exact coverage: the ring walk, its transitions, the
// seam behind the eye and the band to the horizon must tile the water without gap or overlap, and a ridge
// must hide exactly what lies behind it. The oracles come from the camera's own projection (horizon, drawn
// square, a crest's skyline), independent of the slicer's angular space.
#include "ocean/HyGridMulti.h"
#include "tests/optics/optics_test_support.h"

#include <limits>
#include <numeric>
#include <string>

using namespace optics_test;

namespace {

// A height source whose slopes are not numbers: its normal cannot be formed.
class BrokenSlopes : public HyGrid {
public:
    BrokenSlopes() : HyGrid(8, 8, 1.0, 1.0) {}
    void get_slope_at(const double&, const double&, double& sx, double& sy) const override
    {
        sx = std::numeric_limits<double>::quiet_NaN();
        sy = std::numeric_limits<double>::infinity();
    }
};

class ShadingSpy : public HySurfaceShading {
public:
    void shade_from_above(const HySurfaceOceanContext& c, const double*, const double*, const HySurfaceView&,
                          double, double colour[3]) override
    {
        ++above;
        seen_upwelling = c.upwelling_g;
        colour[0] = colour[1] = colour[2] = 0.5;
    }
    void shade_from_below(const HySurfaceOceanContext&, const double*, const double*, const HySurfaceView&,
                          double, double colour[3]) override
    {
        ++below;
        colour[0] = colour[1] = colour[2] = 0.25;
    }
    int report_progress(double fraction) override
    {
        ++reports;
        last = fraction;
        return reports < stop_after;
    }
    int above = 0, below = 0, reports = 0, stop_after = 1 << 30;
    double last = 0.0, seen_upwelling = 0.0;
};

// Draws with white water; returns the side and checks every plane value is a sane coverage.
int draw(HySurfaceOptics& optics, const HyViewGeometry& view, double* total = nullptr)
{
    Canvas canvas(view.rows, view.columns);
    const int side = optics.draw_surface(view, canvas.buffer);
    const float *k = canvas.buffer.coverage[0], *end = k + std::size_t(view.rows) * view.columns;
    EXPECT_TRUE(std::all_of(k, end, [](float x) { return x >= 0.0f && x <= 1.0f + 1e-6f; }));
    if (total)
        *total = std::accumulate(k, end, 0.0);
    return side;
}

TEST(SurfaceOptics, NormalisationFillsCracksInsideWaterOnly)
{
    Canvas canvas(20, 20), narrow(8, 20);
    HyPixelBuffer &b = canvas.buffer, &n = narrow.buffer;
    auto put = [](HyPixelBuffer& to, int r, int c, double w) {
        const double col[3] = {0.8 * w, 0.6 * w, 0.4 * w};
        to.accumulate(r, c, col, 100.0, w);
    };
    // Half a pixel alone; the same with its four diagonal neighbours at distance 3 covered (it becomes
    // whole); too little weight; within 4 pixels of the border; in a buffer of fewer than 9 rows.
    put(b, 6, 6, 0.5);
    put(b, 12, 12, 0.5);
    for (int dr : {-3, 3})
        for (int dc : {-3, 3})
            put(b, 12 + dr, 12 + dc, 0.05);
    put(b, 12, 9, 0.05);
    put(b, 2, 10, 0.5);
    put(n, 4, 10, 0.5);
    HySurfaceOptics::normalise_work(b);
    HySurfaceOptics::normalise_work(n);
    const struct {
        HyPixelBuffer* b;
        int r, c;
        float weight;
    } want[] = {
        {&b, 6, 6, 0.5f}, {&b, 12, 12, 1.0f}, {&b, 12, 9, 0.05f}, {&b, 2, 10, 0.5f}, {&n, 4, 10, 0.5f}};
    for (const auto& w : want) {
        EXPECT_FLOAT_EQ(w.b->work_weight[w.r][w.c], w.weight) << w.r << "," << w.c;
        EXPECT_FLOAT_EQ(w.b->channels[0][w.r][w.c], 0.8f * w.weight) << w.r << "," << w.c;
        EXPECT_FLOAT_EQ(w.b->channels[2][w.r][w.c], 0.4f * w.weight) << w.r << "," << w.c;
    }
}

TEST(SurfaceOptics, PixelPointFindsTheGridPointAndItsNormal)
{
    HyGrid g(16, 16, 1.0, 1.0);
    // A plane z = 0.5 x - 0.25 y over the grid's interior (heights at nodes, x = i - 8, y = j - 8).
    for (int j = 0; j < 16; ++j)
        for (int i = 0; i < 16; ++i)
            g.heights[j * 16 + i] = float(0.5 * (i - 8) - 0.25 * (j - 8));
    HySurfaceOptics optics(surface_params(&g));
    HyViewGeometry v = make_view({"v", 0.0, 0.0, 10.0, M_PI, 0.0, 0.0, 60.0, 8, 8});
    // Screen triangle with grid corners (1, 1), (3, 1), (1, 3), and a pixel piece inside it.
    HySliceVertex tri[3] = {sv(0, 0, 1, 1), sv(4, 0, 3, 1), sv(0, 4, 1, 3)};
    double gx, gy;
    const double mid[2] = {1.0, 2.0};
    HySliceVertex piece[4] = {sv(0.5, 1.5), sv(1.5, 1.5), sv(1.5, 2.5), sv(0.5, 2.5)};
    double depth, x, y, z, n[3];
    ASSERT_EQ(optics.pixel_point(piece, 4, tri, v, depth, x, y, z, n), 1);
    EXPECT_DOUBLE_EQ(x, 1.5);
    EXPECT_DOUBLE_EQ(y, 2.0);
    EXPECT_NEAR(z, 0.5 * 1.5 - 0.25 * 2.0, 1e-6);
    EXPECT_NEAR(depth, x * x + y * y + (z - 10.0) * (z - 10.0), 1e-3);
    const double k = 1.0 / std::sqrt(0.25 + 0.0625 + 1.0), want[3] = {-0.5 * k, 0.25 * k, k};
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(n[i], want[i], 1e-6);
    // A degenerate triangle has no barycentric weights (the piece's point comes from the grid position).
    HySliceVertex flat[3] = {tri[0], tri[0], tri[1]};
    EXPECT_EQ(optics.grid_position(mid, flat, gx, gy), 0);
    EXPECT_EQ(optics.pixel_point(piece, 4, flat, v, depth, x, y, z, n), 0);
    // A normal that cannot be formed becomes straight up.
    BrokenSlopes broken;
    HySurfaceOptics bad(surface_params(&broken));
    ASSERT_EQ(bad.pixel_point(piece, 4, tri, v, depth, x, y, z, n), 1);
    EXPECT_TRUE(n[0] == 0.0 && n[1] == 0.0 && n[2] == 1.0);
}

TEST(SurfaceOptics, SeaOpticsHandsShadingAndProgressToTheScene)
{
    HyGridMulti sea(32, 32, 1.0, 1.0, 16, 16, 4.0, 4.0);
    const double t[2] = {1.0, 0.5};
    HySurfaceOceanContext ctx{
        .upwelling_g = 0.125, .transmission_r = t, .transmission_g = t, .transmission_b = t};
    const HyViewGeometry above = make_view({"a", 0.5, 0.5, 12.0, M_PI / 2 + 0.3, 0.4, 0.0, 60.0, 48, 32});
    const HyViewGeometry below = make_view({"b", 0.5, 0.5, -3.0, M_PI / 2 - 0.3, 0.4, 0.0, 60.0, 48, 32});
    // Above the water one routine shades, under it the other; a progress hook saying stop ends the walk.
    ShadingSpy up, down, stop;
    stop.stop_after = 5;
    double cover_full = 0.0, cover_stop = 0.0;
    auto run = [&](ShadingSpy& spy, const HyViewGeometry& v, int to_horizon, double* cover) {
        ctx.scene = &spy;
        HySurfaceOceanOptics optics(surface_params(&sea, 300.0, 32.0, to_horizon), ctx);
        return draw(optics, v, cover);
    };
    EXPECT_EQ(run(up, above, 1, &cover_full), 1);
    EXPECT_EQ(run(down, below, 0, nullptr), -1);
    run(stop, above, 1, &cover_stop);
    EXPECT_TRUE(up.above > 0 && up.below == 0 && down.below > 0 && down.above == 0);
    EXPECT_EQ(up.seen_upwelling, 0.125);
    EXPECT_GT(up.reports, 2);
    EXPECT_TRUE(up.last > 0.0 && up.last <= 1.0);
    EXPECT_EQ(stop.reports, 5);
    EXPECT_LT(cover_stop, cover_full);
    // An eye above the waves looking up draws nothing.
    HyGrid waves(32, 32, 1.0, 1.0);
    waves.heights[5] = 2.0f;
    HySurfaceOptics optics(surface_params(&waves));
    double total = -1.0;
    EXPECT_EQ(draw(optics, make_view({"up", 0.0, 0.0, 10.0, 0.6, 0.0, 0.0, 40.0, 32, 24}), &total), 1);
    EXPECT_EQ(total, 0.0);
    EXPECT_EQ(optics.triangles_drawn, 0);
}

TEST(SurfaceOptics, BadInputNeitherCrashesNorOverruns)
{
    HyGrid sea(64, 64, 1.0, 1.0);
    HyGrid spiky(64, 64, 1.0, 1.0);
    spiky.heights[20 * 64 + 40] = 100.0f; // a 100 m spike
    const double down = M_PI / 2;
    struct Case {
        HyGrid* grid;
        ViewSetup v;
        double max_distance, double_distance;
    } cases[] = {
        {&sea, {"at_sea_level", 0.5, 0.5, 0.0, down + 0.2, 0.3, 0.0, 60.0, 40, 30}, 300.0, 32.0},
        {&sea, {"at_sea_level_level", 0.0, 0.0, 0.0, down, 0.0, 0.0, 60.0, 40, 30}, 300.0, 32.0},
        {&sea, {"grid_edge", 32.0, 32.0, 5.0, down + 0.3, 1.0, 0.1, 60.0, 40, 30}, 300.0, 32.0},
        {&sea, {"far_outside", 1.0e6, -3.0e6, 20.0, down + 0.2, 2.0, 0.0, 60.0, 40, 30}, 300.0, 32.0},
        {&sea, {"one_by_one", 0.5, 0.5, 5.0, down + 0.4, 0.0, 0.0, 60.0, 1, 1}, 300.0, 32.0},
        {&sea, {"one_row", 0.5, 0.5, 5.0, down + 0.2, 0.0, 0.0, 60.0, 64, 1}, 300.0, 32.0},
        {&sea, {"one_column", 0.5, 0.5, 5.0, down + 0.2, 0.0, 0.0, 60.0, 1, 48}, 300.0, 32.0},
        {&sea, {"fov_1", 0.5, 0.5, 5.0, down + 0.05, 0.7, 0.0, 1.0, 40, 30}, 3000.0, 32.0},
        {&sea, {"fov_175", 0.5, 0.5, 5.0, down + 0.1, -0.7, 0.2, 175.0, 64, 36}, 1000.0, 32.0},
        {&sea, {"fov_175_down", 0.5, 0.5, 5.0, M_PI, 0.2, 0.0, 175.0, 64, 36}, 1000.0, 32.0},
        {&spiky, {"spike_outside", 0.5, 0.5, 8.0, down + 0.1, 0.5, 0.0, 70.0, 48, 32}, 500.0, 32.0},
        {&spiky, {"spike_down", 8.5, -11.5, 30.0, M_PI - 0.2, 0.5, 0.3, 90.0, 48, 32}, 500.0, 32.0},
        {&spiky, {"spike_inside", 8.2, -11.7, 50.0, down + 0.3, 0.5, 0.0, 90.0, 48, 32}, 500.0, 32.0},
        {&sea, {"no_fine_rings", 0.5, 0.5, 5.0, down + 0.2, 0.0, 0.0, 60.0, 40, 30}, 200.0, 0.5},
        {&sea, {"tiny_distances", 0.5, 0.5, 5.0, down + 0.2, 0.0, 0.0, 60.0, 40, 30}, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.v.name);
        const HyViewGeometry view = make_view(c.v);
        HySurfaceOptics optics(surface_params(c.grid, c.max_distance, c.double_distance, 1));
        testing::internal::CaptureStderr();
        const int side = draw(optics, view);
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(side == 1 || side == -1);
    }
    // The slicer itself may be had, its first ridgeline array may not: the draw ends.
    HySurfaceOptics optics(surface_params(&sea));
    Canvas canvas(30, 40);
    render_test::AllocationBudget one_block(1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(optics.draw_surface(make_view(cases[0].v), canvas.buffer), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("unable to allocate ridgeline array 1 "),
              std::string::npos);
}

TEST(SurfaceOptics, CurvedEarthLowersTheHorizon)
{
    HyGrid sea(64, 64, 1.0, 1.0);
    sea.curvature = 1;
    sea.curvature_radius = 20000.0;
    HySurfaceOptics optics(surface_params(&sea, 3000.0, 32.0, 1));
    const double eye[3] = {0.0, 0.0, 50.0};
    const double h = 20000.0 + 50.0;
    const double dip = optics.horizon_dip(eye, 0.3);
    EXPECT_NEAR(dip, std::asin(std::sqrt(h * h - 20000.0 * 20000.0) / h), 1e-9);
    EXPECT_NEAR(dip, std::sqrt(2.0 * 50.0 / 20000.0), 2e-3);
    // Flat earth: no dip.
    HyGrid flat(8, 8, 1.0, 1.0);
    HySurfaceOptics plain(surface_params(&flat));
    EXPECT_EQ(plain.horizon_dip(eye, 0.3), 0.0);
    // The water ends where rays fall below the horizontal by the dip (about 4 pixels here).
    const HyViewGeometry view = make_view({"curved", 0.5, 0.5, 50.0, M_PI / 2 + 0.02, 0.3, 0.0, 30.0, 64, 48});
    Canvas canvas(48, 64);
    HyPixelBuffer& buffer = canvas.buffer;
    testing::internal::CaptureStderr();
    ASSERT_EQ(optics.draw_surface(view, buffer), 1);
    testing::internal::GetCapturedStderr();
    int checked = 0;
    for (int iy = 0; iy < 48; ++iy)
        for (int ix = 0; ix < 64; ++ix) {
            double d[3];
            view.subpixel_direction(iy + 0.5, ix + 0.5, d[0], d[1], d[2]);
            const double e = (std::asin(d[2]) + dip) / view.row_step; // rows above the dipped horizon
            if (e < -2.5 || e > 1.5) {
                EXPECT_NEAR(buffer.coverage[iy][ix], e < 0 ? 1.0 : 0.0, e < 0 ? 1e-3 : 0.0) << ix << " " << iy;
                ++checked;
            }
        }
    EXPECT_GT(checked, 1000);
}

struct CoverageCase {
    ViewSetup view;
    int to_horizon;
    double max_distance, double_distance;
    bool wavy = false;
};

// Below the horizon, or (without the band to the horizon, or under water) inside the drawn square's image.
std::vector<double> expected_coverage(const HyViewGeometry& v, const HySurfaceOptics& optics, int to_horizon)
{
    if (to_horizon && v.z > 0)
        return per_pixel(v, [&](int ix, int iy) { return below_horizon_fraction(v, ix, iy); });
    int D, s;
    double blend;
    optics.row_distance(optics.row_for_distance(double(optics.max_cells - 1)), D, s, blend);
    const double ci = std::trunc(v.x / optics.step) * optics.step,
                 cj = std::trunc(v.y / optics.step) * optics.step;
    const double h = D * optics.step;
    const std::vector<Pt> img = project_ground_polygon(
        v, {{ci - h, cj - h}, {ci + h, cj - h}, {ci + h, cj + h}, {ci - h, cj + h}}, 0.0);
    return per_pixel(v, [&](int ix, int iy) { return pixel_in_polygon(img, ix, iy); });
}

// A flat sea is covered exactly. Over waves with the eye above the highest crest, every ray below the
// horizon meets water and no wave rises above the horizon, whatever hides what; no pixel may gather more
// than its area (water drawn twice over shows as a rim along the horizon).
TEST(SurfaceOpticsCoverage, FlatAndWavySeasAreCoveredExactly)
{
    const double level = M_PI / 2;
    const CoverageCase cases[] = {
        // Straight down: the rings run all the way round the eye.
        {{"straight_down", 3.3, -2.6, 30.0, M_PI, 0.3, 0.2, 60.0, 96, 64}, 1, 400.0, 32.0},
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
        {{"waves_horizon", 0.4, 0.7, 6.0, level + 0.12, 0.7, 0.0, 60.0, 96, 64}, 1, 2000.0, 32.0, true},
        {{"waves_rolled", -5.5, 12.25, 4.0, level + 0.25, 2.5, 0.3, 50.0, 80, 60}, 1, 2000.0, 32.0, true},
        {{"waves_wide", 0.25, 0.75, 7.0, level + 0.7, -2.2, 0.1, 140.0, 96, 64}, 1, 2000.0, 32.0, true},
    };
    for (const CoverageCase& cc : cases) {
        SCOPED_TRACE(cc.view.name);
        const HyViewGeometry view = make_view(cc.view);
        const int n = cc.wavy ? 128 : 64; // flat, periodic: calm water everywhere
        HyGrid sea(n, n, 1.0, 1.0);
        const double k = 2.0 * M_PI / 128.0;
        for (int j = 0; j < n && cc.wavy; ++j)
            for (int i = 0; i < n; ++i)
                sea.heights[j * n + i] = float(1.5 * (0.5 * std::sin(3 * k * i + 1.0) +
                                                      0.3 * std::sin(5 * k * (i + j) + 2.0) +
                                                      0.2 * std::cos(7 * k * (i - 2 * j))));
        SummingOptics optics(surface_params(&sea, cc.max_distance, cc.double_distance, cc.to_horizon));
        Canvas canvas(view.rows, view.columns);
        ASSERT_EQ(optics.walk_surface(view, canvas.buffer), cc.view.z > 0 ? 1 : -1);
        const std::vector<double> e = expected_coverage(view, optics, cc.to_horizon);
        EXPECT_LE(*std::max_element(optics.sum.begin(), optics.sum.end()), 1.0 + 1e-3);
        const double b = cc.wavy ? 1e-2 : 1e-5;
        expect_coverage(e, [&](int x, int y) { return optics.sum[std::size_t(y) * view.columns + x]; },
                        view.columns, {b, b, b});
        EXPECT_GT(expect_canvas(e, canvas, view.columns, {b, cc.wavy ? 0.0 : 1e-6, b}).first, 0);
    }
}

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

// Renders the ridge sea, checks that no shaded point is hidden from the eye nor any water drawn twice over
// and, with the band to the horizon, the exact coverage: a crest above the eye is the picture's skyline, a
// lower one leaves the sea's horizon in view. Returns the final coverage plane.
std::vector<float> check_scene(const ViewSetup& setup, double height, int to_horizon)
{
    SCOPED_TRACE(setup.name);
    const HyViewGeometry view = make_view(setup);
    HyGrid sea(kNx, kNy, 1.0, 1.0);
    for (int j = 0; j < kNy; ++j)
        for (int i = 0; i < kNx; ++i)
            sea.heights[j * kNx + i] = float(profile(i - sea.half_x, height));
    SummingOptics optics(surface_params(&sea, 1500.0, 64.0, to_horizon));
    Canvas canvas(view.rows, view.columns);
    const int side = setup.z > 0 ? 1 : -1;
    EXPECT_EQ(optics.walk_surface(view, canvas.buffer), side);
    EXPECT_FALSE(optics.points.empty());
    EXPECT_LE(*std::max_element(optics.sum.begin(), optics.sum.end()), 1.0 + 1e-3);
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
            return height < setup.z
                       ? below_horizon_fraction(view, ix, iy)
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

// A ridge hides the water behind it; under water the mirrored scene gives the mirrored picture.
TEST(SurfaceOpticsRidge, RidgesHideTheWaterBehindThemAboveAndBelow)
{
    check_scene({"tall_ridge", 0.3, 0.6, 8.0, M_PI / 2 + 0.05, 0.1, 0.0, 60.0, 96, 64}, 20.0, 1);
    check_scene({"low_ridge", 0.3, 0.6, 15.0, M_PI / 2 + 0.12, -0.15, 0.1, 60.0, 96, 64}, 12.0, 1);
    const ViewSetup above = {"above", 0.3, 0.6, 15.0, M_PI / 2 + 0.12, -0.15, 0.0, 60.0, 96, 64};
    const ViewSetup below = {"below", 0.3, 0.6, -15.0, M_PI / 2 - 0.12, -0.15, 0.0, 60.0, 96, 64};
    const std::vector<float> a = check_scene(above, 12.0, 0), b = check_scene(below, -12.0, 0);
    for (int iy = 0; iy < 64; ++iy)
        for (int ix = 0; ix < 96; ++ix)
            ASSERT_NEAR(a[iy * 96 + ix], b[(63 - iy) * 96 + ix], 1e-5) << ix << " " << iy;
}

} // namespace
