// Water optics: Fresnel tables against the closed-form Fresnel equations, the slope-averaged table in the
// limit of a smooth sea, water-type colours and attenuation, slope statistics, refraction invariants,
// the standard normal table and the glitter of an overhead light.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <random>

#include "optics/HyOceanOptics.h"
#include "platform/HyMemory.h"
#include "tests/optics/optics_test_support.h"
#include "tests/render/render_test_support.h"

using optics_test::normalise;
using optics_test::simpson;
using render_test::AllocationBudget;

namespace {

// Unpolarised Fresnel reflectance from medium n1 into medium n2 at incidence cosine ci (independent of
// the code under test: the textbook s and p amplitudes).
double fresnel_closed_form(double n1, double n2, double ci)
{
    ci = std::fabs(ci);
    const double si = std::sqrt(std::max(0.0, 1.0 - ci * ci));
    const double st = n1 / n2 * si;
    if (st >= 1.0)
        return 1.0;
    const double ct = std::sqrt(1.0 - st * st);
    const double rs = (n1 * ci - n2 * ct) / (n1 * ci + n2 * ct);
    const double rp = (n1 * ct - n2 * ci) / (n1 * ct + n2 * ci);
    return 0.5 * (rs * rs + rp * rp);
}

HyOceanOpticsParams distinct_indices()
{
    HyOceanOpticsParams p;
    p.water_type = 0;
    p.index_of_refraction[0] = 1.331;
    p.index_of_refraction[1] = 1.336;
    p.index_of_refraction[2] = 1.343;
    return p;
}

TEST(OceanOptics, FresnelTableMatchesClosedFormOnBothSides)
{
    HyOceanOptics o(distinct_indices());
    const HyReflectanceTable* t = o.table();
    ASSERT_NE(t, nullptr);
    for (int k = 0; k < 3; ++k) {
        const double n = o.index_of_refraction(k);
        const double ccrit = std::sqrt(o.critical_cos2(k));
        EXPECT_NEAR(o.critical_cos2(k), 1.0 - 1.0 / (n * n), 1e-15);
        for (int i = 1; i < 200; ++i) {
            if (i == 100)
                continue; // grazing: both sides meet at total reflection
            const double c = -1.0 + 0.01 * i;
            // Negative cosine: light enters the water from the air; positive: it leaves the water.
            const double expect = (c < 0.0) ? fresnel_closed_form(1.0, n, c) : fresnel_closed_form(n, 1.0, c);
            EXPECT_NEAR(t->fresnel[k][i], expect, 1e-12) << "channel " << k << " cosine " << c;
            double out[3];
            o.fresnel_lookup(c, out);
            EXPECT_NEAR(out[k], expect, 1e-12);
            // Total internal reflection exactly where the outgoing angle passes the critical angle.
            if (c > 0.0 && c < ccrit - 1e-9) {
                EXPECT_EQ(t->fresnel[k][i], 1.0);
            }
            if (c > ccrit + 1e-9) {
                EXPECT_LT(t->fresnel[k][i], 1.0);
            }
        }
        EXPECT_EQ(t->fresnel[k][100], 1.0);
    }
    // Between samples the lookup interpolates linearly.
    double a[3], b[3], m[3];
    o.fresnel_lookup(-0.73, a);
    o.fresnel_lookup(-0.72, b);
    o.fresnel_lookup(-0.7275, m);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(m[k], 0.75 * a[k] + 0.25 * b[k], 1e-12);
    // Out-of-range cosines take the end entries.
    o.fresnel_lookup(-5.0, a);
    o.fresnel_lookup(5.0, b);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(a[k], t->fresnel[k][0]);
        EXPECT_EQ(b[k], t->fresnel[k][200]);
    }

    // The same through fresnel_reflectance, from above (side 1, no slope table) and from below.
    const double n_up[3] = {0.0, 0.0, 1.0};
    for (double deg : {10.0, 35.0, 60.0, 80.0}) {
        const double th = deg * M_PI / 180.0;
        const double down[3] = {std::sin(th), 0.0, -std::cos(th)};
        const double up[3] = {std::sin(th), 0.0, std::cos(th)};
        double r, g, bl;
        o.fresnel_reflectance(n_up, down, 1, &r, &g, &bl);
        const double rgb[3] = {r, g, bl};
        double r2, g2, b2;
        o.fresnel_reflectance(n_up, up, -1, &r2, &g2, &b2);
        const double rgb2[3] = {r2, g2, b2};
        for (int k = 0; k < 3; ++k) {
            const double n = o.index_of_refraction(k);
            // Linear interpolation in the cosine: within the table's curvature error.
            EXPECT_NEAR(rgb[k], fresnel_closed_form(1.0, n, std::cos(th)), 2e-3) << deg;
            EXPECT_NEAR(rgb2[k], fresnel_closed_form(n, 1.0, std::cos(th)), deg > 45 ? 1e-12 : 2e-3) << deg;
        }
    }
}

