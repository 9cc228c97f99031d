// Ripple element: Bessel function, Hankel synthesis, taper, radial profile and filtered acceleration.
#include "ocean/HyOceanSurfaceGridElement_ripple.h"
#include "tests/ocean/OceanTestSupport.h"

#include <cstring>
#include <optional>

namespace {

using namespace oceantest;

constexpr double kPi = 3.1415926535;

// The profile the element must produce, computed independently in double precision with the
// standard library's Bessel function.
std::vector<double> reference_profile(const HyRipple_record& r, double t)
{
    const int n = r.nx;
    const double dr = r.dx;
    const double dk = kPi / ((n - 1) * dr);
    const double tau = (t - r.start_time) * r.time_scale;
    std::vector<double> b(std::size_t(n), 0.0), out(std::size_t(n), 0.0);
    const double w2 = r.width * r.width;
    for (int i = 1; i < n; ++i) {
        const double k = i * dk;
        const double a = 0.5 * std::sqrt(k / (9.81 * kPi)) * r.strength * w2 * std::exp(-0.25 * w2 * k * k);
        b[std::size_t(i)] = std::sin(std::sqrt(9.81 * k) * tau) * a;
    }
    for (int j = 1; j < n; ++j) {
        double s = 0.0;
        for (int i = 0; i < n; ++i)
            s += std::cyl_bessel_j(0.0, (i * dk) * (j * dr)) * b[std::size_t(i)];
        out[std::size_t(j)] = dk * s;
    }
    out[0] = 2.0 * out[1] - out[2];
    return out;
}

} // namespace

TEST(Ripple, FlatBeforeAndAtImpactThenMatchesDirectHankelSumAndItsSecondTimeDerivative)
{
    HyRipple_record r;
    r.start_time = 0.5;
    r.nx = 161;
    r.dx = 0.2;
    r.time_scale = 1.5;
    r.amplitude_scale = 4.0; // the profile and the filtered field ignore it
    std::vector<float> g(std::size_t(r.nx) + 2, -7.0f);
    r.heights = g.data();
    HyOceanSurfaceGridElement_ripple e(r);
    ASSERT_EQ(e.generate_kspace(), 1);

    for (double t : {-5.0, 0.499, 0.5}) {
        e.evolve_to_time(t);
        e.transform_to_heights();
        EXPECT_EQ(max_abs(e.profile, e.N), 0.0) << "t = " << t;
        EXPECT_EQ(max_abs(g.data(), r.nx), 0.0) << "t = " << t;
    }

    for (double t : {0.9, 1.9, 3.9}) {
        e.evolve_to_time(t);
        const std::vector<double> ref = reference_profile(r, t);
        const double peak = max_abs(ref);
        ASSERT_GT(peak, 1e-3);
        for (int j = 0; j < e.N; ++j)
            EXPECT_NEAR(e.profile[j], ref[std::size_t(j)], 2e-5 * peak + 1e-9) << "j = " << j << " t = " << t;
    }

    const double t = 2.5, h = 1e-3;
    const std::vector<double> p[3] = {reference_profile(r, t - h), reference_profile(r, t),
                                      reference_profile(r, t + h)};
    std::vector<float> acc(std::size_t(r.nx) * std::size_t(r.ny) + 2, 0.0f);
    e.evolve_filtered_to_time(acc.data(), t);
    const double peak = max_abs(acc);
    ASSERT_GT(peak, 1e-3);
    // Node i sits at radius |i - nx/2|*dx, exactly on a profile sample.
    for (int i = 0; i < r.nx; ++i) {
        const int j = std::abs(i - r.nx / 2);
        const double fd = (p[2][std::size_t(j)] - 2 * p[1][std::size_t(j)] + p[0][std::size_t(j)]) / (h * h);
        EXPECT_NEAR(acc[std::size_t(i)], fd, 2e-3 * peak + 1e-6) << "i = " << i;
    }
    // Before the impact the acceleration is 0.
    e.evolve_filtered_to_time(acc.data(), -1.0);
    EXPECT_EQ(max_abs(acc.data(), r.nx), 0.0);
}

