#include "ocean/HyOceanSurfaceGridElement_swell.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using hywave::report;

HyOceanSurfaceGridElement_swell::HyOceanSurfaceGridElement_swell(const HyOcean_record& record,
                                                                 const HySwell_data& swell)
    : HyOcean_data(record)
{
    kind = kKind;
    ncols = nx / 2 + 1;
    nrows = ny;
    dkx = 1.0 / (nx * dx);
    dky = 1.0 / (ny * dy);
    cell_area = dkx * dky;
    k_max = std::min(1.0 / (2.0 * dx) - dkx, 1.0 / (2.0 * dy) - dky);
    set_wave_parameters(swell.height, swell.length, swell.roughness, swell.oscillations, swell.direction,
                        swell.vertical_scale);
}

HyOceanSurfaceGridElement_swell::~HyOceanSurfaceGridElement_swell()
{
    if (initial_state)
        hymem::release(initial_state);
}

void HyOceanSurfaceGridElement_swell::set_wave_parameters(const double& h, const double& length,
                                                          const double& roughness, const double& oscillations,
                                                          const double& theta, const double& vscale)
{
    height = h;
    direction = theta;
    vertical_scale = vscale;
    auto positive = [](double v) { return v > 0.0 && std::isfinite(v); };
    contributes = positive(length) && positive(roughness) && positive(oscillations) && std::isfinite(h) &&
                  std::isfinite(theta) && positive(dkx) && positive(dky);
    if (!contributes) {
        k0 = k0x = k0y = spread_along = spread_across = 0.0;
        cov_xx = cov_yy = cov_xy = cov_det = peak = 0.0;
        return;
    }
    const double c = std::cos(theta), s = std::sin(theta);
    k0 = 1.0 / length;
    // Snap down to lattice points so that the swell is exactly periodic on the patch.
    k0x = std::trunc(std::floor(c * k0 / dkx)) * dkx;
    k0y = std::trunc(std::floor(s * k0 / dky)) * dky;
    spread_along = k0 * roughness;
    spread_across = k0 * oscillations;
    const double s1 = spread_along * spread_along, s2 = spread_across * spread_across;
    cov_xx = s1 * c * c + s2 * s * s;
    cov_yy = s1 * s * s + s2 * c * c;
    cov_xy = (s1 - s2) * s * c;
    cov_det = cov_yy * cov_xx - cov_xy * cov_xy;
    if (cov_det <= 0.0)
        cov_det = s1 * 1e-5 * s2;
    peak = h * h / (std::sqrt(cov_det) * 6.283185307);
    if (!(cov_det > 0.0) || !std::isfinite(peak)) {
        // Spreads too small for double precision: the lobe is undefined.
        contributes = false;
        peak = 0.0;
    }
}

double HyOceanSurfaceGridElement_swell::spectrum(double kx, double ky) const
{
    if (!contributes || kx * kx + ky * ky > k_max * k_max)
        return 0.0;
    auto lobe = [this](double u, double v) {
        return std::exp(-(u * u * cov_yy + v * v * cov_xx - 2.0 * u * v * cov_xy) / (2.0 * cov_det));
    };
    return 0.5 * peak * (lobe(kx - k0x, ky - k0y) + lobe(-kx - k0x, -ky - k0y));
}

double HyOceanSurfaceGridElement_swell::weight(double kx, double ky) const
{
    const double w = std::sqrt(spectrum(kx, ky));
    return std::isfinite(w) ? w : 0.0;
}

int HyOceanSurfaceGridElement_swell::generate_kspace()
{
    if (!hywave::restart_initial_state(initial_state, state_version, cache,
                                       "HyOceanSurfaceGridElement_swell::generate_kspace", nx, ny, dx, dy))
        return 0;
    const std::size_t values = static_cast<std::size_t>(ncols) * static_cast<std::size_t>(nrows);
    initial_state = hymem::allocate_array<float>(2 * values, true);
    if (!initial_state) {
        report("HyOceanSurfaceGridElement_swell::generate_kspace ");
        report("unable to allocate initial state array ");
        return 0;
    }
    generator.set_mode(HyRandom::kModeShuffle);
    generator.seed(seed);
    // Only the phases are random: every value has the same amplitude before spectral weighting.
    const double a = std::sqrt(cell_area);
    for (std::size_t v = 0; v < values; ++v) {
        const double phi = generator.uniform() * 6.283185307;
        initial_state[2 * v] = static_cast<float>(a * std::cos(phi));
        initial_state[2 * v + 1] = static_cast<float>(a * std::sin(phi));
    }
    hywave::enforce_real_symmetry(initial_state, ncols, nrows);
    return 1;
}

