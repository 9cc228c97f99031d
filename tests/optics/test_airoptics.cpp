// Air optics: clear-air coefficients against a numerical band average, transmittance against a numerical
// optical depth, ray distance rules, phase functions through radiance ratios, the rainbow and the light disc.
#include "optics/HyAirOptics.h"
#include "tests/optics/optics_test_support.h"

#include <array>
#include <initializer_list>
#include <numeric>
#include <random>

namespace {

constexpr double kDeg = M_PI / 180.0;

using optics_test::normalise;
using optics_test::simpson;
using Rgb = std::array<double, 3>;

HyAirOpticsParams clear_only()
{
    return {.air_base_height = 0.0};
}

HyAirOpticsParams haze_only(std::initializer_list<double> tint = {})
{
    HyAirOpticsParams p{.clear_air_on = 0, .haze_visibility = 5000.0, .haze_on = 1, .haze_height = 400.0,
                        .haze_diffusivity = 0.3, .air_base_height = 0.0};
    std::copy(tint.begin(), tint.end(), p.haze_color);
    return p;
}

Rgb trans(const HyAirFlatOptics& air, const double* pos, const double* dir, double len)
{
    Rgb t;
    air.transmittance(pos, dir, len, &t[0], &t[1], &t[2]);
    return t;
}
Rgb sky(const HyAirFlatOptics& air, const double* pos, const double* dir, double len, const double* light)
{
    Rgb t;
    air.sky_radiance(pos, dir, len, light, &t[0], &t[1], &t[2]);
    return t;
}
double sum(const Rgb& v)
{
    return v[0] + v[1] + v[2];
}

TEST(AirOptics, ClearAirCoefficientsAreBandAveragesAndHazeCoefficients)
{
    // Scattering per unit column 1.07e-6 H lambda0^(e - 4.1) lambda^-e, averaged over each channel's band.
    const double lambda0 = (0.701 + 0.535 + 0.473) / 3.0;
    const double bands[3][2] = {{0.622, 0.78}, {0.4925, 0.5775}, {0.4545, 0.4915}};
    for (double e : {4.1, 1.0, 2.5, 4.0, 0.5}) {
        HyAirFlatOptics air({.scattering_bias = e, .air_base_height = 0.0});
        for (int k = 0; k < 3; ++k) {
            const double a = bands[k][0], b = bands[k][1];
            auto f = [&](double l) {
                return 1.07e-6 * 8000.0 * std::pow(lambda0, e - 4.1) * std::pow(l, -e);
            };
            EXPECT_NEAR(air.clear_air_coefficient(k) / (simpson(f, a, b) / (b - a)), 1.0, 1e-10)
                << e << " " << k;
            // The general formula is continuous into both closed forms.
            const double near_closed = HyAirFlatOptics::clear_air_band_coefficient(a, b, e + 1e-7);
            if (e == 4.1 || e == 1.0) {
                EXPECT_NEAR(HyAirFlatOptics::clear_air_band_coefficient(a, b, e) / near_closed, 1.0, 1e-5);
            }
        }
    }

    // Haze from visibility and diffusivity; tinted extinction scales the coefficients (not below 0.1) and
    // makes the in-scatter white. With clear air as well, only haze in-scatter shows on a ray that stops
    // in the air, and the escaping ray also sees the clear sky above the haze.
    HyAirOpticsParams h = haze_only({0.9, 0.5, 0.05});
    HyAirFlatOptics a(h);
    EXPECT_EQ(a.air_mode(), HyAirFlatOptics::kHazeOnly);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(a.haze_coefficient(k), 9400.0 / 5000.0 * 0.000106 * 400.0, 1e-15);
        EXPECT_NEAR(a.haze_asymmetry(k), 1.0 - std::pow(10.0, -1.2), 1e-15);
    }
    h.haze_tints_extinction = 1;
    HyAirFlatOptics t(h);
    EXPECT_NEAR(t.haze_coefficient(1), 0.5 * a.haze_coefficient(1), 1e-15);
    EXPECT_NEAR(t.haze_coefficient(2), 0.1 * a.haze_coefficient(2), 1e-15);
    EXPECT_EQ(t.haze_color(2), 1.0);