TEST(OceanOptics, NormalIncidenceAndSideValues)
{
    HyOceanOptics o(distinct_indices());
    const double n_up[3] = {0.0, 0.0, 1.0};
    const double down[3] = {0.0, 0.0, -1.0};
    const double up[3] = {0.0, 0.0, 1.0};
    double r[3], s[3];
    o.fresnel_reflectance(n_up, down, 1, &r[0], &r[1], &r[2]);
    o.fresnel_reflectance(n_up, up, -1, &s[0], &s[1], &s[2]);
    for (int k = 0; k < 3; ++k) {
        const double n = o.index_of_refraction(k);
        const double q = (n - 1.0) / (n + 1.0);
        EXPECT_NEAR(r[k], q * q, 1e-15);
        EXPECT_NEAR(s[k], q * q, 1e-15);
    }
    EXPECT_NE(r[0], r[2]); // channels really use their own index
    for (int side : {0, 2, -2}) {
        double a, b, c;
        o.fresnel_reflectance(n_up, down, side, &a, &b, &c);
        EXPECT_EQ(a, 1.0);
        EXPECT_EQ(b, 1.0);
        EXPECT_EQ(c, 1.0);
    }
}

TEST(OceanOptics, SlopeAveragedReflectanceTendsToFresnelAsSpreadShrinks)
{
    // Moving the shortest wave towards the grid's cutoff leaves less and less slope unresolved.
    HyOceanOpticsParams p = distinct_indices();
    p.wind_speed = 5.0;
    p.resolved_cutoff_length = 0.5;
    const double n_up[3] = {0.0, 0.0, 1.0};
    double prev_err = 1e9, prev_sigma = 1e9;
    for (double lmin : {0.9, 0.99, 0.999, 0.9999}) {
        p.shortest_wave_length = lmin;
        HyOceanOptics o(p);
        EXPECT_LT(o.sigma_small(), prev_sigma);
        prev_sigma = o.sigma_small();
        ASSERT_EQ(o.prepare_slope_table(), 1);
        ASSERT_EQ(o.is_slope_table_ready(), 1);
        double err = 0.0;
        const HyTableAxis& va = o.table()->view_axis;
        for (int v = 2; v < va.count; ++v) {
            const double mu = va.start + v * va.step;
            const double d[3] = {std::sqrt(1.0 - mu * mu), 0.0, -mu};
            double a[3], f[3];
            o.fresnel_reflectance(n_up, d, 1, &a[0], &a[1], &a[2]);
            o.fresnel_lookup(-mu, f);
            for (int k = 0; k < 3; ++k)
                err = std::max(err, std::fabs(a[k] - f[k]));
        }
        EXPECT_LT(err, prev_err + 1e-12);
        prev_err = err;
    }
    EXPECT_LT(prev_err, 1e-3);

    // With the default spread every averaged entry is a reflectance and the table is finite.
    HyOceanOptics o(distinct_indices());
    ASSERT_EQ(o.prepare_slope_table(), 1);
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < HyReflectanceTable::kSlopeEntries; ++i) {
            ASSERT_TRUE(std::isfinite(o.table()->slope[k][i]));
            ASSERT_GE(o.table()->slope[k][i], 0.0);
            ASSERT_LE(o.table()->slope[k][i], 1.0);
        }
}

TEST(OceanOptics, SlopeTableChannelsFollowTheirOwnIndex)
{
    // One shared index and three distinct ones: a channel with the same index gets the same averages.
    HyOceanOpticsParams p;
    HyOceanOptics same(p);
    p.index_of_refraction[1] = 1.30;
    p.index_of_refraction[2] = 1.40;
    HyOceanOptics mixed(p);
    same.prepare_slope_table();
    mixed.prepare_slope_table();
    int differ1 = 0, differ2 = 0;
    for (int i = 0; i < HyReflectanceTable::kSlopeEntries; ++i) {
        EXPECT_EQ(same.table()->slope[0][i], mixed.table()->slope[0][i]);
        EXPECT_EQ(same.table()->slope[1][i], same.table()->slope[0][i]);
        differ1 += mixed.table()->slope[1][i] < mixed.table()->slope[0][i];
        differ2 += mixed.table()->slope[2][i] > mixed.table()->slope[0][i];
    }
    // A lower index reflects less, a higher one more, almost everywhere.
    EXPECT_GT(differ1, HyReflectanceTable::kSlopeEntries * 9 / 10);
    EXPECT_GT(differ2, HyReflectanceTable::kSlopeEntries * 9 / 10);
}