bool HyOceanSurfaceGridElement_swell::rebuild_cache()
{
    const double key[16] = {k0x,     k0y,  cov_xx,      cov_yy, cov_xy,        cov_det,
                            peak,    k_max, direction,  double(loop), loop_time, double(state_version),
                            double(contributes), double(ncols), double(nrows), dkx * dky};
    if (cache.matches(key, 16))
        return true;
    const hywave::HyLattice lat{ncols, nrows, dkx, dky, std::cos(direction), std::sin(direction)};
    if (!hywave::build_cache(cache, initial_state, lat, *this, true,
                             [this](double kx, double ky) { return weight(kx, ky); }))
        return false;
    cache.remember(key, 16);
    return true;
}

void HyOceanSurfaceGridElement_swell::evolve_to_time(double t)
{
    hywave::evolve_frame(heights, initial_state, ncols, nrows, cache, direct_only, spectrum_pending, t,
                         [this] { return rebuild_cache(); }, [this](double t0) { evolve_to_time_direct(t0); });
}

void HyOceanSurfaceGridElement_swell::evolve_to_time_direct(double t)
{
    if (!heights || !initial_state)
        return;
    if (!std::isfinite(t))
        t = 0.0;
    const hywave::HyLattice lat{ncols, nrows, dkx, dky, std::cos(direction), std::sin(direction)};
    if (hywave::evolve_direct(heights, initial_state, lat, *this, t, hywave::HyPhaseMode::height, true,
                              [this](double kx, double ky) { return weight(kx, ky); }))
        spectrum_pending = true;
}

void HyOceanSurfaceGridElement_swell::transform_to_heights()
{
    // The swell's vertical scale is stored only: its heights are those of its spectrum. Only a freshly
    // evolved spectrum is transformed (see the wind-wave element).
    if (!heights || nx < 2 || ny < 1 || (nx % 2) != 0 || !spectrum_pending)
        return;
    spectrum_pending = false;
    hywave::transform_or_flatten(transform, heights, nx, ny);
}

void HyOceanSurfaceGridElement_swell::evolve_filtered_to_time(float* array, double t, double a, double b, double c)
{
    if (!array || !initial_state)
        return;
    if (!std::isfinite(t))
        t = 0.0;
    const hywave::HyLattice lat{ncols, nrows, dkx, dky, std::cos(direction), std::sin(direction)};
    auto filter = [&](double kx, double ky) { return hywave::filtered_weight(spectrum(kx, ky), kx, ky, a, b, c); };
    if (hywave::evolve_direct(array, initial_state, lat, *this, t, hywave::HyPhaseMode::height, true, filter))
        hywave::transform_or_flatten(transform, array, nx, ny);
}

void HyOceanSurfaceGridElement_swell::upgrade_potential_field(double t)
{
    if (!heights || !initial_state)
        return;
    if (!std::isfinite(t))
        t = 0.0;
    const hywave::HyLattice lat{ncols, nrows, dkx, dky, std::cos(direction), std::sin(direction)};
    if (!hywave::evolve_direct(heights, initial_state, lat, *this, t, hywave::HyPhaseMode::potential, true,
                               [this](double kx, double ky) { return -9.81 * weight(kx, ky); }))
        return;
    spectrum_pending = true;
    transform_to_heights();
    std::fputs("upgrading potential field \n", stdout);
    std::fflush(stdout);
}

double HyOceanSurfaceGridElement_swell::get_node_height(int i, int j)
{
    return hywave::node_height(heights, ncols, nrows, i, j);
}