TEST(Ripple, BesselJ0MatchesStandardLibraryAndSynthesisPathsRecordsAndTimeScaleAgree)
{
    // Cached and direct synthesis, a new record handed to a used element and a fresh element of it,
    // and time scale 2 at t against time scale 1 at t0 + 2*(t - t0) give the same profile.
    HyRipple_record r;
    r.nx = 203; // not a multiple of four: the remainder rows are exercised too
    HyOceanSurfaceGridElement_ripple cached(r), direct(r), reused(HyRipple_record{});
    direct.set_direct_synthesis(true);
    ASSERT_EQ(reused.generate_kspace(), 1);
    ASSERT_EQ(reused.set_ripple_record(r), 1);
    r.start_time = 1.0;
    HyOceanSurfaceGridElement_ripple slow(r);
    r.time_scale = 2.0;
    HyOceanSurfaceGridElement_ripple fast(r);
    for (auto* e : {&cached, &direct, &slow, &fast})
        ASSERT_EQ(e->generate_kspace(), 1);
    for (auto* e : {&cached, &direct, &reused, &slow})
        e->evolve_to_time(4.0);
    fast.evolve_to_time(2.5);
    for (auto* e : {&direct, &reused})
        EXPECT_EQ(std::memcmp(cached.profile, e->profile, sizeof(float) * 203), 0);
    EXPECT_EQ(std::memcmp(fast.profile, slow.profile, sizeof(float) * 203), 0);

    for (double x = 0.0; x <= 200.0; x += 0.0005)
        ASSERT_NEAR(hy_bessel_j0(x), std::cyl_bessel_j(0.0, x), 1e-7) << "x = " << x;
    // Both branches meet at 8 without a visible step, and J0 is even.
    EXPECT_NEAR(hy_bessel_j0(8.0 - 1e-12), hy_bessel_j0(8.0), 1e-8);
    EXPECT_DOUBLE_EQ(hy_bessel_j0(-3.7), hy_bessel_j0(3.7));
    EXPECT_NEAR(hy_bessel_j0(0.0), 1.0, 1e-8);
}

TEST(Ripple, RadialHeightInterpolatesTapersAndScales)
{
    HyRipple_record r;
    r.amplitude_scale = 3.0;
    r.centre_x = 7.0;
    r.centre_y = -3.0;
    std::vector<float> g(std::size_t(r.nx) + 2, -7.0f);
    r.heights = g.data();
    HyOceanSurfaceGridElement_ripple e(r);
    ASSERT_EQ(e.generate_kspace(), 1);
    // A profile with known values: the interpolation and taper are checked on their own.
    for (int j = 0; j < e.N; ++j)
        e.profile[j] = float(1.0 + 0.01 * j);
    const double dr = e.dr, R = e.N * dr;

    EXPECT_NEAR(e.get_radial_height(5 * dr), 3.0 * 1.05, 1e-6);
    // Halfway between samples 10 and 11.
    EXPECT_NEAR(e.get_radial_height(10.5 * dr), 3.0 * 0.5 * (1.10 + 1.11), 1e-6);
    // At 0.95 R the taper keeps 1 - 0.5^2 = 0.75 of the interpolated (linear) profile.
    EXPECT_NEAR(e.get_radial_height(0.95 * R), 3.0 * 0.75 * (1.0 + 0.01 * 0.95 * R / dr), 1e-5);
    // The last sample's outer neighbour is missing and contributes nothing; from R on it is 0.
    const double taper = 1.0 - std::pow((R - 0.5 * dr - 0.9 * R) / (0.1 * R), 2.0);
    EXPECT_NEAR(e.get_radial_height(R - 0.5 * dr), 3.0 * 0.5 * e.profile[e.N - 1] * taper, 1e-6);
    for (double beyond : {R, 1.01 * R, kNan})
        EXPECT_EQ(e.get_radial_height(beyond), 0.0);
    EXPECT_NEAR(e.get_height_at(3 * dr, 4 * dr), e.get_radial_height(5 * dr), 1e-12);
    // The radial grid's offset brings the impact point to its centre.
    double ox, oy;
    e.get_position(0.0, ox, oy);
    EXPECT_EQ(ox, -7.0);
    EXPECT_EQ(oy, 3.0);

    e.transform_to_heights();
    for (int i = 0; i < r.nx; ++i)
        ASSERT_FLOAT_EQ(g[std::size_t(i)], float(e.get_radial_height(i * r.dx))) << i;
    EXPECT_EQ(g[std::size_t(r.nx)], -7.0f); // padding untouched
}