TEST(OceanOptics, PreparedTablesRebuildAlikeAndGoStaleWithNewWater)
{
    HyOceanOptics o;
    EXPECT_EQ(o.prepare_slope_table(), 1);
    // Rebuilding gives the same table.
    double before[3], after[3];
    const double n[3] = {0.1, -0.05, 0.99};
    double d[3] = {0.6, 0.2, -0.5};
    normalise(d);
    o.fresnel_reflectance(n, d, 1, &before[0], &before[1], &before[2]);
    EXPECT_EQ(o.prepare_slope_table(), 1);
    o.fresnel_reflectance(n, d, 1, &after[0], &after[1], &after[2]);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(before[k], after[k]);
    // New water parameters make the averaged table stale until prepared again.
    o.prepare_slope_table();
    o.set_parameters(HyOceanOpticsParams());
    EXPECT_EQ(o.is_slope_table_ready(), 0);
}

TEST(OceanOptics, WaterTypesAndExplicitColour)
{
    HyOceanOpticsParams p;
    p.water_type = 1;
    HyOceanOptics o(p);
    double r, g, b;
    o.get_attenuation_length(&r, &g, &b);
    // The tables hold floats: compare to single precision.
    EXPECT_NEAR(r, 1.0 / 0.56, 1e-6 * r);                 // 701 nm takes the 700 nm entry
    EXPECT_NEAR(g, 1.0 / (0.043 + 0.4 * 0.020), 1e-6 * g); // 535 nm between 525 and 550
    EXPECT_NEAR(b, 1.0 / (0.019 - 0.92 * 0.001), 1e-6 * b); // 473 nm between 450 and 475
    o.get_water_color(&r, &g, &b);
    const double n2pi = 1.34 * 1.34 * 3.1415926535;
    EXPECT_NEAR(r, 0.0002 * 15.0 / n2pi, 1e-9);                          // above 0.7 um: last entry
    EXPECT_NEAR(g, (0.015 + 0.4 * (0.0105 - 0.015)) * 15.0 / n2pi, 1e-8); // 0.535 um
    EXPECT_NEAR(b, (0.074 + 0.92 * (0.053 - 0.074)) * 15.0 / n2pi, 1e-8); // 0.473 um

    // Clearer water (type 1) lets blue further than murky water (type 5); red is short in all of them.
    double r5, g5, b5;
    p.water_type = 5;
    HyOceanOptics o5(p);
    o5.get_attenuation_length(&r5, &g5, &b5);
    o.get_attenuation_length(&r, &g, &b);
    EXPECT_GT(b, b5);
    EXPECT_GT(b, r);
    EXPECT_NEAR(r5, 1.0 / 0.66, 1e-6);
    // Table edges: at or below 350 nm the first entry.
    EXPECT_NEAR(HyOceanOptics::water_type_attenuation(1, 0.30), 0.062, 1e-7);
    EXPECT_NEAR(HyOceanOptics::water_type_attenuation(3, 0.4125), (0.051 + 0.042) / 2, 1e-7);
    EXPECT_NEAR(HyOceanOptics::water_type_reflectance(2, 0.39), 0.071, 1e-7);

    // Type 0 keeps what it is given; an unknown type has no colour and a 10 m length.
    p.water_type = 0;
    p.water_color[2] = 0.4;
    p.attenuation_length[2] = 11;
    HyOceanOptics o0(p);
    o0.get_water_color(&r, &g, &b);
    EXPECT_EQ(b, 0.4);
    o0.get_attenuation_length(&r, &g, &b);
    EXPECT_EQ(b, 11);
    p.water_type = 9;
    HyOceanOptics o9(p);
    o9.get_water_color(&r, &g, &b);
    EXPECT_EQ(r + g + b, 0.0);
    o9.get_attenuation_length(&r, &g, &b);
    EXPECT_NEAR(r, 10.0, 1e-12);
}

