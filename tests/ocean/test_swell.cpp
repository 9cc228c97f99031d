// Swell element: lattice snapping, the rotated lobe, random phases of equal amplitude, undefined
// parameters, time derivatives and travel.
#include "ocean/HyOceanSurfaceGridElement_swell.h"
#include "ocean/HySpectralTransform.h"
#include "tests/ocean/OceanTestSupport.h"

namespace {

using namespace oceantest;

HyOcean_record swell_record(Field& p, double spacing, int seed = 3345)
{
    return {.nx = p.nx, .ny = p.ny, .dx = spacing, .dy = spacing, .heights = p.array.data(), .seed = seed};
}

HySwell_data swell(double direction, double length, double roughness = 0.25, double oscillations = 0.25)
{
    return {.height = 2.0, .length = length, .direction = direction, .roughness = roughness,
            .oscillations = oscillations};
}

} // namespace

TEST(Swell, WaveVectorSnapsDownToTheLattice)
{
    // dk = 1/(64*4) = 1/256 exactly, so these ratios are exact. Each index snaps toward lower
    // indices on both sides of zero: -2.5 -> -3, 4 -> 4, 2.5 -> 2.
    const struct {
        double direction, length, kx;
    } cases[] = {{3.14159265358979323846, 102.4, -3.0}, {0.0, 64.0, 4.0}, {0.0, 102.4, 2.0}};
    Field p(64, 64);
    for (const auto& c : cases) {
        HyOceanSurfaceGridElement_swell s(swell_record(p, 4.0), swell(c.direction, c.length));
        EXPECT_DOUBLE_EQ(s.k0x, c.kx / 256) << c.length;
        EXPECT_DOUBLE_EQ(s.k0y, 0.0);
    }
}

TEST(Swell, RotatedAnisotropicLobeOnTheSnappedWaveVector)
{
    // The lobe against the closed form in the swell's own axes: Gaussian of spreads k0·roughness
    // along and k0·oscillations across the direction, peak h²/(2π σa σc), half at each of ±k0.
    Field p(128, 128);
    HyOceanSurfaceGridElement_swell s(swell_record(p, 2.0), swell(0.7, 60.0, 0.1, 0.4));
    const double c = std::cos(0.7), sn = std::sin(0.7), k0 = 1.0 / 60.0;
    const double sa = 0.1 * k0, sc = 0.4 * k0, peak = 4.0 / (2.0 * M_PI * sa * sc);
    auto lobe = [&](double u, double v) {
        const double along = u * c + v * sn, across = -u * sn + v * c;
        return std::exp(-0.5 * (along * along / (sa * sa) + across * across / (sc * sc)));
    };
    for (double du : {0.0, 0.004, -0.002})
        for (double dv : {0.0, 0.003, -0.005}) {
            const double kx = s.k0x + du, ky = s.k0y + dv;
            const double expect =
                0.5 * peak * (lobe(kx - s.k0x, ky - s.k0y) + lobe(-kx - s.k0x, -ky - s.k0y));
            EXPECT_NEAR(s.spectrum(kx, ky), expect, 1e-9 * peak) << du << "," << dv;
        }

    // The heights' own spectrum (forward transform) is strongest at the snapped wave vector (or its
    // mirror in the stored half).
    ASSERT_EQ(s.generate_kspace(), 1);
    s.evolve_to_time(3.0);
    s.transform_to_heights();
    std::vector<float> half_spectrum(p.array);
    ASSERT_EQ(hy_forward_transform(half_spectrum.data(), 128, 128), 1);
    std::vector<double> magnitude(128 * 65);
    for (std::size_t k = 0; k < magnitude.size(); ++k)
        magnitude[k] = std::hypot(half_spectrum[2 * k], half_spectrum[2 * k + 1]);
    const int best = int(std::max_element(magnitude.begin(), magnitude.end()) - magnitude.begin());
    const int best_i = best % 65, best_j = best / 65;
    const int ix = int(std::lround(s.k0x / s.dkx)), iy = int(std::lround(s.k0y / s.dky));
    const bool direct = best_i == ix && best_j == (iy + 128) % 128;
    const bool mirror = best_i == -ix && best_j == (128 - iy) % 128;
    EXPECT_TRUE(direct || mirror) << best_i << "," << best_j << " vs " << ix << "," << iy;
}

