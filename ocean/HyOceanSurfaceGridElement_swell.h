// Swell: long-crested waves from a distant storm, concentrated around one wave vector, on a periodic
// N x N patch. Same lattice, spectral layout, evolution and transform as the wind waves (see
// HyOceanSurfaceGridElement.h for the array layouts); its own spectrum (a Gaussian lobe around +k0
// and its mirror around -k0), its own initial state (equal amplitudes, random phases) and no
// vertical scale in its transform.
#pragma once

#include "ocean/HyOceanSurfaceGridElement.h"

// Swell record handed to add_new_swell and reallocate_swell.
struct HySwell_data {
    std::int32_t size = 512;     // N, nodes per side
    double spacing = 5.0;        // metres per node
    double height = 5.0;         // metres
    double length = 100.0;       // wavelength, metres
    double direction = 0.0;      // radians
    double roughness = 0.25;     // spread along the direction, relative to 1/length
    double oscillations = 0.25;  // spread across the direction, relative to 1/length
    double vertical_scale = 0.0; // stored by the swell, not applied
    std::int32_t seed = 3345;
};

class HyOceanSurfaceGridElement_swell : public HyOcean_data {
public:
    static constexpr int kKind = -5;

    // Lattice from the record (nx = ny = N, dx = dy = spacing, array, seed, loop setting); then
    // set_wave_parameters with the swell's six values.
    HyOceanSurfaceGridElement_swell(const HyOcean_record& record, const HySwell_data& swell);
    ~HyOceanSurfaceGridElement_swell() override;

    void evolve_to_time(double t) override;
    int generate_kspace() override;
    void transform_to_heights() override;
    void evolve_filtered_to_time(float* array, double t, double a, double b, double c) override;
    void upgrade_potential_field(double t) override;
    // 17. A length, roughness or oscillations that is not a positive finite number makes the swell
    // contribute nothing (flat) until valid values arrive.
    virtual void set_wave_parameters(const double& height, const double& length, const double& roughness,
                                     const double& oscillations, const double& direction,
                                     const double& vertical_scale);
    // 18
    virtual double get_node_height(int i, int j);

    // Swell spectrum S(kx, ky), cycles per metre.
    double spectrum(double kx, double ky) const;
    // Per-value evolution without the cache (see the wind-wave element).
    void evolve_to_time_direct(double t);
    void set_direct_evolution(bool direct) { direct_only = direct; }
    const float* get_initial_state() const { return initial_state; }

    // Lattice.
    std::int32_t ncols = 0, nrows = 0;
    double dkx = 0, dky = 0;
    double cell_area = 0;
    HyRandom generator;
    float* initial_state = nullptr; // ncols*nrows complex values, owned
    // Swell.
    double k_max = 0;
    double k0 = 0;
    double spread_along = 0, spread_across = 0;
    double height = 0;
    double direction = 0;
    double k0x = 0, k0y = 0;
    double cov_xx = 0, cov_yy = 0, cov_xy = 0;
    double cov_det = 0;
    double peak = 0;
    double vertical_scale = 0;
    bool contributes = false; // false when the parameters leave the spectrum undefined

protected:
    bool rebuild_cache();
    double weight(double kx, double ky) const;

    HySpectralTransform transform;
    hywave::HyEvolveCache cache;
    std::uint32_t state_version = 0;
    bool direct_only = false;
    bool spectrum_pending = false; // the bound array holds an evolved spectrum not yet transformed
};
