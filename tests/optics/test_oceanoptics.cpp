// Water optics: Fresnel tables against the closed-form equations, the slope-averaged table as the sea
// smooths, water types, slope statistics, refraction invariants, the standard normal table and glitter.
#include "optics/HyOceanOptics.h"
#include "tests/optics/optics_test_support.h"

#include <array>
#include <optional>
#include <random>

using optics_test::normalise;
using render_test::AllocationBudget;

namespace {

using Rgb = std::array<double, 3>;

// Unpolarised Fresnel reflectance from n1 into n2 at incidence cosine ci: the textbook s and p amplitudes.
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
    return {.water_type = 0, .index_of_refraction = {1.331, 1.336, 1.343}};
}

Rgb reflectance(const HyOceanOptics& o, const double* n, const double* d, int side)
{
    Rgb r;
    o.fresnel_reflectance(n, d, side, &r[0], &r[1], &r[2]);
    return r;
}
Rgb lookup(const HyOceanOptics& o, double c)
{
    Rgb r;
    o.fresnel_lookup(c, r.data());
    return r;
}
Rgb glitter(const HyOceanOptics& o, const double* n, const double* l, const double* v, int side)
{
    Rgb g;
    o.glitter(n, l, v, side, &g[0], &g[1], &g[2]);
    return g;
}
bool finite(const Rgb& v)
{
    return std::isfinite(v[0] + v[1] + v[2]);
}

const double kUp[3] = {0.0, 0.0, 1.0};

TEST(OceanOptics, FresnelTableMatchesClosedFormOnBothSides)
{
    HyOceanOptics o(distinct_indices());
    const HyReflectanceTable* t = o.table();
    ASSERT_NE(t, nullptr);
    for (int k = 0; k < 3; ++k) {
        const double n = o.index_of_refraction(k);
        EXPECT_NEAR(o.critical_cos2(k), 1.0 - 1.0 / (n * n), 1e-15);
        for (int i = 1; i < 200; ++i) {
            if (i == 100)
                continue; // grazing: both sides meet at total reflection
            const double c = -1.0 + 0.01 * i;
            // Negative cosine: light enters the water from the air; positive: it leaves the water.
            const double expect = (c < 0.0) ? fresnel_closed_form(1.0, n, c) : fresnel_closed_form(n, 1.0, c);
            EXPECT_NEAR(t->fresnel[k][i], expect, 1e-12) << "channel " << k << " cosine " << c;
        }
        EXPECT_EQ(t->fresnel[k][100], 1.0);
        // Between samples the lookup interpolates linearly; out-of-range cosines take the end entries.
        EXPECT_NEAR(lookup(o, -0.7275)[k], 0.75 * lookup(o, -0.73)[k] + 0.25 * lookup(o, -0.72)[k], 1e-12);
        EXPECT_EQ(lookup(o, -5.0)[k], t->fresnel[k][0]);
        EXPECT_EQ(lookup(o, 5.0)[k], t->fresnel[k][200]);
    }

    // Through fresnel_reflectance from above (no slope table) and below; at normal incidence exactly
    // ((n - 1) / (n + 1))^2, each channel with its own index.
    for (double deg : {0.0, 10.0, 35.0, 60.0, 80.0}) {
        const double th = deg * M_PI / 180.0;
        const double down[3] = {std::sin(th), 0.0, -std::cos(th)}, up[3] = {std::sin(th), 0.0, std::cos(th)};
        const Rgb from_air = reflectance(o, kUp, down, 1), from_water = reflectance(o, kUp, up, -1);
        for (int k = 0; k < 3; ++k) {
            const double n = o.index_of_refraction(k), q = (n - 1.0) / (n + 1.0);
            // Linear interpolation in the cosine: within the table's curvature error.
            const double tol = deg == 0.0 ? 1e-15 : 2e-3, c = std::cos(th);
            EXPECT_NEAR(from_air[k], deg == 0.0 ? q * q : fresnel_closed_form(1.0, n, c), tol) << deg;
            EXPECT_NEAR(from_water[k], fresnel_closed_form(n, 1.0, c), deg > 45 ? 1e-12 : tol) << deg;
        }
    }
    // Any side other than +-1 reflects everything.
    const double down[3] = {0.0, 0.0, -1.0};
    for (int side : {0, 2, -2})
        EXPECT_EQ(reflectance(o, kUp, down, side), (Rgb{1.0, 1.0, 1.0})) << side;
}