TEST(Swell, RandomPhasesOfEqualAmplitudeAndUndefinedParametersContributeNothing)
{
    Field p(32, 32);
    HyOceanSurfaceGridElement_swell s(swell_record(p, 5.0, 77), swell(0.3, 50.0));
    ASSERT_EQ(s.generate_kspace(), 1);
    const double a = 1.0 / (32 * 5.0);
    HyRandom rng;
    rng.set_mode(902);
    rng.seed(77);
    const float* v = s.get_initial_state();
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 17; ++i) {
            const double phi = rng.uniform() * 6.283185307;
            if (i == 0 || i == 16)
                continue; // these columns are rewritten by the real-field symmetry
            const int k = 2 * (j * 17 + i);
            ASSERT_NEAR(v[k], a * std::cos(phi), 1e-6 * a);
            ASSERT_NEAR(v[k + 1], a * std::sin(phi), 1e-6 * a);
        }
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_EQ(v[1], 0.0f);

    // Undefined parameters contribute nothing.
    const double nan = kNan;
    const HySwell_data cases[] = {{.height = 0.0},     {.length = 0.0}, {.length = -5},    {.roughness = 0.0},
                                  {.oscillations = 0}, {.length = nan}, {.direction = nan}};
    for (const HySwell_data& d : cases) {
        Field f(32, 32);
        HyOceanSurfaceGridElement_swell e(swell_record(f, 5.0), d);
        ASSERT_EQ(e.generate_kspace(), 1);
        e.evolve_to_time(3.0);
        e.transform_to_heights();
        EXPECT_EQ(max_abs(f.array.data(), 32 * 32), 0.0) << d.height << " " << d.length << " " << d.roughness;
        // Valid values revive it without new phases.
        e.set_wave_parameters(2.0, 40.0, 0.25, 0.25, 0.0, 0.0);
        e.evolve_to_time(3.0);
        e.transform_to_heights();
        EXPECT_GT(max_abs(f.array.data(), 32 * 32), 0.01);
    }
}

TEST(Swell, TimeDerivativesAgreeAndCrestsTravelAlongTheDirection)
{
    Field p(64, 64), filtered(64, 64);
    HyOceanSurfaceGridElement_swell s(swell_record(p, 4.0), swell(0.9, 40.0));
    ASSERT_EQ(s.generate_kspace(), 1);
    expect_time_derivatives(s, p.array.data(), 64, 64, 5.0, filtered.array.data());

    // Crests travel toward the direction: along x at the deep-water phase speed of 1/64 cycles per
    // metre, √(9.81·64/2π) ≈ 10 m/s, i.e. a quarter wavelength (four 4 m cells) in 1.6 s. The field
    // then matches the earlier one shifted forward, and is its negative shifted backward.
    Field q(64, 64);
    HyOceanSurfaceGridElement_swell t(swell_record(q, 4.0), swell(0.0, 64.0, 0.05, 0.3));
    ASSERT_EQ(t.generate_kspace(), 1);
    t.evolve_to_time(2.0);
    t.transform_to_heights();
    const std::vector<float> before(q.array);
    t.evolve_to_time(3.6);
    t.transform_to_heights();
    double ahead = 0, behind = 0, norm = 0;
    for (int j = 0; j < 64; ++j)
        for (int i = 0; i < 64; ++i) {
            const double now = q.array[j * 64 + i];
            ahead += now * before[j * 64 + (i + 60) % 64];
            behind += now * before[j * 64 + (i + 4) % 64];
            norm += now * now;
        }
    EXPECT_GT(ahead, 0.8 * norm);
    EXPECT_LT(behind, -0.5 * norm);
}
