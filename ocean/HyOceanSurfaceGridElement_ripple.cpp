#include "ocean/HyOceanSurfaceGridElement_ripple.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr double kPi = 3.1415926535;
constexpr double kGravity = 9.81;
constexpr double kGravityPi = 30.819023930835;  // 9.81 * pi

bool is_finite(double v) { return std::isfinite(v); }

} // namespace

double hy_bessel_j0(double x)
{
    const double ax = std::fabs(x);
    if (ax < 8.0) {
        // Ratio of two degree-6 polynomials in x^2, fitted on [0, 8).
        const double y = x * x;
        const double p = 57568490574.0 +
                         y * (-13362590354.0 +
                              y * (651619640.7 + y * (-11214424.18 + y * (77392.33017 + y * (-184.9052456)))));
        const double q = 57568490411.0 +
                         y * (1029532985.0 + y * (9494680.718 + y * (59272.64853 + y * (267.8532712 + y))));
        return p / q;
    }
    // Large arguments: a damped cosine whose amplitude and phase get small polynomial corrections
    // in z = 8/x.
    const double z = 8.0 / ax;
    const double y = z * z;
    const double xx = ax - 0.785398164;
    const double p = 1.0 + y * (-0.1098628627e-2 + y * (0.2734510407e-4 + y * (-0.2073370639e-5 + y * 0.2093887211e-6)));
    const double q = -0.1562499995e-1 +
                     y * (0.1430488765e-3 + y * (-0.6911147651e-5 + y * (0.7621095161e-6 - y * 0.934935152e-7)));
    return std::sqrt(0.636619772 / ax) * (std::cos(xx) * p - z * std::sin(xx) * q);
}

HyOceanSurfaceGridElement_ripple::HyOceanSurfaceGridElement_ripple(const HyRipple_record& record)
    : HyOcean_data(record)
{
    kind = kHyKindRipple;
    N = record.nx;
    dr = record.dx;
    width = record.width;
    strength = record.strength;
    set_ripple_parameters(record.start_time, record.centre_x, record.centre_y, record.time_scale,
                          record.amplitude_scale);
    derive_constants();
    allocate_arrays(N);
}

HyOceanSurfaceGridElement_ripple::~HyOceanSurfaceGridElement_ripple()
{
    free_arrays();
    hymem::release(bessel);
}

void HyOceanSurfaceGridElement_ripple::derive_constants()
{
    // Constants only mean something for a usable radius; otherwise they stay 0 and the ripple is flat.
    if (N >= 3 && is_finite(dr) && dr > 0.0) {
        k_top = kPi / dr;
        dk = kPi / ((N - 1) * dr);
        inv_dr = 1.0 / dr;
    } else {
        k_top = dk = inv_dr = 0.0;
    }
}

bool HyOceanSurfaceGridElement_ripple::allocate_arrays(int count)
{
    free_arrays();
    if (count <= 0)
        return true;
    spectrum = hymem::allocate_array<float>(std::size_t(count), true);
    profile = hymem::allocate_array<float>(std::size_t(count), true);
    if (!spectrum || !profile) {
        free_arrays();
        return false;
    }
    return true;
}

void HyOceanSurfaceGridElement_ripple::free_arrays()
{
    hymem::release(spectrum);
    hymem::release(profile);
    spectrum = profile = nullptr;
}

bool HyOceanSurfaceGridElement_ripple::usable() const
{
    return spectrum && profile && N >= 3 && dk > 0.0 && is_finite(width) && is_finite(strength) && params_valid;
}

void HyOceanSurfaceGridElement_ripple::get_position(double, double& x, double& y)
{
    x = -centre_x;
    y = -centre_y;
}

int HyOceanSurfaceGridElement_ripple::generate_kspace()
{
    if (!spectrum || !profile) {
        if (N > 0) {
            std::fprintf(stderr, "HyOceanSurfaceGridElement_ripple::generate_kspace unable to allocate ripple arrays \n");
            std::fprintf(stdout, "Out of Memory\n");
            return 0;
        }
        return 1;  // nothing to synthesise: a flat ripple
    }
    std::memset(spectrum, 0, sizeof(float) * std::size_t(N));
    if (!usable())
        return 1;
    // Wavenumber content of a Gaussian hump of width w; the sqrt(k) factor turns the 2-D hump into
    // the weight of the Hankel synthesis.
    const double w2 = width * width;
    bool ok = true;
    for (int i = 1; i < N; ++i) {
        const double k = i * dk;
        const double a = 0.5 * std::sqrt(k / kGravityPi) * strength * w2 * std::exp(-0.25 * w2 * k * k);
        spectrum[i] = float(a);
        ok = ok && std::isfinite(spectrum[i]);
    }
    if (!ok) {
        std::fprintf(stderr, "HyOceanSurfaceGridElement_ripple::generate_kspace ripple amplitude out of range \n");
        std::memset(spectrum, 0, sizeof(float) * std::size_t(N));
    }
    return 1;
}

