// Hidden surface: a sea with one long ridge in front of the eye. The oracle tests each shaded point's
// line of sight against the height profile exactly (heights vary along x only and are linear between
// grid columns, so every grid cell is planar and the slicer's triangles are the true surface). Every
// piece the surface optics shades must be visible from the eye, pixels must be covered exactly where
// rays meet the water, and the scene seen from under the water, mirrored, must give the mirrored picture.
#include "test_surfaceoptics_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace surface_test;

namespace {

constexpr int kNx = 2048, kNy = 64; // one ridge within the drawn distance
constexpr double kRidgeX = 40.0, kRidgeHalfWidth = 6.0;

// Height of the profile at world x (sign +1 a ridge, -1 a trough), periodic over kNx metres.
double profile(double x, double height)
{
    double u = std::fmod(x - kRidgeX, double(kNx));
    if (u > kNx / 2.0)
        u -= kNx;
    if (u < -kNx / 2.0)
        u += kNx;
    const double d = std::fabs(u);
    return d >= kRidgeHalfWidth ? 0.0 : height * (1.0 - d / kRidgeHalfWidth);
}

void fill(HyGrid& g, double height)
{
    for (int j = 0; j < g.ny; ++j)
        for (int i = 0; i < g.nx; ++i)
            g.heights[j * g.nx + i] = float(profile(i * g.dx - g.half_x, height));
}

struct Piece {
    double p[3];
};

class RecordingOptics : public HySurfaceOptics {
public:
    using HySurfaceOptics::HySurfaceOptics;
    void shade_point(const double point[3], const double normal[3], const HySurfaceView& view, double depth, int flag,
                     double colour[3]) override
    {
        pieces.push_back(Piece{{point[0], point[1], point[2]}});
        HySurfaceOptics::shade_point(point, normal, view, depth, flag, colour);
    }
    std::vector<Piece> pieces;
};

struct Result {
    std::vector<float> coverage;
    std::vector<float> raw;
    std::vector<Piece> pieces;
    int side = 0;
};

Result render(const HyViewGeometry& view, double height, int to_horizon)
{
    HyGrid sea(kNx, kNy, 1.0, 1.0);
    fill(sea, height);
    RecordingOptics optics(surface_params(&sea, 1500.0, 64.0, to_horizon));
    Canvas canvas(view.rows, view.columns);
    HyPixelBuffer& buffer = canvas.buffer;
    Result r;
    r.side = optics.walk_surface(view, buffer);
    for (int iy = 0; iy < view.rows; ++iy)
        for (int ix = 0; ix < view.columns; ++ix)
            r.raw.push_back(buffer.work_weight[iy][ix]);
    HySurfaceOptics::normalise_work(buffer);
    buffer.flush();
    for (int iy = 0; iy < view.rows; ++iy)
        for (int ix = 0; ix < view.columns; ++ix)
            r.coverage.push_back(buffer.coverage[iy][ix]);
    r.pieces = std::move(optics.pieces);
    return r;
}

// How far below the surface the straight line from the eye to a point runs, at its worst (0 when the
// point is in plain view).
double hidden_depth(const double e[3], const double p[3], double height, int side)
{
    double worst = 0.0;
    const int steps = 800;
    for (int k = 1; k < steps; ++k) {
        const double t = double(k) / steps;
        const double x = e[0] + t * (p[0] - e[0]);
        const double z = e[2] + t * (p[2] - e[2]);
        worst = std::max(worst, side * (profile(x, height) - z));
    }
    return worst;
}

void check_scene(const ViewSetup& setup, double height, int to_horizon, bool check_coverage = true)
{
    SCOPED_TRACE(setup.name);
    const HyViewGeometry view = make_view(setup);
    const Result r = render(view, height, to_horizon);
    const int side = setup.z > 0 ? 1 : -1;
    ASSERT_EQ(r.side, side);
    ASSERT_FALSE(r.pieces.empty());
    const double eye[3] = {view.x, view.y, view.z};

    // 1. Nothing the ridge hides is shaded.
    int hidden = 0;
    double worst = 0.0;
    for (const Piece& q : r.pieces) {
        if (std::hypot(q.p[0] - eye[0], q.p[1] - eye[1]) > 1200.0)
            continue;
        const double h = hidden_depth(eye, q.p, height, side);
        worst = std::max(worst, h);
        hidden += h > 0.05;
    }
    EXPECT_EQ(hidden, 0) << "of " << r.pieces.size() << " pieces; worst " << worst << " m under the line of sight";

    // 2. Coverage: a tall crest is the picture's skyline, a low one leaves the sea's horizon in view;
    // both are straight lines in the picture, so the expected area of every pixel is exact.
    if (!check_coverage)
        return;
    double p0[2] = {0, 0}, p1[2] = {1, 0};
    if (height > setup.z) {
        double r0, c0, r1, c1;
        view.project_point_fractional(kRidgeX, view.y - 10.0, height, r0, c0);
        view.project_point_fractional(kRidgeX, view.y + 10.0, height, r1, c1);
        p0[0] = c0; p0[1] = r0; p1[0] = c1; p1[1] = r1;
    }
    double worst_full = 0.0, worst_sky = 0.0, worst_edge = 0.0;
    int full = 0, sky = 0;
    for (int iy = 0; iy < view.rows; ++iy)
        for (int ix = 0; ix < view.columns; ++ix) {
            double e;
            if (height > setup.z) {
                // Keep the side of the skyline that holds the eye's foot (below it in the picture).
                const double ex = p1[0] - p0[0], ey = p1[1] - p0[1];
                const double sign = ex >= 0 ? -1.0 : 1.0; // below the line: right of p0 -> p1 when it runs +x
                e = area(clip(pixel_square(ix, iy), sign * -ey, sign * ex, sign * (ey * p0[0] - ex * p0[1])));
            } else {
                e = below_horizon_fraction(view, ix, iy);
            }
            const double raw = r.raw[std::size_t(iy) * view.columns + ix];
            if (e >= 1.0 - 1e-12) {
                ++full;
                worst_full = std::max(worst_full, std::fabs(raw - 1.0));
            } else if (e <= 1e-12) {
                ++sky;
                worst_sky = std::max(worst_sky, raw);
            } else {
                worst_edge = std::max(worst_edge, std::fabs(raw - e));
            }
        }
    EXPECT_GT(full, 0);
    EXPECT_GT(sky, 0);
    EXPECT_LE(worst_full, 1e-3);
    EXPECT_LE(worst_sky, 1e-6);
    EXPECT_LE(worst_edge, 1e-2);
}

} // namespace