    const double pos[3] = {0, 0, 20.0}, light[3] = {std::cos(30 * kDeg), 0.0, -std::sin(30 * kDeg)};
    const double down[3] = {0.8, 0.0, -0.6}, up[3] = {0.9, 0.3, std::sqrt(1 - 0.81 - 0.09)};
    HyAirOpticsParams both = haze_only();
    both.clear_air_on = 1;
    HyAirFlatOptics ch(both), haze(haze_only());
    EXPECT_EQ(ch.air_mode(), HyAirFlatOptics::kClearAirAndHaze);
    const Rgb x = sky(ch, pos, down, 30.0, light);
    EXPECT_GT(x[0], 0.0);
    EXPECT_EQ(x, sky(haze, pos, down, 30.0, light));
    EXPECT_GT(sky(ch, pos, up, -1.0, light)[2], sky(haze, pos, up, -1.0, light)[2]);
}

TEST(AirOptics, TransmittanceFollowsOpticalDepthAndRayDistanceRules)
{
    HyAirFlatOptics air(HyAirOpticsParams{}), hz(haze_only()); // clear air from 10 m below sea level
    const double pos[3] = {5, 5, 80.0}, up[3] = {0.6, 0.0, 0.8}, down[3] = {std::sqrt(0.75), 0.0, -0.5};
    // To the top of the air: the whole column above the start (90 m above the base), stretched by 1/dz.
    // A downward ray without a limit stops at the air base: 90 m of height at dz = -0.5 is 180 m.
    const Rgb top = trans(air, pos, up, -1.0), to_base = trans(air, pos, down, -1.0);
    const Rgb base = trans(air, pos, down, 180.0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(top[k], std::exp(-air.clear_air_coefficient(k) * std::exp(-90.0 / 8000.0) / 0.8), 1e-12);
        EXPECT_NEAR(to_base[k], base[k], 1e-12);
    }
    // Level and slanted rays, through clear air and through haze (its base at 0, its own scale height).
    for (double dz : {-0.05, 0.0, 0.0005, 0.3, 0.9}) {
        const double dir[3] = {std::sqrt(1 - dz * dz), 0.0, dz};
        const double len = (dz < 0) ? 1500.0 : 20000.0;
        auto depth = [&](double h0, double hs) {
            return simpson([&](double s) { return std::exp(-(h0 + s * dz) / hs) / hs; }, 0, len);
        };
        const Rgb t = trans(air, pos, dir, len), th = trans(hz, pos, dir, len);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(std::log(t[k]), -air.clear_air_coefficient(k) * depth(90.0, 8000.0), 1e-9) << dz;
            EXPECT_NEAR(std::log(th[k]), -hz.haze_coefficient(k) * depth(80.0, 400.0), 1e-9) << dz;
        }
    }

    // (z, dz, limit) -> any air, its start height above the base, the distance through it: none below the
    // base going down or level, nor going up short of the base (25 m of path at dz = 0.8); from above,
    // down stops at the base or the limit, whichever is nearer.
    const struct {
        double z, dz, limit;
        bool air;
        double start, distance;
    } cases[] = {
        {-30.0, -0.8, -1.0, false, 0, 0},      {-30.0, 0.8, 20.0, false, 0, 0},
        {-30.0, 0.8, 125.0, true, 0.0, 100.0}, {-30.0, 0.8, -1.0, true, 0.0, HyAirFlatOptics::kUnbounded},
        {30.0, -0.5, 50.0, true, 40.0, 50.0},  {30.0, -0.5, 500.0, true, 40.0, 80.0},
        {30.0, 0.5, 500.0, true, 40.0, 500.0}};
    for (const auto& c : cases) {
        double h = -1, d = -1;
        bool unb = false;
        ASSERT_EQ(air.ray_distance(c.z, c.dz, c.limit, &h, &d, &unb), c.air)
            << c.z << " " << c.dz << " " << c.limit;
        EXPECT_TRUE(!c.air || (h == c.start && std::fabs(d - c.distance) < 1e-12 && unb == (c.limit < 0)))
            << d;
    }
    const double below[3] = {0, 0, -30.0}, at_base[3] = {0, 0, -10.0};
    const double steep[3] = {0.6, 0, -0.8}, level[3] = {1, 0, 0};
    for (const double* dir : {steep, level}) {
        EXPECT_EQ(sum(trans(air, below, dir, -1.0)), 3.0);
        EXPECT_EQ(sum(sky(air, below, dir, -1.0, steep)), 0.0);
    }
    EXPECT_EQ(trans(air, below, up, 20.0)[0], 1.0);
    const Rgb t = trans(air, below, up, 125.0), u = trans(air, at_base, up, 100.0);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(t[k], u[k], 1e-12);

    // Optical path factor: its small-argument series joins the exact form.
    const double x = 0.001 * 8000.0 / 0.3;
    EXPECT_NEAR(HyAirFlatOptics::optical_path_factor(8000.0, 0.3, x * 0.9999, false),
                HyAirFlatOptics::optical_path_factor(8000.0, 0.3, x * 1.0001, false), 1e-6);
    EXPECT_DOUBLE_EQ(HyAirFlatOptics::optical_path_factor(8000.0, 0.25, 0.0, true), 4.0);
    EXPECT_DOUBLE_EQ(HyAirFlatOptics::optical_path_factor(8000.0, 0.0, 0.0, true),
                     HyAirFlatOptics::kUnbounded);
}

