// Template bodies of the shared spectral-lattice evolution (included by HyOceanSurfaceGridElement.h).
#pragma once

#include <algorithm>
#include <cmath>

namespace hywave {

namespace detail {

// Turns one complex value by the phase of its wave at time t. omega is the quantised angular
// frequency, s the travel sign.
inline void turn_value(float* v, double omega, double s, double t, HyPhaseMode mode)
{
    const double phi = omega * t;
    const double c = std::cos(phi), sn = std::sin(phi);
    const double re = v[0], im = v[1];
    if (mode == HyPhaseMode::height) {
        // (re + i im)(cos phi - i s sin phi)
        v[0] = static_cast<float>(re * c + im * s * sn);
        v[1] = static_cast<float>(im * c - re * s * sn);
    } else if (omega > 0.0) {
        // Velocity potential: the time integral of the height's phase factor.
        const double a = sn / omega, b = s * c / omega;
        v[0] = static_cast<float>(a * re - b * im);
        v[1] = static_cast<float>(a * im + b * re);
    } else {
        v[0] = 0.0f;
        v[1] = 0.0f;
    }
}

} // namespace detail

template <class Weight>
bool evolve_direct(float* dst, const float* initial, const HyLattice& lat, const HyOcean_data& data, double t,
                   HyPhaseMode mode, bool apply_weight, Weight&& weight)
{
    const int ncols = lat.ncols, nrows = lat.nrows;
    double* kx = hymem::allocate_array<double>(static_cast<std::size_t>(ncols));
    if (!kx) {
        report("unable to allocate kx");
        report_out_of_memory();
        return false;
    }
    double* kx_X_xwind = hymem::allocate_array<double>(static_cast<std::size_t>(ncols));
    if (!kx_X_xwind) {
        hymem::release(kx);
        report("unable to allocate kx_X_xwind");
        report_out_of_memory();
        return false;
    }
    double* kx_X_kx = hymem::allocate_array<double>(static_cast<std::size_t>(ncols));
    if (!kx_X_kx) {
        hymem::release(kx);
        hymem::release(kx_X_xwind);
        report("unable to allocate kx_X_kx");
        report_out_of_memory();
        return false;
    }
    for (int i = 0; i < ncols; ++i) {
        kx[i] = i * lat.dkx * kTwoPi;
        kx_X_xwind[i] = kx[i] * lat.dir_cos;
        kx_X_kx[i] = kx[i] * kx[i];
    }
    std::memcpy(dst, initial, sizeof(float) * 2 * static_cast<std::size_t>(ncols) * static_cast<std::size_t>(nrows));

    // One row at radian frequency ky (the sign says which half of the lattice the row is in).
    auto turn_row = [&](int j, double ky) {
        float* row = dst + 2 * static_cast<std::size_t>(j) * ncols;
        const double ky2 = ky * ky, ky_wind = ky * lat.dir_sin;
        for (int i = 0; i < ncols; ++i) {
            const double omega = data.quantise_frequency(kSqrtG * std::sqrt(std::sqrt(kx_X_kx[i] + ky2)));
            detail::turn_value(row + 2 * i, omega, travel_sign(kx_X_xwind[i] + ky_wind), t, mode);
        }
    };
    turn_row(0, 0.0);
    if (nrows > 1) {
        turn_row(nrows / 2, (nrows / 2) * lat.dky * kTwoPi);
        for (int j = 1; j < nrows / 2; ++j) {
            const double ky = j * lat.dky * kTwoPi;
            turn_row(j, ky);
            turn_row(nrows - j, -ky);
        }
    }
    hymem::release(kx);
    hymem::release(kx_X_xwind);
    hymem::release(kx_X_kx);

    if (apply_weight) {
        for (int j = 0; j < nrows; ++j) {
            const double ky = row_frequency(j, nrows, lat.dky);
            float* row = dst + 2 * static_cast<std::size_t>(j) * ncols;
            for (int i = 0; i < ncols; ++i) {
                const double w = weight(i * lat.dkx, ky);
                row[2 * i] = static_cast<float>(row[2 * i] * w);
                row[2 * i + 1] = static_cast<float>(row[2 * i + 1] * w);
            }
        }
    }
    enforce_real_symmetry(dst, ncols, nrows);
    return true;
}

template <class Weight>
bool build_cache(HyEvolveCache& cache, const float* initial, const HyLattice& lat, const HyOcean_data& data,
                 bool apply_weight, Weight&& weight)
{
    const std::int64_t count = static_cast<std::int64_t>(lat.ncols) * lat.nrows;
    if (!cache.reserve(count))
        return false;
    double largest = 0.0;
    for (int j = 0; j < lat.nrows; ++j) {
        const double ky_c = row_frequency(j, lat.nrows, lat.dky);
        // Same expressions as evolve_direct, so frequencies and signs agree bit for bit.
        const bool upper = j > lat.nrows / 2;
        double ky = (upper ? lat.nrows - j : j) * lat.dky * kTwoPi;
        if (upper)
            ky = -ky;
        const double ky2 = ky * ky, ky_wind = ky * lat.dir_sin;
        for (int i = 0; i < lat.ncols; ++i) {
            const double kx = i * lat.dkx * kTwoPi;
            const double omega = data.quantise_frequency(kSqrtG * std::sqrt(std::sqrt(kx * kx + ky2)));
            const std::int64_t v = static_cast<std::int64_t>(j) * lat.ncols + i;
            cache.omega[v] = travel_sign(kx * lat.dir_cos + ky_wind) * omega;
            largest = std::max(largest, omega);
            const double w = apply_weight ? weight(i * lat.dkx, ky_c) : 1.0;
            cache.amplitude[2 * v] = static_cast<float>(initial[2 * v] * w);
            cache.amplitude[2 * v + 1] = static_cast<float>(initial[2 * v + 1] * w);
        }
    }
    cache.max_omega = largest;
    cache.valid = true;
    return true;
}

} // namespace hywave