bool HyOceanSurfaceGridElement_ripple::ensure_bessel_cache()
{
    if (direct_only || N > kHyRippleMaxCachedN)
        return false;
    if (bessel && bessel_n == N && bessel_dr == dr)
        return true;
    hymem::release(bessel);
    bessel = hymem::allocate_array<float>(std::size_t(N) * std::size_t(N), false);
    if (!bessel) {
        bessel_n = 0;
        return false;  // the synthesis evaluates J0 on the fly instead
    }
    // Built from exactly the arguments the direct synthesis uses, so both paths agree bit for bit.
    for (int j = 0; j < N; ++j) {
        const double r = j * dr;
        float* row = bessel + std::size_t(j) * std::size_t(N);
        for (int i = 0; i < N; ++i)
            row[i] = float(hy_bessel_j0((i * dk) * r));
    }
    bessel_n = N;
    bessel_dr = dr;
    return true;
}

bool HyOceanSurfaceGridElement_ripple::synthesise(double tau, int weight_power, float* work, float* out)
{
    for (int i = 0; i < N; ++i) {
        const double k = i * dk;
        double b = std::sin(std::sqrt(k * kGravity) * tau) * spectrum[i];
        if (weight_power == 1)
            b *= -kGravity * k;
        work[i] = float(b);
    }
    if (ensure_bessel_cache()) {
        // Four radii at a time: four independent float sums, each still added in wavenumber order.
        int j = 1;
        for (; j + 3 < N; j += 4) {
            const float* r0 = bessel + std::size_t(j) * std::size_t(N);
            const float* r1 = r0 + N;
            const float* r2 = r1 + N;
            const float* r3 = r2 + N;
            float s0 = 0.0f, s1 = 0.0f, s2 = 0.0f, s3 = 0.0f;
            for (int i = 0; i < N; ++i) {
                const float b = work[i];
                s0 += r0[i] * b;
                s1 += r1[i] * b;
                s2 += r2[i] * b;
                s3 += r3[i] * b;
            }
            out[j] = float(dk * s0);
            out[j + 1] = float(dk * s1);
            out[j + 2] = float(dk * s2);
            out[j + 3] = float(dk * s3);
        }
        for (; j < N; ++j) {
            const float* row = bessel + std::size_t(j) * std::size_t(N);
            float s = 0.0f;
            for (int i = 0; i < N; ++i)
                s += row[i] * work[i];
            out[j] = float(dk * s);
        }
    } else {
        for (int j = 1; j < N; ++j) {
            const double r = j * dr;
            float s = 0.0f;
            for (int i = 0; i < N; ++i)
                s += float(hy_bessel_j0((i * dk) * r)) * work[i];
            out[j] = float(dk * s);
        }
    }
    // The centre is extrapolated from its neighbours: J0(0) carries no weight there anyway.
    out[0] = 2.0f * out[1] - out[2];
    bool ok = true;
    for (int j = 0; j < N; ++j)
        ok = ok && std::isfinite(out[j]);
    return ok;
}

void HyOceanSurfaceGridElement_ripple::evolve_to_time(double t)
{
    if (!profile)
        return;
    const double tau = (t - start_time) * time_scale;
    if (!usable() || !(tau > 0.0) || !is_finite(tau)) {
        // Before (and at) the impact every sine is 0: the water is flat.
        std::memset(profile, 0, sizeof(float) * std::size_t(N));
        return;
    }
    float* work = hymem::allocate_array<float>(std::size_t(N), false);
    if (!work) {
        std::fprintf(stderr, "unable to allocate space for ripple evolution \n");
        std::fprintf(stdout, "Out of Memory\n");
        return;
    }
    if (!synthesise(tau, 0, work, profile)) {
        std::fprintf(stderr, "HyOceanSurfaceGridElement_ripple::evolve_to_time ripple amplitude out of range \n");
        std::memset(profile, 0, sizeof(float) * std::size_t(N));
    }
    hymem::release(work);
}