TEST(OceanOptics, SlopeStatistics)
{
    HyOceanOpticsParams p;
    p.wind_speed = 0.0;
    HyOceanOptics calm(p);
    EXPECT_DOUBLE_EQ(calm.sigma_small(), std::sqrt(0.0015));
    EXPECT_DOUBLE_EQ(calm.sigma_large(), std::sqrt(0.003));
    p.wind_speed = -3.0;
    HyOceanOptics neg(p);
    EXPECT_DOUBLE_EQ(neg.sigma_small(), std::sqrt(0.0015));

    // When both parts are above their floors, the unresolved variance of two axes plus the resolved one
    // is the Cox-Munk total 0.003 + 0.00508 W.
    p.shortest_wave_length = 0.001; // raised to 0.01
    for (double w : {3.0, 7.0, 12.0}) {
        p.wind_speed = w;
        HyOceanOptics o(p);
        EXPECT_DOUBLE_EQ(o.shortest_wave_length(), 0.01);
        const double ss = o.sigma_small(), sl = o.sigma_large();
        EXPECT_NEAR(2.0 * ss * ss + sl * sl, 0.003 + 0.00508 * w, 1e-12) << w;
        // Split in proportion to the log-frequency ranges below and above the grid cutoff.
        const double kp = 6.572700000000001 / (w * w * 2.0 * 3.1415926535);
        EXPECT_NEAR((2.0 * ss * ss) / (sl * sl), std::log(100.0 / 1.0) / std::log(1.0 / kp), 1e-9);
    }
}

TEST(OceanOptics, ReflectAndRefractInvariants)
{
    HyOceanOptics o(distinct_indices());
    std::mt19937 rng(7);
    std::normal_distribution<double> nd;
    int checked = 0;
    for (int it = 0; it < 500; ++it) {
        double n[3] = {0.3 * nd(rng), 0.3 * nd(rng), 1.0};
        double d[3] = {nd(rng), nd(rng), nd(rng)};
        normalise(n);
        normalise(d);
        double r[3];
        o.reflect(n, d, r);
        EXPECT_NEAR(r[0] * r[0] + r[1] * r[1] + r[2] * r[2], 1.0, 1e-12);
        const double cd = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
        EXPECT_NEAR(n[0] * r[0] + n[1] * r[1] + n[2] * r[2], -cd, 1e-12);

        for (double eta : {1.34, 1.0 / 1.34}) {
            double t[3] = {7, 7, 7};
            const int ok = o.refract(n, d, eta, t);
            const double si = std::sqrt(std::max(0.0, 1.0 - cd * cd));
            // Snell: which side we come from decides whether the ratio divides or multiplies.
            const double st = (cd <= 0.0) ? si / eta : si * eta;
            if (st >= 1.0) {
                EXPECT_EQ(ok, 0);
                EXPECT_EQ(t[0], 7.0); // untouched on total internal reflection
                continue;
            }
            ASSERT_EQ(ok, 1);
            ++checked;
            EXPECT_NEAR(t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1.0, 1e-9);
            const double ct = n[0] * t[0] + n[1] * t[1] + n[2] * t[2];
            EXPECT_NEAR(std::sqrt(std::max(0.0, 1.0 - ct * ct)), st, 1e-9);
            EXPECT_GT(ct * cd, 0.0); // keeps going through the surface
            // Light paths are reversible.
            const double back_in[3] = {-t[0], -t[1], -t[2]};
            double back[3];
            ASSERT_EQ(o.refract(n, back_in, eta, back), 1);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(back[i], -d[i], 1e-9);
        }
    }
    EXPECT_GT(checked, 500);

    const double nz[3] = {0, 0, 1};
    const double d[3] = {0.6, 0.0, -0.8};
    double t[3] = {5, 5, 5};
    EXPECT_EQ(o.refract_channel(nz, d, 3, t), 0);
    EXPECT_EQ(t[0], 5.0);
    EXPECT_EQ(o.refract_channel(nz, d, 2, t), 1);
    EXPECT_NEAR(std::hypot(t[0], t[1]), 0.6 / 1.343, 1e-12);
    EXPECT_EQ(o.critical_cos2(3), 0.0);
    EXPECT_EQ(o.critical_cos2(-1), 0.0);
    // Out of the water beyond the critical angle: total internal reflection.
    const double shallow_up[3] = {0.9, 0.0, std::sqrt(1 - 0.81)};
    EXPECT_EQ(o.refract_channel(nz, shallow_up, 0, t), 0);
}