// Single scattering along a ray through an exponential layer, integrated numerically: light reaches each
// point along the slant 1/mus through the layer above it, scatters with coefficient (c / hs) rho, and is
// dimmed on its way back along the ray.
double single_scatter_integral(double c, double hs, double h0, double dz, double len, double mus)
{
    const int n = 200000;
    const double ds = len / n;
    double tau = 0.0, sum = 0.0, prev = 0.0;
    for (int i = 0; i <= n; ++i) {
        const double rho = std::exp(-(h0 + i * ds * dz) / hs);
        const double beta = c / hs * rho;
        if (i > 0)
            tau += 0.5 * (prev + beta) * ds;
        prev = beta;
        const double f = beta * std::exp(-c * rho / mus) * std::exp(-tau);
        sum += f * ((i == 0 || i == n) ? 0.5 : 1.0) * ds;
    }
    return sum;
}

TEST(AirOptics, SkyRadianceIsSingleScattering)
{
    const double pos[3] = {0, 0, 150.0};
    const double light[3] = {0.0, std::cos(35 * kDeg), -std::sin(35 * kDeg)};
    const double mus = std::sin(35 * kDeg);
    HyAirFlatOptics clear(clear_only());
    const HyAirOpticsParams hp = haze_only({0.8, 0.7, 0.6});
    HyAirFlatOptics haze(hp);
    for (double dz : {-0.04, 0.05, 0.4}) {
        const double dir[3] = {std::sqrt(1 - dz * dz), 0.0, dz};
        const double len = (dz < 0) ? 3000.0 : 30000.0;
        const double cs = -std::inner_product(dir, dir + 3, light, 0.0);
        // Clear-air phase over the sphere: 3 / (16 pi) (1 + cos^2) in spirit, depolarisation giving 0.9324.
        const double phase = (1 + 0.9324 * cs * cs) * 0.060709651179326155;
        const Rgb v = sky(clear, pos, dir, len, light);
        for (int k = 0; k < 3; ++k) {
            const double c = clear.clear_air_coefficient(k);
            // The sun's slant is lifted by 1e-4 so that grazing light stays finite.
            const double expect =
                15.0 * phase * single_scatter_integral(c, 8000.0, 150.0, dz, len, mus + 0.0001);
            EXPECT_NEAR(v[k] / expect, 1.0, 1e-6) << dz << " channel " << k;
        }
        const Rgb w = sky(haze, pos, dir, len, light);
        const double g = haze.haze_asymmetry(0);
        const double hg = (1 - g * g) / (4 * M_PI * std::pow(1 - 2 * g * cs + g * g, 1.5));
        const double s =
            single_scatter_integral(haze.haze_coefficient(0), 400.0, 150.0, dz, len, mus + 0.001);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(w[k] / (15.0 * hp.haze_color[k] * hg * s), 1.0, 1e-5) << dz << " channel " << k;
    }
}