double HyOceanSurfaceGridElement_ripple::get_radial_height(double r)
{
    if (!profile || !usable() || !(r >= 0.0))
        return 0.0;
    const double reach = N * dr;
    if (r > reach)
        return 0.0;
    const double g = r * inv_dr;
    const int i = int(std::floor(g));
    const double f = g - i;
    double v = 0.0;
    if (i >= 0 && i < N)
        v += profile[i] * (1.0 - f);
    if (i + 1 >= 0 && i + 1 < N)
        v += profile[i + 1] * f;
    // Fade the last 10 % of the reach so the ring never ends in a step.
    if (r > 0.9 * reach) {
        const double u = (r - 0.9 * reach) / (0.1 * reach);
        v *= 1.0 - u * u;
    }
    return v * amplitude_scale;
}

double HyOceanSurfaceGridElement_ripple::get_height_at(double x, double y)
{
    return get_radial_height(std::sqrt(x * x + y * y));
}

void HyOceanSurfaceGridElement_ripple::transform_to_heights()
{
    if (!heights)
        return;
    for (int i = 0; i < nx; ++i) {
        const float v = float(get_radial_height(i * dx));
        heights[i] = std::isfinite(v) ? v : 0.0f;
    }
}

void HyOceanSurfaceGridElement_ripple::evolve_filtered_to_time(float* array, double t, double, double, double)
{
    if (!array || nx <= 0 || ny <= 0)
        return;
    const std::size_t count = std::size_t(nx) * std::size_t(ny);
    const double tau = (t - start_time) * time_scale;
    if (!usable() || !(tau > 0.0) || !is_finite(tau)) {
        std::memset(array, 0, sizeof(float) * count);
        return;
    }
    float* work = hymem::allocate_array<float>(2 * std::size_t(N), false);
    if (!work) {
        std::fprintf(stderr, "unable to allocate space for ripple evolution \n");
        std::fprintf(stdout, "Out of Memory\n");
        return;
    }
    float* accel = work + N;
    if (!synthesise(tau, 1, work, accel))
        std::memset(accel, 0, sizeof(float) * std::size_t(N));
    // d2/dt2 of sin(omega*(t - t0)*s) brings s^2.
    const double s2 = time_scale * time_scale;
    for (int j = 0; j < ny; ++j) {
        const double y = (j - ny / 2) * dy;
        for (int i = 0; i < nx; ++i) {
            const double x = (i - nx / 2) * dx;
            const double g = std::sqrt(x * x + y * y) * inv_dr;
            double v = 0.0;
            if (g < double(N)) {
                const int k = int(g);
                const double f = g - k;
                v = accel[k] * (1.0 - f) + (k + 1 < N ? accel[k + 1] * f : 0.0);
            }
            const float out = float(v * s2);
            array[std::size_t(j) * std::size_t(nx) + std::size_t(i)] = std::isfinite(out) ? out : 0.0f;
        }
    }
    hymem::release(work);
}

int HyOceanSurfaceGridElement_ripple::set_ripple_record(const HyRipple_record& record)
{
    width = record.width;
    strength = record.strength;
    set_ripple_parameters(record.start_time, record.centre_x, record.centre_y, record.time_scale,
                          record.amplitude_scale);
    int result = 1;
    if (record.nx != N || !spectrum || !profile) {
        N = record.nx;
        if (!allocate_arrays(N))
            result = 0;
    }
    nx = record.nx;
    ny = record.ny;
    dx = record.dx;
    dy = record.dy;
    dr = record.dx;
    derive_constants();
    // The spectrum follows the new width and strength right away.
    if (result && !generate_kspace())
        result = 0;
    return result;
}

void HyOceanSurfaceGridElement_ripple::set_ripple_parameters(double start, double cx, double cy, double tscale,
                                                             double ascale)
{
    start_time = start;
    centre_x = cx;
    centre_y = cy;
    time_scale = tscale;
    amplitude_scale = ascale;
    params_valid = is_finite(start) && is_finite(cx) && is_finite(cy) && is_finite(tscale) && is_finite(ascale);
    if (!is_finite(cx) || !is_finite(cy)) {
        // Keep the grid's offset finite; the ripple is flat until a valid centre arrives.
        centre_x = centre_y = 0.0;
    }
}
