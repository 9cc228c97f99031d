// Wake element: Kelvin pattern, depth scaling, kinematics, hull tests, shaping and bad input.
#include "ocean/HyOceanSurfaceGridElement_wake.h"
#include "tests/ocean/OceanTestSupport.h"

#include <cstring>

using namespace oceantest;

constexpr auto patch = &lattice<HyWake_record>;

TEST(Wake, KelvinPatternTrailsBehindWithTheTransverseWavelength)
{
    // A 5 m/s hull on a 256 m patch: transverse waves of length 2*pi*U^2/g, all inside a wedge of
    // about 19.5 degrees either side of the track, behind the hull.
    HyWake_record r = patch(512, 0.5);
    r.speed = 5.0;
    r.hull_length = 12.0;
    r.hull_beam = 4.0;
    HyOceanSurfaceGridElement_wake w(r);
    ASSERT_EQ(w.generate_kspace(), 1);
    const int n = r.nx;
    const float* h = w.base;
    ASSERT_TRUE(all_finite(h, std::size_t(n) * std::size_t(n)));
    const double stern = w.hull_x - 0.5 * r.hull_length;

    double inside = 0.0, outside = 0.0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const double x = i * r.dx, y = j * r.dy - w.hull_y;
            const double behind = stern - x;
            if (behind < 20.0)
                continue;
            const double e = double(h[j * n + i]) * h[j * n + i];
            if (std::atan2(std::fabs(y), behind) < 24.0 * 3.1415926535 / 180.0)
                inside += e;
            else
                outside += e;
        }
    ASSERT_GT(inside, 0.0);
    EXPECT_LT(outside, 0.1 * inside);

    // Zero crossings along the track far enough behind the hull: half a transverse wavelength apart.
    const int j = n / 2;
    std::vector<double> crossings;
    for (int i = 40; i < int((stern - 30.0) / r.dx); ++i) {
        const double a = h[j * n + i], b = h[j * n + i + 1];
        if ((a < 0) != (b < 0))
            crossings.push_back((i + a / (a - b)) * r.dx);
    }
    ASSERT_GE(crossings.size(), 6u);
    const double spacing = (crossings.back() - crossings.front()) / double(crossings.size() - 1);
    const double lambda = 2 * 3.1415926535 * r.speed * r.speed / 9.81;
    EXPECT_NEAR(2.0 * spacing, lambda, 0.05 * lambda);
}

