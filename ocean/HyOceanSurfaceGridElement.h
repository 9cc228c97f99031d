// Wind waves: one spectrally synthesised, periodic patch of wind-driven sea on an nx x ny lattice.
//
// Spectral layout (initial state, bound array before the transform, evolution cache):
//   ncols x nrows complex values, ncols = nx/2 + 1, nrows = ny; a complex value is two 32-bit floats,
//   real then imaginary. Column i (kx = i*dkx, 0..nx/2) is fastest; row j carries ky = j*dky for
//   j = 0..ny/2 and ky = (j - ny)*dky for j = ny/2+1..ny-1. That is exactly (nx + 2)*ny floats, the size
//   of a grid array, so the spectrum is built and transformed in place in the grid's own memory.
// Height layout (bound array after transform_to_heights): nx*ny floats, node (i, j) at j*nx + i, no
//   padding between rows; the last 2*ny floats of the array are scratch.
// Frequencies are in cycles per metre unless a name says radians.
//
// Bad input: a lattice with an odd or too small node count, or a spacing that is not a positive
// finite number, makes generate_kspace report "HyOceanSurfaceGridElement::generate_kspace <reason>"
// and return 0; evolving such an element leaves a flat array. A wind speed that is not a positive
// finite number gives k_min = 99999999 and a flat sea, as does a wind direction or vertical scale that
// is not finite. A time that is not finite evolves to time 0.
#pragma once

#include "ocean/HyOceanData.h"
#include "ocean/HyRandom.h"
#include "ocean/HySpectralTransform.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// Shared lattice machinery of the periodic spectral elements (wind waves and swells).
namespace hywave {

constexpr double kPi = 3.1415926535;
constexpr double kTwoPi = 6.283185307;
constexpr double kSqrtG = 3.132;

// Frequency of row j of a half spectrum with nrows rows and row spacing dk (same unit as dk).
inline double row_frequency(int j, int nrows, double dk) { return (j <= nrows / 2 ? j : j - nrows) * dk; }

// Makes a half spectrum the transform of a real field: zero mean, real self-conjugate values, and
// conjugate-symmetric columns 0 and ncols-1.
void enforce_real_symmetry(float* spectrum, int ncols, int nrows);

// dst[v] = amplitude[v] * exp(-i * omega[v] * t) for `count` complex values. omega carries the travel
// sign (the spectral element's s factor), amplitude the spectral weight. Phases are reduced in double
// precision so that long times keep their accuracy; sine and cosine come from one short polynomial.
// max_omega bounds |omega| (a negative value: not known, the array is scanned).
void rotate_phases(float* dst, const float* amplitude, const double* omega, std::int64_t count, double t,
                   double max_omega = -1.0);

// True when an nx x ny lattice at spacings dx, dy can carry a real spectral field: both counts even
// and at least 2, both spacings finite and above 0. Otherwise prints "<where> <reason>" and is false.
bool lattice_usable(const char* where, int nx, int ny, double dx, double dy);

// Per-value angular frequency and weighted amplitude, rebuilt only when the inputs change, so that one
// frame costs a phase rotation per value. Arrays come from the tagged allocator.
struct HyEvolveCache {
    float* amplitude = nullptr; // ncols*nrows complex values: initial state times spectral weight
    double* omega = nullptr;    // ncols*nrows values: s * (quantised) angular frequency, rad/s
    std::int64_t count = 0;
    double max_omega = 0.0;     // largest |omega|
    bool valid = false;
    double key[16] = {};        // the inputs the arrays were built from

    ~HyEvolveCache() { release(); }
    void release();
    // Makes room for `n` values; false when the allocator refuses (the cache stays empty).
    bool reserve(std::int64_t n);
    bool matches(const double* k, int n) const;
    void remember(const double* k, int n);
};

// Drops an element's initial state before it is built again and invalidates its cache (a new
// version); false, after the lattice's message, when the lattice cannot carry a spectrum.
bool restart_initial_state(float*& initial_state, std::uint32_t& state_version, HyEvolveCache& cache,
                           const char* where, int nx, int ny, double dx, double dy);

// Inverse transform of a spectrum in place; a refused transform leaves a flat field (false)
// instead of a spectrum.
bool transform_or_flatten(HySpectralTransform& transform, float* array, int nx, int ny);

// Weight of value (kx, ky) in the filtered evolution, from the value's spectral density (the
// element's S times its level): smoothed by sinc over an a x b box and, for c > 0, over a time span
// c. 0 when not a finite number.
double filtered_weight(double density, double kx, double ky, double a, double b, double c);

// Height of node (i, j) of a transformed array with ncols x nrows spectral values; 0 outside.
double node_height(const float* heights, int ncols, int nrows, int i, int j);

// Diagnostics: one line on the standard error stream; "Out of Memory" on the standard output stream.
void report(const char* line);
void report_out_of_memory();

// What a spectral element's per-value evolution needs to know about its lattice.
struct HyLattice {
    int ncols = 0, nrows = 0;
    double dkx = 0, dky = 0;           // cycles per metre
    double dir_cos = 1, dir_sin = 0;   // direction the waves travel with
};

enum class HyPhaseMode { height, potential };

// Travel sign of a wave vector: waves run only with the direction.
inline double travel_sign(double projection) { return projection < 0 ? -1.0 : 1.0; }

// The straightforward evolution of a half spectrum: copy `initial` into `dst`, turn every value's
// phase by its (quantised) deep-water frequency at time t, then multiply value (i, j) by
// weight(kx, ky) (cycles per metre) when apply_weight, then make it the spectrum of a real field.
// Rows are visited as row 0, row ny/2, then each pair (j, ny - j). Returns false (dst untouched)
// after "unable to allocate kx" (or kx_X_xwind, kx_X_kx) and "Out of Memory".
template <class Weight>
bool evolve_direct(float* dst, const float* initial, const HyLattice& lat, const HyOcean_data& data, double t,
                   HyPhaseMode mode, bool apply_weight, Weight&& weight);

// Fills the cache with s*omega and initial*weight for every value, in memory order, with exactly
// the per-value formulas of evolve_direct. False when the allocator refuses.
template <class Weight>
bool build_cache(HyEvolveCache& cache, const float* initial, const HyLattice& lat, const HyOcean_data& data,
                 bool apply_weight, Weight&& weight);

} // namespace hywave