TEST(OceanOptics, StandardNormalTable)
{
    const float* phi = hy_standard_normal_table();
    // Independent oracle: Simpson integration of the Gaussian density from -9.
    auto cdf = [](double x) { return simpson([](double t) { return std::exp(-t * t / 2) / std::sqrt(2 * M_PI); }, -9.0, x); };
    for (int i = 0; i < kHyStandardNormalCount; ++i) {
        const double x = (i - 400) / 100.0;
        EXPECT_NEAR(phi[i], 0.5 * std::erfc(-x / std::sqrt(2.0)), 1e-7) << i;
        if (i % 50 == 0) {
            EXPECT_NEAR(phi[i], cdf(x), 1e-7) << i;
        }
        EXPECT_NEAR(double(phi[i]) + double(phi[800 - i]), 1.0, 2e-7);
        if (i > 0) {
            EXPECT_GE(phi[i], phi[i - 1]);
        }
    }
    EXPECT_FLOAT_EQ(phi[400], 0.5f);
}

TEST(OceanOptics, GlitterOfAnOverheadLight)
{
    // With the light straight down and a level mean surface, the facets that send it to an eye at
    // zenith angle phi are tilted by phi/2; the glitter is their slope density (isotropic Gaussian)
    // times the facet reflectance over 4 cos^4 of the tilt.
    HyOceanOptics o(distinct_indices());
    const double s = o.sigma_small();
    const double n[3] = {0, 0, 1};
    const double light[3] = {0, 0, -1};
    for (double deg : {2.0, 5.0, 10.0}) {
        const double phi = deg * M_PI / 180.0;
        const double view[3] = {-std::sin(phi), 0.0, -std::cos(phi)};
        double g[3];
        o.glitter(n, light, view, 1, &g[0], &g[1], &g[2]);
        const double beta = phi / 2.0, tb = std::tan(beta);
        const double density = std::exp(-tb * tb / (2 * s * s)) / (2 * M_PI * s * s);
        double R[3];
        o.fresnel_lookup(-std::cos(beta), R);
        for (int k = 0; k < 3; ++k) {
            const double expect = R[k] * density / (4 * std::pow(std::cos(beta), 4));
            EXPECT_NEAR(g[k] / expect, 1.0, 1e-6) << deg << " channel " << k;
        }
    }
}

TEST(OceanOptics, GlitterShape)
{
    HyOceanOpticsParams p = distinct_indices();
    HyOceanOptics o(p);
    const double n[3] = {0, 0, 1};
    const double th = 40.0 * M_PI / 180.0;
    const double light[3] = {std::sin(th), 0.0, -std::cos(th)};
    // Mirror view: the eye looks along the light's reflection reversed.
    auto at = [&](double az_deg, int side, int k) {
        const double az = az_deg * M_PI / 180.0;
        const double view[3] = {-std::sin(th) * std::cos(az), -std::sin(th) * std::sin(az), -std::cos(th)};
        double g[3];
        o.glitter(n, light, view, side, &g[0], &g[1], &g[2]);
        return g[k];
    };
    double prev = at(0.0, 1, 0);
    EXPECT_GT(prev, 0.0);
    for (double az = 1.0; az <= 12.0; az += 1.0) {
        const double v = at(az, 1, 0);
        EXPECT_LT(v, prev) << az;
        EXPECT_NEAR(v, at(-az, 1, 0), 1e-12 * (1 + v)); // mirror symmetry about the light's plane
        prev = v;
    }
    // Looking up sees no glitter; neither does a mean normal with no vertical part.
    double g[3];
    const double up[3] = {0.0, 0.3, 0.9};
    o.glitter(n, light, up, 1, &g[0], &g[1], &g[2]);
    EXPECT_EQ(g[0] + g[1] + g[2], 0.0);
    const double flatn[3] = {1, 0, 0};
    const double view[3] = {-std::sin(th), 0.0, -std::cos(th)};
    o.glitter(flatn, light, view, 1, &g[0], &g[1], &g[2]);
    EXPECT_EQ(g[0] + g[1] + g[2], 0.0);

    // Equal indices: one glitter, the same in every channel.
    HyOceanOptics same;
    same.glitter(n, light, view, 1, &g[0], &g[1], &g[2]);
    EXPECT_GT(g[0], 0.0);
    EXPECT_EQ(g[0], g[1]);
    EXPECT_EQ(g[1], g[2]);

    // Transmitted light (side -1) stays finite and non-negative.
    const double n_down[3] = {0, 0, -1};
    o.glitter(n_down, light, view, -1, &g[0], &g[1], &g[2]);
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(std::isfinite(g[k]));
        EXPECT_GE(g[k], 0.0);
    }
}