TEST(OceanOptics, SlopeStatisticsAndTheSlopeAveragedReflectance)
{
    for (double calm : {0.0, -3.0}) {
        HyOceanOptics o({.wind_speed = calm});
        EXPECT_DOUBLE_EQ(o.sigma_small(), std::sqrt(0.0015));
        EXPECT_DOUBLE_EQ(o.sigma_large(), std::sqrt(0.003));
    }
    // When both parts are above their floors, the unresolved variance of two axes plus the resolved one
    // is the Cox-Munk total 0.003 + 0.00508 W.
    for (double w : {3.0, 7.0, 12.0}) {
        HyOceanOptics o({.wind_speed = w, .shortest_wave_length = 0.001}); // raised to 0.01
        EXPECT_DOUBLE_EQ(o.shortest_wave_length(), 0.01);
        const double ss = o.sigma_small(), sl = o.sigma_large();
        EXPECT_NEAR(2.0 * ss * ss + sl * sl, 0.003 + 0.00508 * w, 1e-12) << w;
        // Split in proportion to the log-frequency ranges below and above the grid cutoff.
        const double kp = 6.572700000000001 / (w * w * 2.0 * 3.1415926535);
        EXPECT_NEAR((2.0 * ss * ss) / (sl * sl), std::log(100.0 / 1.0) / std::log(1.0 / kp), 1e-9);
    }

    // Moving the shortest wave towards the grid's cutoff leaves less and less slope unresolved: each
    // channel tends to the Fresnel row of its own index.
    HyOceanOpticsParams p = distinct_indices();
    p.wind_speed = 5.0;
    p.resolved_cutoff_length = 0.5;
    double prev_err = 1e9, prev_sigma = 1e9;
    for (double lmin : {0.9, 0.99, 0.999, 0.9999}) {
        p.shortest_wave_length = lmin;
        HyOceanOptics o(p);
        EXPECT_LT(o.sigma_small(), prev_sigma);
        prev_sigma = o.sigma_small();
        ASSERT_EQ(o.prepare_slope_table(), 1);
        double err = 0.0;
        const HyTableAxis& va = o.table()->view_axis;
        for (int v = 2; v < va.count; ++v) {
            const double mu = va.start + v * va.step;
            const double d[3] = {std::sqrt(1.0 - mu * mu), 0.0, -mu};
            const Rgb a = reflectance(o, kUp, d, 1), f = lookup(o, -mu);
            for (int k = 0; k < 3; ++k)
                err = std::max(err, std::fabs(a[k] - f[k]));
        }
        EXPECT_LT(err, prev_err + 1e-12);
        prev_err = err;
    }
    EXPECT_LT(prev_err, 1e-3);

    // With the default spread every averaged entry is a reflectance; new water makes the table stale.
    HyOceanOptics o(distinct_indices());
    ASSERT_EQ(o.prepare_slope_table(), 1);
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < HyReflectanceTable::kSlopeEntries; ++i)
            ASSERT_TRUE(o.table()->slope[k][i] >= 0.0 && o.table()->slope[k][i] <= 1.0) << k << " " << i;
    o.set_parameters(HyOceanOpticsParams());
    EXPECT_EQ(o.is_slope_table_ready(), 0);
}

TEST(OceanOptics, WaterTypesAndExplicitColour)
{
    HyOceanOpticsParams p{.water_type = 1};
    HyOceanOptics o(p);
    double r, g, b;
    o.get_attenuation_length(&r, &g, &b);
    // The tables hold floats: compare to single precision.
    EXPECT_NEAR(r, 1.0 / 0.56, 1e-6 * r);                   // 701 nm takes the 700 nm entry
    EXPECT_NEAR(g, 1.0 / (0.043 + 0.4 * 0.020), 1e-6 * g);  // 535 nm between 525 and 550
    EXPECT_NEAR(b, 1.0 / (0.019 - 0.92 * 0.001), 1e-6 * b); // 473 nm between 450 and 475
    o.get_water_color(&r, &g, &b);
    const double n2pi = 1.34 * 1.34 * 3.1415926535;
    EXPECT_NEAR(r, 0.0002 * 15.0 / n2pi, 1e-9);                           // above 0.7 um: last entry
    EXPECT_NEAR(g, (0.015 + 0.4 * (0.0105 - 0.015)) * 15.0 / n2pi, 1e-8); // 0.535 um
    EXPECT_NEAR(b, (0.074 + 0.92 * (0.053 - 0.074)) * 15.0 / n2pi, 1e-8); // 0.473 um

    p.water_type = 5;
    HyOceanOptics(p).get_attenuation_length(&r, &g, &b);
    EXPECT_NEAR(r, 1.0 / 0.66, 1e-6);
    // Table edges: at or below 350 nm the first entry.
    EXPECT_NEAR(HyOceanOptics::water_type_attenuation(1, 0.30), 0.062, 1e-7);
    EXPECT_NEAR(HyOceanOptics::water_type_attenuation(3, 0.4125), (0.051 + 0.042) / 2, 1e-7);
    EXPECT_NEAR(HyOceanOptics::water_type_reflectance(2, 0.39), 0.071, 1e-7);

    // Type 0 keeps what it is given; an unknown type has no colour and a 10 m length.
    p.water_color[2] = 0.4;
    p.attenuation_length[2] = 11;
    for (int type : {0, 9}) {
        p.water_type = type;
        HyOceanOptics(p).get_water_color(&r, &g, &b);
        EXPECT_EQ(b, type ? 0.0 : 0.4);
        EXPECT_EQ(r + g, type ? 0.0 : p.water_color[0] + p.water_color[1]);
        HyOceanOptics(p).get_attenuation_length(&r, &g, &b);
        EXPECT_NEAR(b, type ? 10.0 : 11.0, 1e-12);
    }
}

