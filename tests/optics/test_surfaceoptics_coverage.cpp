// Exact coverage of a flat calm sea: every pixel piece is the exact area of a screen polygon, the ring
// walk, its transitions, the seam behind the eye and the band to the horizon must tile the water
// without gap or overlap. The oracle is the camera's own projection of the sea plane (the horizon as
// the line where rays turn level, the drawn square as a projected polygon), computed independently of
// the slicer's angular space.
#include "test_surfaceoptics_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

using namespace surface_test;

namespace {

struct CoverageCase {
    ViewSetup view;
    int to_horizon;
    double max_distance;
    double double_distance;
};

// The worst error among covered, sky and edge pixels, and where it is.
struct Worst {
    double error = 0.0;
    int x = -1, y = -1;
};
struct Stats {
    int full = 0, empty = 0, partial = 0;
    Worst covered, sky, edge;
};

// Expected coverage of every pixel.
std::vector<double> expected_coverage(const HyViewGeometry& v, const HySurfaceOptics& optics, int to_horizon, int side)
{
    std::vector<double> e(std::size_t(v.columns) * v.rows, 0.0);
    std::vector<Pt> square_img;
    if (!(to_horizon && side > 0)) {
        int D, s;
        double blend;
        optics.row_distance(optics.row_for_distance(double(optics.max_cells - 1)), D, s, blend);
        const double cell = optics.step;
        const double ci = std::trunc(v.x / cell) * cell, cj = std::trunc(v.y / cell) * cell;
        const double half = D * cell;
        square_img = project_ground_polygon(
            v, {{ci - half, cj - half}, {ci + half, cj - half}, {ci + half, cj + half}, {ci - half, cj + half}}, 0.0);
    }
    for (int iy = 0; iy < v.rows; ++iy)
        for (int ix = 0; ix < v.columns; ++ix)
            e[std::size_t(iy) * v.columns + ix] = (to_horizon && side > 0) ? below_horizon_fraction(v, ix, iy)
                                                                            : pixel_in_polygon(square_img, ix, iy);
    return e;
}

Stats compare(const std::vector<double>& e, float* const* got, int columns, int rows)
{
    Stats s;
    for (int iy = 0; iy < rows; ++iy)
        for (int ix = 0; ix < columns; ++ix) {
            const double x = e[std::size_t(iy) * columns + ix];
            const double err = std::fabs(got[iy][ix] - x);
            const bool full = x >= 1.0 - 1e-12, empty = x <= 1e-12;
            ++(full ? s.full : empty ? s.empty : s.partial);
            Worst& w = full ? s.covered : empty ? s.sky : s.edge;
            if (err > w.error)
                w = Worst{err, ix, iy};
        }
    return s;
}

// Bounds on the worst covered, sky and edge pixel, naming the pixel that breaks one.
void expect_within(const Stats& s, double covered, double sky, double edge)
{
    EXPECT_LE(s.covered.error, covered) << "covered pixel (" << s.covered.x << ", " << s.covered.y << ")";
    EXPECT_LE(s.sky.error, sky) << "sky pixel (" << s.sky.x << ", " << s.sky.y << ")";
    EXPECT_LE(s.edge.error, edge) << "edge pixel (" << s.edge.x << ", " << s.edge.y << ")";
}

void run_case(const CoverageCase& cc)
{
    SCOPED_TRACE(cc.view.name);
    const HyViewGeometry view = make_view(cc.view);
    HyGrid sea(64, 64, 1.0, 1.0); // flat, periodic: calm water everywhere
    HySurfaceOptics optics(surface_params(&sea, cc.max_distance, cc.double_distance, cc.to_horizon));
    Canvas canvas(view.rows, view.columns);
    HyPixelBuffer& buffer = canvas.buffer;
    const int side = optics.walk_surface(view, buffer);
    ASSERT_EQ(side, cc.view.z > 0 ? 1 : -1);
    EXPECT_GT(optics.triangles_drawn, 0);

    const std::vector<double> e = expected_coverage(view, optics, cc.to_horizon, side);
    // Before normalisation: the raw sums of exact piece areas.
    const Stats raw = compare(e, buffer.work_weight, view.columns, view.rows);
    EXPECT_GT(raw.full, 0);
    expect_within(raw, 1e-5, 1e-6, 1e-5);

    // After normalisation and flush: the final coverage plane, and white water premultiplied by it.
    HySurfaceOptics::normalise_work(buffer);
    buffer.flush();
    expect_within(compare(e, buffer.coverage, view.columns, view.rows), 1e-5, 1e-6, 1e-5);
    double worst_colour = 0.0;
    for (int iy = 0; iy < view.rows; ++iy)
        for (int ix = 0; ix < view.columns; ++ix)
            worst_colour = std::max(worst_colour, std::fabs(double(canvas.g[std::size_t(iy) * view.columns + ix]) -
                                                            buffer.coverage[iy][ix]));
    EXPECT_LE(worst_colour, 1e-5);
}

} // namespace

