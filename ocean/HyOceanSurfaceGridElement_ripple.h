// Ripple: the circular wave train spreading from a point where something struck the water.
//
// The field is radially symmetric, so the element computes one radius only: a height profile h(r) by
// a Hankel (Fourier-Bessel) synthesis of deep-water gravity waves,
//     h(r_j) = dk * sum_i J0(k_i * r_j) * B_i,   B_i = sin(sqrt(9.81 * k_i) * tau) * A_i,
// with A_i the wavenumber content of a Gaussian hump of width w. The owner places that profile on a
// radial additive auxiliary grid centred on the impact point (get_position gives the offset).
//
// Arrays (all 32-bit floats, owned, from the tagged allocator):
//   spectrum  N values, A_i at wavenumber k_i = i*dk (rad/m), i = 0..N-1.
//   profile   N values, h(r_j) at radius r_j = j*dr (m), j = 0..N-1, from the last evolution (before
//             taper and amplitude scale).
//   bessel    N x N values, J0(k_i * r_j) at j*N + i (row j = one radius, wavenumber fastest); a cache
//             built on the first evolution after N or dr changed, so that a frame costs N^2
//             multiply-adds instead of N^2 Bessel evaluations. Without memory for it (or for N above
//             kHyRippleMaxCachedN) the values are computed on the fly, giving identical results.
// Bound array: the auxiliary grid's (nx + 2)*ny floats; transform_to_heights writes the tapered,
// scaled profile at i*dx into its first nx values.
//
// Bad input gives a flat ripple, never a NaN: N < 3, dr (the record's dx) not a positive finite
// number, width or strength not finite, start time, time scale, amplitude scale or centre not finite.
// A width of 0 has no wavenumber content and is flat as well, and so is a negative time scale (it
// puts every later time before the impact). A profile that overflows the float
// range is cleared with the diagnostic "ripple amplitude out of range ".
#pragma once

#include "ocean/HyOceanData.h"

constexpr int kHyKindRipple = -4;
constexpr int kHyRippleMaxCachedN = 2048;

// Bessel function of the first kind of order 0 by the classic rational approximation (x < 8) and the
// asymptotic form with polynomial corrections (x >= 8); absolute error below 1e-8 for all x.
double hy_bessel_j0(double x);

// Ripple record: the element record with the ripple's own fields and defaults. nx is N (samples along
// the radius), ny is 1, dx is the radial spacing dr.
struct HyRipple_record : HyOcean_record {
    HyRipple_record()
    {
        nx = 201;
        ny = 1;
        dx = 0.1;
        dy = 0.1;
    }
    double width = 1.0;            // w, metres: size of the initial hump
    double strength = 5.0;         // P
    double start_time = 0.0;       // t0, seconds: the moment of impact
    double time_scale = 1.0;       // s: multiplies elapsed time
    double amplitude_scale = 1.0;  // m: multiplies the profile
    double centre_x = 0.0;         // impact point, metres
    double centre_y = 0.0;
};

class HyOceanSurfaceGridElement_ripple : public HyOcean_data {
public:
    // Stores the parameters and dr-derived constants and allocates spectrum and profile (zeroed). A
    // failed allocation leaves them null; generate_kspace then reports "Out of Memory" and returns 0.
    explicit HyOceanSurfaceGridElement_ripple(const HyRipple_record& record);
    ~HyOceanSurfaceGridElement_ripple() override;                       // 0

    void get_position(double t, double& x, double& y) override;         // 9: (-centre_x, -centre_y)
    void evolve_to_time(double t) override;                             // 10: profile at t
    int generate_kspace() override;                                     // 11: spectrum; 1/0
    void transform_to_heights() override;                               // 12: profile -> bound array
    // 13: vertical acceleration of the ripple at t on an nx x ny node array (node (i, j) at
    // j*nx + i, x = (i - nx/2)*dx, y = (j - ny/2)*dy), without taper or amplitude scale.
    // a, b, c are ignored.
    void evolve_filtered_to_time(float* array, double t, double a = 0.0, double b = 0.0,
                                 double c = 0.0) override;
    // 17: rereads every parameter, reallocates both arrays when N changed and recomputes the
    // spectrum. Returns 1, or 0 when an allocation failed (the ripple is then flat).
    virtual int set_ripple_record(const HyRipple_record& record);
    // 18
    virtual void set_ripple_parameters(double start_time, double centre_x, double centre_y,
                                       double time_scale, double amplitude_scale);
    // 19: interpolated profile at radius r, tapered to 0 over the last 10 % of R = N*dr, times the
    // amplitude scale.
    virtual double get_radial_height(double r);
    // 20: get_radial_height(sqrt(x^2 + y^2)), (x, y) relative to the impact point.
    virtual double get_height_at(double x, double y);

    // Fields, in order.
    float* spectrum = nullptr;
    float* profile = nullptr;
    double start_time = 0.0;
    int N = 0;
    double k_top = 0.0;   // pi/dr
    double dk = 0.0;      // pi/((N - 1)*dr), rad/m
    double dr = 0.0;
    double inv_dr = 0.0;
    double strength = 0.0;
    double width = 0.0;
    double centre_x = 0.0, centre_y = 0.0;
    double time_scale = 1.0;
    double amplitude_scale = 1.0;

    // True when the parameters describe a ripple that can be synthesised (see the header comment).
    bool usable() const;
    // Switches the Bessel cache off (true) or on (false, the default); both give the same values.
    void set_direct_synthesis(bool direct) { direct_only = direct; }

private:
    void derive_constants();
    bool allocate_arrays(int count);
    void free_arrays();
    // Profile of the synthesis at tau into `out` (N values), weights scaled by `weight_power` powers
    // of -9.81*k (0: heights, 1: vertical acceleration). `work` holds N floats. Returns false when the
    // result is not finite.
    bool synthesise(double tau, int weight_power, float* work, float* out);
    bool ensure_bessel_cache();

    float* bessel = nullptr;       // N x N, see the header comment
    int bessel_n = 0;              // N and dr the cache was built for
    double bessel_dr = 0.0;
    bool direct_only = false;
    bool params_valid = true;      // start time, scales and centre finite
};