TEST(Ripple, BadInputGivesAFlatFiniteRipple)
{
    const struct {
        const char* what;
        void (*change)(HyRipple_record&);
    } cases[] = {
        {"N 1", [](auto& r) { r.nx = 1; }}, {"N 2", [](auto& r) { r.nx = 2; }},
        {"dr 0", [](auto& r) { r.dx = r.dy = 0.0; }}, {"dr negative", [](auto& r) { r.dx = r.dy = -0.1; }},
        {"dr NaN", [](auto& r) { r.dx = r.dy = kNan; }}, {"width 0", [](auto& r) { r.width = 0.0; }},
        {"width NaN", [](auto& r) { r.width = kNan; }}, {"strength NaN", [](auto& r) { r.strength = kNan; }},
        {"strength huge", [](auto& r) { r.strength = 1e300; }},
        {"start NaN", [](auto& r) { r.start_time = kNan; }},
        {"time scale inf", [](auto& r) { r.time_scale = std::numeric_limits<double>::infinity(); }},
        {"amplitude NaN", [](auto& r) { r.amplitude_scale = kNan; }},
        {"centre NaN", [](auto& r) { r.centre_x = kNan; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HyRipple_record r; // 201 samples 0.1 m apart
        c.change(r);
        std::vector<float> g(std::size_t(r.nx) + 2, 0.0f), acc(g.size(), 1.0f);
        r.heights = g.data();
        HyOceanSurfaceGridElement_ripple e(r);
        printed([&] { EXPECT_EQ(e.generate_kspace(), 1); });
        e.evolve_to_time(3.0);
        e.transform_to_heights();
        EXPECT_TRUE(all_finite(g));
        EXPECT_EQ(max_abs(g), 0.0);
        double x = 1, y = 1;
        e.get_position(0.0, x, y);
        EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
        e.evolve_filtered_to_time(acc.data(), 3.0);
        EXPECT_TRUE(all_finite(acc));
        EXPECT_TRUE(std::isfinite(e.get_radial_height(0.3)));
    }
}

TEST(Ripple, RefusedWorkArrayLeavesProfileUnchangedAndANaNTimeFlat)
{
    HyRipple_record r;
    HyOceanSurfaceGridElement_ripple e(r);
    ASSERT_EQ(e.generate_kspace(), 1);
    e.evolve_to_time(2.0);
    std::vector<float> before(e.profile, e.profile + e.N);
    ASSERT_GT(max_abs(e.profile, e.N), 0.0);
    const Printed said = printed_refused(0, [&] { e.evolve_to_time(3.0); });
    EXPECT_NE(said.err.find("unable to allocate space for ripple evolution "), std::string::npos);
    EXPECT_NE(said.out.find("Out of Memory"), std::string::npos);
    EXPECT_EQ(std::memcmp(before.data(), e.profile, sizeof(float) * std::size_t(e.N)), 0);
    // A NaN time leaves a usable ripple flat for that evolution.
    e.evolve_to_time(kNan);
    EXPECT_EQ(max_abs(e.profile, e.N), 0.0);

    // A ripple whose arrays could not be made reports when initialised and stays flat.
    std::optional<HyOceanSurfaceGridElement_ripple> starved;
    printed_refused(0, [&] { starved.emplace(r); });
    EXPECT_NE(printed([&] { EXPECT_EQ(starved->generate_kspace(), 0); }).out.find("Out of Memory"),
              std::string::npos);
    starved->evolve_to_time(2.0);
    EXPECT_EQ(starved->get_radial_height(1.0), 0.0);
}