TEST(SurfaceOpticsRidge, TallRidgeHidesTheWaterBehindIt)
{
    // The crest stands above the eye: nothing beyond it can be seen.
    check_scene({"tall_ridge", 0.3, 0.6, 8.0, kPi / 2 + 0.05, 0.1, 0.0, 60.0, 96, 64}, 20.0, 1);
    // The crest is below the eye: water behind it shows beyond the shadow of the crest.
    check_scene({"low_ridge", 0.3, 0.6, 15.0, kPi / 2 + 0.12, -0.15, 0.1, 60.0, 96, 64}, 12.0, 1);
}

TEST(SurfaceOpticsRidge, UnderWaterTheMirroredSceneGivesTheMirroredPicture)
{
    const ViewSetup above = {"above", 0.3, 0.6, 15.0, kPi / 2 + 0.12, -0.15, 0.0, 60.0, 96, 64};
    ViewSetup below = above;
    below.name = "below";
    below.z = -above.z;
    below.a = kPi - above.a;
    const HyViewGeometry va = make_view(above), vb = make_view(below);
    const Result ra = render(va, 12.0, 0);
    const Result rb = render(vb, -12.0, 0);
    ASSERT_EQ(ra.side, 1);
    ASSERT_EQ(rb.side, -1);
    double worst = 0.0;
    for (int iy = 0; iy < va.rows; ++iy)
        for (int ix = 0; ix < va.columns; ++ix)
            worst = std::max(worst, std::fabs(double(ra.coverage[std::size_t(iy) * va.columns + ix]) -
                                              rb.coverage[std::size_t(va.rows - 1 - iy) * va.columns + ix]));
    EXPECT_LE(worst, 1e-5);
    // And the view from under the water obeys the same visibility rule on its own.
    check_scene(below, -12.0, 0, false);
}