namespace hywave {

// One frame of a periodic element: its initial state turned by the cached frequencies, or
// direct(t) when the cache is switched off or rebuild() cannot build it. Without an initial state
// the array is zeroed (flat once transformed). A time that is not a number shows the field at its
// start. `pending` says the array holds a spectrum still to be transformed.
template <class Rebuild, class Direct>
void evolve_frame(float* heights, const float* initial_state, int ncols, int nrows, HyEvolveCache& cache,
                  bool direct_only, bool& pending, double t, Rebuild&& rebuild, Direct&& direct)
{
    if (!heights || ncols < 1 || nrows < 1)
        return;
    if (!std::isfinite(t))
        t = 0.0;
    if (!initial_state) {
        std::memset(heights, 0, sizeof(float) * 2 * static_cast<std::size_t>(ncols) * nrows);
        pending = true;
        return;
    }
    if (direct_only || !rebuild()) {
        direct(t);
        return;
    }
    rotate_phases(heights, cache.amplitude, cache.omega, cache.count, t, cache.max_omega);
    enforce_real_symmetry(heights, ncols, nrows);
    pending = true;
}

} // namespace hywave

#include "ocean/HyOceanSurfaceGridElement_lattice.inl"

class HyOceanSurfaceGridElement : public HyOcean_data {
public:
    // Stores the lattice from the record (nx, ny, dx, dy, seed, spectrum type, band) and calls
    // set_wave_parameters with its wind direction, wind speed, shortest wavelength, vertical scale
    // and extra. The owner then calls generate_kspace; 0 there means the element is unusable.
    explicit HyOceanSurfaceGridElement(const HyOcean_record& record);
    ~HyOceanSurfaceGridElement() override;

    void evolve_to_time(double t) override;
    int generate_kspace() override;
    void transform_to_heights() override;
    void evolve_filtered_to_time(float* array, double t, double a, double b, double c) override;
    void upgrade_potential_field(double t) override;
    virtual void set_wave_parameters(double direction, double speed, double shortest_wavelength,
                                     double vertical_scale, double extra);
    virtual double get_node_height(int i, int j);

    // Directional spectrum S(kx, ky) in cycles per metre, before the spectral level.
    double spectrum(double kx, double ky) const;
    // The straightforward per-value evolution (no cached frequencies or weights). evolve_to_time gives
    // the same values to float rounding; kept for verification and as the fallback when the cache
    // cannot be allocated.
    void evolve_to_time_direct(double t);
    // Switches the cached evolution off (true) or on (false, the default).
    void set_direct_evolution(bool direct) { direct_only = direct; }
    const float* get_initial_state() const { return initial_state; }

    // Lattice and spectrum state; see the header comment for units.
    double kx_limit = 0, ky_limit = 0;
    double k_limit = 0;
    double cell_area = 0;
    double band_low = 0, band_high = 0;
    double wind_cos = 1, wind_sin = 0;
    double k_max = 0;
    double level_aux = 0, level = 0;
    double k_min = 99999999.0;
    double k_top = 100.0;
    double extra = 0;
    HyRandom generator;      // seeded with the base's seed before every build of the initial state
    double vertical_scale = 1.0;
    float* initial_state = nullptr; // ncols*nrows complex values, owned
    std::uint16_t spectrum_type = 0;
    double wind_direction = 0;
    double wind_speed = 0;
    std::int32_t ncols = 0;
    std::int32_t nrows = 0;
    double dkx = 0, dky = 0;
    double shortest_wavelength = 0;

protected:
    // Recomputes k_max, k_min, k_top and level from the stored wind (done before every evolution).
    void compute_spectrum_constants();
    bool rebuild_cache();
    // evolve_to_time_direct once the constants are up to date.
    void evolve_direct_now(double t);
    // Weight sqrt(S*level) of value (i, j), 0 when it is not a finite number.
    double weight(double kx, double ky) const;

    HySpectralTransform transform; // keeps its scratch between frames
    hywave::HyEvolveCache cache;
    std::uint32_t state_version = 0; // bumped whenever the initial state changes
    bool direct_only = false;
    bool spectrum_pending = false;   // the bound array holds an evolved spectrum not yet transformed
};