TEST(Wake, DepthScalesWithoutRecomputationAndSoftLimitAndFadeShapeTheCopy)
{
    const std::size_t count = 128 * 128;
    HyWake_record r = patch(128, 0.5);
    std::vector<float> g((128 + 2) * 128, 0.0f);
    r.heights = g.data();
    HyOceanSurfaceGridElement_wake w(r);
    ASSERT_EQ(w.generate_kspace(), 1);
    const std::vector<float> before(w.base, w.base + count);
    ASSERT_GT(max_abs(before.data(), count), 1e-3);
    const float* base_block = w.base;
    // Linear in the depth: scaled in place, bit for bit what a hull at 2D computes from scratch.
    w.set_wake_motion(2.0 * r.hull_depth, 0.3, 10.0, -4.0, 1.5);
    EXPECT_EQ(w.base, base_block);
    r.hull_depth *= 2.0;
    HyOceanSurfaceGridElement_wake fresh(r);
    ASSERT_EQ(fresh.generate_kspace(), 1);
    EXPECT_EQ(std::vector<float>(fresh.base, fresh.base + count), std::vector<float>(w.base, w.base + count));
    // Depth 0 flattens it; a later positive depth brings the pattern back by recomputing it.
    w.set_wake_motion(0.0, 0.3, 10.0, -4.0, 1.5);
    EXPECT_EQ(max_abs(w.base, count), 0.0);
    w.set_wake_motion(r.hull_depth / 2, 0.3, 10.0, -4.0, 1.5);
    EXPECT_EQ(std::vector<float>(w.base, w.base + count), before);

    const double a = 0.25 * max_abs(w.base, count);
    // Crests squashed to a*tanh(h/a), then the first L metres of the patch ramped in as (x/L)^p;
    // unusable shaping values switch their stage off instead of producing NaN.
    const struct {
        int soft;
        double scale;
        int fade;
        double length, power;
    } cases[] = {{1, a, 0, 20, 2}, {0, a, 1, 20, 2}, {1, a, 1, 10, 0.5}, {1, 0.0, 1, kNan, 2},
                 {1, kNan, 1, 20, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        w.set_soft_limit(c.soft);
        w.set_soft_limit_scale(c.scale);
        w.set_fade(c.fade);
        w.set_fade_shape(c.length, c.power);
        w.transform_to_heights();
        const bool soft = c.soft && c.scale > 0, fade = c.fade && c.length > 0 && c.power > 0;
        for (int j = 0; j < 128; ++j)
            for (int i = 0; i < 128; ++i) {
                const double h = w.base[j * 128 + i], x = i * 0.5;
                const double f = fade && x < c.length ? std::pow(x / c.length, c.power) : 1.0;
                ASSERT_NEAR(g[j * 128 + i], (soft ? a * std::tanh(h / a) : h) * f, 1e-6 * a) << i << "," << j;
            }
    }
}

TEST(Wake, KinematicsPutTheHullOnTheShipANegativeSpeedBacksItAndHullShapes)
{
    HyWake_record r = patch(64, 1.0);
    r.speed = 4.0;
    r.hull_length = 10.0;
    r.heading = 0.7;
    r.ship_x = 100.0;
    r.ship_y = -20.0;
    r.reference_time = 2.0;
    HyOceanSurfaceGridElement_wake w(r);
    const double c = std::cos(0.7), s = std::sin(0.7);
    for (double t : {2.0, 5.0, -1.0}) {
        // From its position at the reference time along its heading; bow and stern half a hull away.
        const double sx = 100.0 + c * 4.0 * (t - 2.0), sy = -20.0 + s * 4.0 * (t - 2.0);
        double p[6];
        w.get_ship_position(p[0], p[1], t);
        w.get_wake_front_and_back(p[2], p[3], p[4], p[5], t);
        const double want[6] = {sx, sy, sx + 5.0 * c, sy + 5.0 * s, sx - 5.0 * c, sy - 5.0 * s};
        for (int k = 0; k < 6; ++k)
            EXPECT_NEAR(p[k], want[k], 1e-9) << t << " " << k;
        // The grid adds the offset, then turns by -heading: the ship lands on the patch's hull centre.
        double ox, oy;
        w.get_position(t, ox, oy);
        EXPECT_NEAR((sx + ox) * c + (sy + oy) * s, w.hull_x, 1e-9) << t;
        EXPECT_NEAR((sy + oy) * c - (sx + ox) * s, w.hull_y, 1e-9) << t;
    }
    // A negative speed backs the ship and keeps the pattern.
    r = patch(64, 0.5);
    r.speed = 4.0;
    HyOceanSurfaceGridElement_wake ahead(r);
    r.speed = -4.0;
    HyOceanSurfaceGridElement_wake astern(r);
    ASSERT_EQ(ahead.generate_kspace() + astern.generate_kspace(), 2);
    EXPECT_EQ(std::memcmp(ahead.base, astern.base, sizeof(float) * 64 * 64), 0);
    double x, y;
    astern.get_ship_position(x, y, 2.0);
    EXPECT_NEAR(x, -8.0, 1e-12);
    EXPECT_NEAR(y, 0.0, 1e-12);

    r = patch(64, 1.0);
    r.hull_length = 20.0;
    r.hull_beam = 6.0;
    // Shape 1 is the box (corners inside); shape 2 cuts it by the ellipse centred on the stern with
    // semi-axes L = 20 along and B/2 = 3 across, whose edge 9 m ahead of the centre is at
    // 3*sqrt(1 - (19/20)^2) = 0.9367 m; any other shape has no inside.
    const struct {
        int shape;
        double x, y;
        int inside;
    } cases[] = {{1, 0, 0, 1},       {1, 10.0, 3.0, 1}, {1, 10.01, 0, 0}, {1, 0, -3.01, 0},
                 {2, -9.0, 2.9, 1},  {2, 9.0, 2.9, 0},  {2, 9.0, 0.0, 1}, {2, 9.0, 0.927, 1},
                 {2, 9.0, 0.946, 0}, {3, 0, 0, 0}};
    for (const auto& c : cases) {
        r.hull_shape = c.shape;
        HyOceanSurfaceGridElement_wake w(r);
        EXPECT_EQ(w.is_inside_hull(w.hull_x + c.x, w.hull_y + c.y), c.inside)
            << c.shape << " " << c.x << "," << c.y;
    }
}

TEST(Wake, FilteredFieldIsUSquaredTimesCurvatureAlongTrack)
{
    HyWake_record r = patch(256, 0.5);
    r.speed = 6.0;
    HyOceanSurfaceGridElement_wake w(r);
    ASSERT_EQ(w.generate_kspace(), 1);
    std::vector<float> acc((256 + 2) * 256, 0.0f);
    w.evolve_filtered_to_time(acc.data(), 0.0);
    ASSERT_TRUE(all_finite(acc.data(), acc.size() - 2 * 256));
    // Compare with U^2 * d2h/dx2 by central differences well away from the hull and the patch edges,
    // where the pattern is smooth on the lattice.
    double peak = 0.0, worst = 0.0;
    const double u2 = r.speed * r.speed;
    for (int j = 64; j < 192; ++j)
        for (int i = 30; i < int((w.hull_x - r.hull_length) / r.dx); ++i) {
            const float* h = w.base + j * 256;
            const double fd = u2 * (h[i + 1] - 2.0 * h[i] + h[i - 1]) / (r.dx * r.dx);
            peak = std::max(peak, std::fabs(fd));
            worst = std::max(worst, std::fabs(fd - acc[std::size_t(j) * 256 + std::size_t(i)]));
        }
    ASSERT_GT(peak, 0.01);
    EXPECT_LT(worst, 0.08 * peak);
}

TEST(Wake, BadInputIsFlatOrRefusedNeverNaNAndRefusedAllocationsReport)
{
    // expect: what generate_kspace returns; flat: the pattern must be empty.
    struct Case {
        const char* what;
        double length, beam, depth, speed, damping_b;
        int n;
        double spacing;
        int expect, flat, active = 1;
    } cases[] = {
        {"speed 0", 20, 5, 1, 0.0, 10, 64, 0.5, 1, 1},      {"inactive", 20, 5, 1, 5, 10, 64, 0.5, 1, 1, 0},
        {"hull length 0", 0.0, 5, 1, 5, 10, 64, 0.5, 1, 1}, {"hull depth 0", 20, 5, 0, 5, 10, 64, 0.5, 1, 1},
        {"negative beam", 20, -5, 1, 5, 10, 64, 0.5, 1, 1}, {"speed NaN", 20, 5, 1, kNan, 10, 64, 0.5, 1, 0},
        {"damping_b 0", 20, 5, 1, 5, 0.0, 64, 0.5, 1, 0},   {"huge speed", 20, 5, 1, 1e30, 10, 64, 0.5, 1, 0},
        {"zero spacing", 20, 5, 1, 5, 10, 64, 0.0, 0, 0},   {"empty lattice", 20, 5, 1, 5, 10, 0, 0.5, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HyWake_record r = patch(c.n, c.spacing);
        r.hull_length = c.length;
        r.hull_beam = c.beam;
        r.hull_depth = c.depth;
        r.speed = c.speed;
        r.damping_b = c.damping_b;
        r.active = c.active;
        std::vector<float> g((std::size_t(c.n) + 2) * std::size_t(std::max(c.n, 1)), 0.0f);
        r.heights = g.data();
        HyOceanSurfaceGridElement_wake w(r);
        const Printed said = printed([&] { EXPECT_EQ(w.generate_kspace(), c.expect); });
        EXPECT_EQ(said.err.empty(), c.expect == 1);
        w.transform_to_heights();
        EXPECT_TRUE(all_finite(g));
        if (c.flat) {
            std::vector<float> acc(g.size(), 1.0f);
            w.evolve_filtered_to_time(acc.data(), 0.0);
            EXPECT_EQ(max_abs(g) + max_abs(acc.data(), std::size_t(c.n * c.n)), 0.0);
        }
        double x, y, fx, fy, bx, by;
        w.get_position(3.0, x, y);
        w.get_wake_front_and_back(fx, fy, bx, by, 3.0);
        EXPECT_TRUE(std::isfinite(x) && std::isfinite(y) && std::isfinite(fx) && std::isfinite(by));
        EXPECT_EQ(w.is_inside_hull(kNan, 0.0), 0);
    }
    // Non-finite motion values are taken as 0.
    HyWake_record r = patch(32, 1.0);
    HyOceanSurfaceGridElement_wake w(r);
    ASSERT_EQ(w.generate_kspace(), 1);
    w.set_wake_motion(kNan, kNan, kNan, 1.0, kNan);
    EXPECT_DOUBLE_EQ(w.hull_depth, r.hull_depth);
    EXPECT_EQ(w.heading, 0.0);
    EXPECT_EQ(w.ship_x, 0.0);
    EXPECT_EQ(w.ship_y, 1.0);
    EXPECT_TRUE(all_finite(w.base, 32 * 32));

    // Refused allocations report and return 0.
    HyOceanSurfaceGridElement_wake starved(patch(64, 0.5));
    EXPECT_NE(printed_refused(1, [&] { EXPECT_EQ(starved.generate_kspace(), 0); })
                  .err.find("unable to allocate base height for wake generation"),
              std::string::npos);
    EXPECT_EQ(starved.base, nullptr);
    {
        // The base pattern (64*64 floats) fits, the 2nx x ny work array does not.
        RefusedAllocations refuse(64 * 64 * 4 + 65);
        const Printed said = printed([&] { EXPECT_EQ(starved.generate_kspace(), 0); });
        refuse.off(); // the base block came from the hook and must go back through it
        EXPECT_NE(said.err.find("HyOceanSurfaceElement_wake::generate_kspace unable to allocate space for "
                                "generating wake "),
                  std::string::npos);
        EXPECT_EQ(starved.generate_kspace(), 1); // still usable
    }
    EXPECT_GT(max_abs(starved.base, 64 * 64), 0.0);
}

TEST(Wake, PatternEqualsDirectFourierSumOfTheFilteredFootprint)
{
    // Independent oracle on a small patch: the footprint placed in the right half of a 2nx x ny field,
    // a naive double-precision DFT, the free-surface response (conjugate at negative kx so that the
    // field stays real, damping term dropped on the Nyquist column), a naive inverse, and the right
    // half read back. Checks layout, padding, wavenumbers, filter and scaling together.
    const int nx = 16, ny = 8;
    HyWake_record r = patch(nx, 1.0);
    r.ny = ny;
    r.speed = 3.0;
    r.hull_length = 6.0;
    r.hull_beam = 4.0;
    r.hull_depth = 0.8;
    r.damping_a = 0.5;
    HyOceanSurfaceGridElement_wake w(r);
    ASSERT_EQ(w.generate_kspace(), 1);

    const int wx = 2 * nx;
    std::vector<cplx> field(std::size_t(wx) * ny, 0.0);
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const double u = std::fabs((i - w.hull_x) / 3.0), v = std::fabs((j - w.hull_y) / 2.0);
            if (u < 1 && v < 1 && 1 - v / (1 - u * u) > 0)
                field[std::size_t(j) * wx + std::size_t(nx + i)] = -std::sqrt(1 - v / (1 - u * u)) * 0.8;
        }
    std::vector<cplx> spectrum = naive_dft(field, wx, ny, -1);
    for (int q = 0; q < ny; ++q)
        for (int m = 0; m < wx; ++m) {
            const int ms = m <= nx ? m : m - wx; // signed column frequency
            const int qs = q <= ny / 2 ? q : q - ny;
            const double kx = std::fabs(ms) * 2 * M_PI / (wx * r.dx), ky = qs * 2 * M_PI / (ny * r.dy);
            const double k = std::hypot(kx, ky);
            cplx h = 0;
            if (k > 0) {
                const double f = (kx * r.speed) * (kx * r.speed) / (k * 9.81);
                const double e = (m == nx) ? 0.0 : kx * r.speed * w.damping;
                h = cplx(f, e) / cplx(1 - f, -e);
                if (ms < 0)
                    h = std::conj(h);
            }
            spectrum[std::size_t(q) * wx + std::size_t(m)] *= h;
        }
    // The right half of the inverse, node k of the patch.
    const std::vector<cplx> back = naive_dft(spectrum, wx, ny, +1);
    auto expect = [&](int k) { return back[std::size_t(k / nx * wx + nx + k % nx)].real() / (wx * ny); };
    double peak = 0.0;
    for (int k = 0; k < nx * ny; ++k)
        peak = std::max(peak, std::fabs(expect(k)));
    ASSERT_GT(peak, 1e-2);
    for (int k = 0; k < nx * ny; ++k)
        EXPECT_NEAR(w.base[k], expect(k), 2e-5 * peak) << "node " << k % nx << "," << k / nx;
}