TEST(SurfaceOpticsCoverage, FlatSeaFromAboveAndBelowIsCoveredExactly)
{
    const double level = kPi / 2;
    const CoverageCase cases[] = {
        // Straight down: the whole picture is water, the rings run all the way round the eye.
        {{"straight_down", 3.3, -2.6, 30.0, kPi, 0.3, 0.2, 60.0, 96, 64}, 1, 400.0, 32.0},
        // Looking out over the water with the horizon in view, no roll.
        {{"horizon", 0.4, 0.7, 10.0, level + 0.15, 0.7, 0.0, 60.0, 96, 64}, 1, 3000.0, 64.0},
        // Tilted, panned and rolled.
        {{"rolled", -5.5, 12.25, 6.0, level + 0.3, 2.5, 0.4, 50.0, 80, 60}, 1, 3000.0, 48.0},
        // A wide view that holds both the water under the eye and the horizon.
        {{"wide_under_and_horizon", 0.25, 0.75, 8.0, level + 0.75, -2.2, 0.1, 140.0, 96, 64}, 1, 2000.0, 32.0},
        // Water only out to the maximum distance: the drawn square's far edge is in view.
        {{"square_edge", 0.5, 0.5, 20.0, level + 0.12, 0.2, -0.25, 60.0, 96, 64}, 0, 150.0, 24.0},
        // An odd number of fine rings: the first coarse band starts one ring inside the last fine one.
        {{"odd_fine", 1.5, 2.5, 12.0, level + 0.2, -0.9, 0.05, 70.0, 96, 64}, 1, 1500.0, 33.0},
        {{"odd_fine_near", -5.5, 12.25, 6.0, level + 0.3, 2.5, 0.4, 50.0, 80, 60}, 1, 1500.0, 9.0},
        // From under the water, looking up at the square.
        {{"under_up", 0.4, 0.3, -4.0, level - 0.3, 1.2, -0.3, 60.0, 96, 64}, 0, 300.0, 32.0},
        {{"under_straight_up", 2.5, 1.5, -6.0, 0.0, 0.4, 0.0, 70.0, 80, 60}, 0, 300.0, 32.0},
    };
    for (const CoverageCase& cc : cases)
        run_case(cc);
}

namespace {

// A wavy sea: three crossing swells sampled on the grid nodes.
void fill_waves(HyGrid& g, double amplitude)
{
    for (int j = 0; j < g.ny; ++j)
        for (int i = 0; i < g.nx; ++i) {
            const double x = i * g.dx, y = j * g.dy;
            const double k = 2.0 * kPi / (g.nx * g.dx);
            g.heights[j * g.nx + i] =
                float(amplitude * (0.5 * std::sin(3 * k * x + 1.0) + 0.3 * std::sin(5 * k * (x + y) + 2.0) +
                                   0.2 * std::cos(7 * k * (x - 2 * y))));
        }
}

} // namespace

TEST(SurfaceOpticsCoverage, WavySeaBelowTheEyeCoversEverythingUnderTheHorizon)
{
    // With the eye above the highest crest, every ray below the horizon meets water somewhere and no
    // wave rises above the horizon: the picture's coverage is exactly the part below the horizon,
    // whatever hides what. No pixel may gather more than its area: water drawn twice over shows as a
    // rim along the horizon.
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
        fill_waves(sea, 1.5);
        SummingOptics optics(surface_params(&sea, 2000.0, 32.0, 1));
        Canvas canvas(view.rows, view.columns);
        HyPixelBuffer& buffer = canvas.buffer;
        ASSERT_EQ(optics.walk_surface(view, buffer), 1);
        std::vector<double> e(std::size_t(view.columns) * view.rows);
        double most = 0.0, worst = 0.0;
        for (int iy = 0; iy < view.rows; ++iy)
            for (int ix = 0; ix < view.columns; ++ix) {
                const std::size_t at = std::size_t(iy) * view.columns + ix;
                e[at] = below_horizon_fraction(view, ix, iy);
                most = std::max(most, optics.sum[at]);
                worst = std::max(worst, std::fabs(optics.sum[at] - e[at]));
            }
        // What the slicer hands over, and what the pixel buffer gathers from it.
        EXPECT_LE(most, 1.0 + 1e-3);
        EXPECT_LE(worst, 1e-2);
        expect_within(compare(e, buffer.work_weight, view.columns, view.rows), 1e-2, 0.0, 1e-2);
        HySurfaceOptics::normalise_work(buffer);
        buffer.flush();
        expect_within(compare(e, buffer.coverage, view.columns, view.rows), 1e-2, 0.0, 1e-2);
    }
}