TEST(OceanOptics, ReflectAndRefractInvariants)
{
    HyOceanOptics o(distinct_indices());
    std::mt19937 rng(7);
    std::normal_distribution<double> nd;
    int checked = 0;
    auto dot = [](const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    for (int it = 0; it < 500; ++it) {
        double n[3] = {0.3 * nd(rng), 0.3 * nd(rng), 1.0}, d[3] = {nd(rng), nd(rng), nd(rng)};
        normalise(n);
        normalise(d);
        double r[3];
        o.reflect(n, d, r);
        const double cd = dot(n, d);
        EXPECT_NEAR(dot(r, r), 1.0, 1e-12);
        EXPECT_NEAR(dot(n, r), -cd, 1e-12);

        for (double eta : {1.34, 1.0 / 1.34}) {
            double t[3] = {7, 7, 7};
            const int ok = o.refract(n, d, eta, t);
            const double si = std::sqrt(std::max(0.0, 1.0 - cd * cd));
            // Snell: which side we come from decides whether the ratio divides or multiplies.
            const double st = (cd <= 0.0) ? si / eta : si * eta;
            if (st >= 1.0) {
                EXPECT_TRUE(ok == 0 && t[0] == 7.0); // untouched on total internal reflection
                continue;
            }
            ASSERT_EQ(ok, 1);
            ++checked;
            const double ct = dot(n, t);
            EXPECT_NEAR(dot(t, t), 1.0, 1e-9);
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

    // Per channel: channel 3 does not exist; out of the water beyond the critical angle nothing passes.
    const double d[3] = {0.6, 0.0, -0.8}, shallow_up[3] = {0.9, 0.0, std::sqrt(1 - 0.81)};
    double t[3] = {5, 5, 5};
    EXPECT_TRUE(o.refract_channel(kUp, d, 3, t) == 0 && t[0] == 5.0);
    EXPECT_EQ(o.refract_channel(kUp, d, 2, t), 1);
    EXPECT_NEAR(std::hypot(t[0], t[1]), 0.6 / 1.343, 1e-12);
    EXPECT_TRUE(o.critical_cos2(3) == 0.0 && o.critical_cos2(-1) == 0.0);
    EXPECT_EQ(o.refract_channel(kUp, shallow_up, 0, t), 0);
}

TEST(OceanOptics, NormalTableAndTheGlitterOfAnOverheadAndAnObliqueLight)
{
    // The standard normal table the glitter integrates with.
    const float* cdf = hy_standard_normal_table();
    for (int i = 0; i < kHyStandardNormalCount; ++i) {
        EXPECT_NEAR(cdf[i], 0.5 * std::erfc(-(i - 400) / 100.0 / std::sqrt(2.0)), 1e-7) << i;
        EXPECT_GE(cdf[i], cdf[std::max(i - 1, 0)]);
    }
    EXPECT_FLOAT_EQ(cdf[400], 0.5f);
    // With the light straight down and a level mean surface, the facets that send it to an eye at
    // zenith angle phi are tilted by phi/2; the glitter is their slope density (isotropic Gaussian)
    // times the facet reflectance over 4 cos^4 of the tilt.
    HyOceanOptics o(distinct_indices());
    const double s = o.sigma_small();
    const double light[3] = {0, 0, -1};
    for (double deg : {2.0, 5.0, 10.0}) {
        const double phi = deg * M_PI / 180.0;
        const double view[3] = {-std::sin(phi), 0.0, -std::cos(phi)};
        const Rgb g = glitter(o, kUp, light, view, 1);
        const double beta = phi / 2.0, tb = std::tan(beta);
        const double density = std::exp(-tb * tb / (2 * s * s)) / (2 * M_PI * s * s);
        const Rgb R = lookup(o, -std::cos(beta));
        const double c4 = std::pow(std::cos(beta), 4);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(g[k] / (R[k] * density / (4 * c4)), 1.0, 1e-6) << deg << " " << k;
    }
    // An oblique light: the glitter falls away from the mirror view (the eye looking along the light's
    // reflection reversed), symmetrically about the light's plane.
    const double th = 40.0 * M_PI / 180.0, oblique[3] = {std::sin(th), 0.0, -std::cos(th)};
    auto at = [&](double az_deg) {
        const double az = az_deg * M_PI / 180.0;
        const double view[3] = {-std::sin(th) * std::cos(az), -std::sin(th) * std::sin(az), -std::cos(th)};
        return glitter(o, kUp, oblique, view, 1)[0];
    };
    double prev = at(0.0);
    EXPECT_GT(prev, 0.0);
    for (double az = 1.0; az <= 12.0; az += 1.0) {
        const double v = at(az);
        EXPECT_LT(v, prev) << az;
        EXPECT_NEAR(v, at(-az), 1e-12 * (1 + v));
        prev = v;
    }
    // Looking up sees no glitter; neither does a mean normal with no vertical part.
    const double up[3] = {0.0, 0.3, 0.9}, flatn[3] = {1, 0, 0}, view[3] = {-std::sin(th), 0.0, -std::cos(th)};
    EXPECT_EQ(glitter(o, kUp, oblique, up, 1), (Rgb{0, 0, 0}));
    EXPECT_EQ(glitter(o, flatn, oblique, view, 1), (Rgb{0, 0, 0}));
}

TEST(OceanOptics, BadInputAndAMissingTableAreDefined)
{
    HyOceanOptics o(distinct_indices());
    o.prepare_slope_table();
    const double zero[3] = {0, 0, 0}, horiz[3] = {1, 0, 0}, d[3] = {0.6, 0, -0.8};
    const double* vectors[] = {zero, kUp, horiz, d};
    // Zero, level and ordinary vectors in every role, and random light, normals and views (straight up
    // now and then): reflectances in [0, 1], glitter finite and non-negative, rays finite.
    std::mt19937 rng(3);
    std::normal_distribution<double> nd;
    for (int it = 0; it < 2000; ++it) {
        double n[3] = {0.5 * nd(rng), 0.5 * nd(rng), 1.0 + 0.5 * nd(rng)}, l[3] = {nd(rng), nd(rng), nd(rng)},
               v[3] = {nd(rng), nd(rng), -std::fabs(nd(rng))};
        for (double* x : {n, l, v})
            normalise(x);
        if (it % 7 == 0)
            l[0] = l[1] = 0.0, l[2] = 1.0;
        const double *nn = it < 64 ? vectors[it % 4] : n, *ll = it < 64 ? vectors[it / 4 % 4] : l,
                     *vv = it < 64 ? vectors[it / 16 % 4] : v;
        for (int side : {1, -1}) {
            const Rgb g = glitter(o, nn, ll, vv, side), r = reflectance(o, nn, vv, side);
            ASSERT_TRUE(finite(g) && g[0] >= 0.0) << it;
            ASSERT_TRUE(finite(r) && r[0] >= 0.0 && r[0] <= 1.0) << it;
        }
        double out[3];
        o.reflect(nn, vv, out);
        EXPECT_TRUE(std::isfinite(out[0] + out[1] + out[2]));
        EXPECT_TRUE(!o.refract(nn, vv, 1.34, out) || std::isfinite(out[0] + out[1] + out[2]));
    }
    // A zero index of refraction and a zero slope scale.
    HyOceanOptics z({.slope_scale = 0.0, .index_of_refraction = {0.0, 1.34, 1.34}});
    EXPECT_EQ(z.critical_cos2(0), 0.0);
    EXPECT_EQ(glitter(z, kUp, d, d, 1), (Rgb{0, 0, 0}));
    EXPECT_TRUE(finite(reflectance(z, kUp, d, 1)));
    // Made without memory, the object lives on without its table; one that cannot be made is null.
    std::optional<HyOceanOptics> none;
    AllocationBudget refuse_all(0);
    none.emplace();
    EXPECT_EQ(new HyOceanOptics, nullptr);
    EXPECT_EQ(none->table(), nullptr);
    EXPECT_EQ(none->set_parameters(HyOceanOpticsParams()), 0);
    EXPECT_EQ(none->prepare_slope_table(), 0);
    EXPECT_EQ(reflectance(*none, kUp, d, 1)[0], 1.0);
    EXPECT_EQ(glitter(*none, kUp, d, d, 1)[0], 0.0);
}

} // namespace