TEST(AirOptics, RainbowCentresAndTheLightDisc)
{
    HyAirOpticsParams p{
        .air_base_height = 0.0, .rainbow_style = 2, .rainbow_radius = 42 * kDeg, .rainbow_thickness = 1.0};
    HyAirFlatOptics bow(p);
    const double expect[3] = {42.0, 41.2, 40.6};
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(std::acos(-bow.rainbow_centre(k)) / kDeg, expect[k], 1e-7) << k;
    EXPECT_NEAR(bow.rainbow_width(0), bow.rainbow_centre(1) - bow.rainbow_centre(2), 1e-15);
    EXPECT_DOUBLE_EQ(bow.rainbow_intensity(1), 5.0 * 0.025);

    // The bow in the radiance: with the phase fixed (constant elevation) and clear air unchanged, the
    // rainbow's extra light peaks per channel at its centre angle from the antisolar direction.
    p.rainbow_style = 0;
    HyAirFlatOptics plain(p);
    const double pos[3] = {0, 0, 5.0};
    const double light[3] = {std::cos(10 * kDeg), 0.0, -std::sin(10 * kDeg)};
    const double el = 5 * kDeg;
    double best[3] = {-1, -1, -1}, best_angle[3] = {0, 0, 0};
    for (double az = 20.0; az < 60.0; az += 0.001) {
        const double d[3] = {std::cos(az * kDeg) * std::cos(el), std::sin(az * kDeg) * std::cos(el),
                             std::sin(el)};
        const Rgb a = sky(bow, pos, d, -1.0, light), b = sky(plain, pos, d, -1.0, light);
        // Remove the phase's own slow change: divide by the plain radiance's red channel shape.
        const double cs = -std::inner_product(d, d + 3, light, 0.0), phase = 1 + 0.9324 * cs * cs;
        for (int k = 0; k < 3; ++k) {
            const double extra = (a[k] - b[k]) * phase / b[k]; // bow alone, up to a constant per channel
            if (extra > best[k]) {
                best[k] = extra;
                best_angle[k] = std::acos(-cs) / kDeg;
            }
        }
    }
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(best_angle[k], expect[k], 0.01) << k;

    // The light disc, of angular radius r: 1 - cos(r) = solid angle / 2 pi, the solid angle 10 x 6.76e-5 sr.
    HyAirFlatOptics air({.light_disc_brightness_cap = 10.0, .air_base_height = 0.0});
    const double sun[3] = {-std::cos(20 * kDeg), 0.0, -std::sin(20 * kDeg)};
    const double at_sun[3] = {-sun[0], -sun[1], -sun[2]};
    const double r = std::acos(1.0 - 10.0 * 6.76e-5 / (2 * M_PI));
    const double in[3] = {std::cos(20 * kDeg + 0.99 * r), 0.0, std::sin(20 * kDeg + 0.99 * r)};
    const double out[3] = {std::cos(20 * kDeg + 1.01 * r), 0.0, std::sin(20 * kDeg + 1.01 * r)};
    EXPECT_TRUE(air.in_light_disc(1.0, at_sun, sun, 1.0) && air.in_light_disc(1.0, in, sun, 1.0));
    EXPECT_FALSE(air.in_light_disc(1.0, out, sun, 1.0));
    EXPECT_TRUE(air.in_light_disc(1.0, out, sun, 1.1)); // a larger factor widens the disc

    Rgb a, d;
    const Rgb s = sky(air, pos, at_sun, -1.0, sun), t = trans(air, pos, at_sun, -1.0);
    air.air_radiance(pos, at_sun, -1.0, sun, 0.5, 1.0, &a[0], &a[1], &a[2]);
    air.light_disc_radiance(pos, at_sun, -1.0, sun, 0.5, 1.0, &d[0], &d[1], &d[2]);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(d[k], t[k] * 0.5 * 15.0, 1e-12);
        EXPECT_NEAR(a[k], s[k] + d[k], 1e-12);
    }
    // Over the cap all channels scale together, the largest landing on the cap.
    air.light_disc_radiance(pos, at_sun, -1.0, sun, 100.0, 1.0, &d[0], &d[1], &d[2]);
    EXPECT_NEAR(std::max(d[0], std::max(d[1], d[2])), 10.0, 1e-12);
    EXPECT_NEAR(d[0] / d[2], t[0] / t[2], 1e-12);
    // Outside the disc, or on a ray that does not escape, there is no disc.
    for (const auto& [dir, limit] : {std::pair(out, -1.0), std::pair(at_sun, 500.0)}) {
        air.light_disc_radiance(pos, dir, limit, sun, 0.5, 1.0, &d[0], &d[1], &d[2]);
        EXPECT_EQ(sum(d), 0.0);
    }
}