TEST(OceanOptics, BadInputIsDefined)
{
    HyOceanOptics o(distinct_indices());
    o.prepare_slope_table();
    const double zero[3] = {0, 0, 0};
    const double nz[3] = {0, 0, 1};
    const double horiz[3] = {1, 0, 0};
    const double d[3] = {0.6, 0, -0.8};
    double r, g, b;
    for (const double* nn : {zero, nz, horiz})
        for (const double* dd : {zero, d, horiz}) {
            for (int side : {1, -1}) {
                o.fresnel_reflectance(nn, dd, side, &r, &g, &b);
                EXPECT_TRUE(std::isfinite(r) && std::isfinite(g) && std::isfinite(b));
                EXPECT_GE(r, 0.0);
                EXPECT_LE(r, 1.0);
                o.glitter(nn, dd, dd, side, &r, &g, &b);
                EXPECT_TRUE(std::isfinite(r) && std::isfinite(g) && std::isfinite(b));
                o.glitter(nn, zero, d, side, &r, &g, &b);
                EXPECT_TRUE(std::isfinite(r) && std::isfinite(g) && std::isfinite(b));
            }
            double out[3];
            o.reflect(nn, dd, out);
            EXPECT_TRUE(std::isfinite(out[0] + out[1] + out[2]));
            if (o.refract(nn, dd, 1.34, out)) {
                EXPECT_TRUE(std::isfinite(out[0] + out[1] + out[2]));
            }
        }
    // Light straight up, below the horizon, or along the surface.
    std::mt19937 rng(3);
    std::normal_distribution<double> nd;
    for (int it = 0; it < 2000; ++it) {
        double n[3] = {0.5 * nd(rng), 0.5 * nd(rng), 1.0 + 0.5 * nd(rng)};
        double l[3] = {nd(rng), nd(rng), nd(rng)};
        double v[3] = {nd(rng), nd(rng), -std::fabs(nd(rng))};
        normalise(n);
        normalise(l);
        normalise(v);
        if (it % 7 == 0)
            l[0] = l[1] = 0.0, l[2] = 1.0;
        for (int side : {1, -1}) {
            o.glitter(n, l, v, side, &r, &g, &b);
            ASSERT_TRUE(std::isfinite(r) && std::isfinite(g) && std::isfinite(b)) << it;
            ASSERT_GE(r, 0.0);
            o.fresnel_reflectance(n, v, side, &r, &g, &b);
            ASSERT_TRUE(std::isfinite(r) && r >= 0.0 && r <= 1.0) << it;
        }
    }
    // A zero index of refraction and a zero slope scale.
    HyOceanOpticsParams p;
    p.index_of_refraction[0] = 0.0;
    p.slope_scale = 0.0;
    HyOceanOptics z(p);
    EXPECT_EQ(z.critical_cos2(0), 0.0);
    z.glitter(nz, d, d, 1, &r, &g, &b);
    EXPECT_EQ(r + g + b, 0.0);
    z.fresnel_reflectance(nz, d, 1, &r, &g, &b);
    EXPECT_TRUE(std::isfinite(r) && std::isfinite(g));
}

TEST(OceanOptics, MissingTableIsAResultNotACrash)
{
    // Made without memory, the object lives on without its table.
    std::optional<HyOceanOptics> o;
    {
        AllocationBudget refuse_all(0);
        o.emplace();
    }
    EXPECT_EQ(o->table(), nullptr);
    EXPECT_EQ(o->set_parameters(HyOceanOpticsParams()), 0);
    EXPECT_EQ(o->prepare_slope_table(), 0);
    const double n[3] = {0, 0, 1}, d[3] = {0, 0.6, -0.8};
    double r, g, b;
    o->fresnel_reflectance(n, d, 1, &r, &g, &b);
    EXPECT_EQ(r, 1.0);
    o->glitter(n, d, d, 1, &r, &g, &b);
    EXPECT_EQ(r, 0.0);
    // An object that cannot be made at all is a null pointer.
    AllocationBudget refuse_all(0);
    EXPECT_EQ(new HyOceanOptics, nullptr);
}

} // namespace