TEST(AirOptics, BadInputIsDefined)
{
    // Zero and negative haze visibilities and heights, a zero scattering exponent, no air at all.
    std::vector<HyAirOpticsParams> blocks(5, haze_only());
    blocks[0].haze_visibility = 0.0;
    blocks[1].haze_height = -5.0;
    blocks[1].clear_air_on = 1;
    blocks[2].haze_visibility = 1e-300;
    blocks[2].haze_height = 0.0;
    blocks[2].rainbow_style = 2;
    blocks[2].rainbow_thickness = -1.0;
    blocks[3] = clear_only();
    blocks[3].scattering_bias = 0.0;
    blocks[4].haze_on = 0;
    std::mt19937 rng(11);
    std::normal_distribution<double> nd;
    const double zero[3] = {0, 0, 0}, light[3] = {0, 0.6, -0.8}, at[3] = {0, 0, 10}, up[3] = {0, 0.6, 0.8};
    for (const auto& p : blocks) {
        HyAirFlatOptics air(p);
        for (int it = 0; it < 300; ++it) {
            const double pos[3] = {nd(rng) * 100, nd(rng) * 100, nd(rng) * 50};
            double dir[3] = {nd(rng), nd(rng), it % 5 ? nd(rng) : 0.0}, l[3] = {nd(rng), nd(rng), nd(rng)};
            normalise(l);
            normalise(dir); // exactly level now and then
            const double maxd = (it % 3 == 0) ? -1.0 : std::fabs(nd(rng)) * 1000.0;
            Rgb v = trans(air, pos, dir, maxd);
            for (double x : v)
                ASSERT_TRUE(std::isfinite(x) && x >= 0.0 && x <= 1.0);
            air.air_radiance(pos, dir, maxd, l, 1.0, 1.0, &v[0], &v[1], &v[2]);
            for (double x : v)
                ASSERT_TRUE(std::isfinite(x) && x >= 0.0) << it;
            // Light at or below the horizon: no scattered light.
            const double below[3] = {l[0], l[1], std::fabs(l[2])};
            EXPECT_EQ(sum(sky(air, pos, dir, maxd, below)), 0.0);
        }
        // Zero-length directions: unit transmittance, no radiance; without air the sky is dark.
        EXPECT_EQ(sum(trans(air, at, zero, -1.0)), 3.0);
        EXPECT_EQ(sum(sky(air, at, light, -1.0, zero)), 0.0);
    }
    HyAirFlatOptics none(blocks[4]);
    EXPECT_EQ(none.air_mode(), HyAirFlatOptics::kNoAir);
    EXPECT_EQ(sum(sky(none, at, up, -1.0, light)), 0.0);
    EXPECT_EQ(sum(trans(none, at, up, -1.0)), 3.0);
}

} // namespace
