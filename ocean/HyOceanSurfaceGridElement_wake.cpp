#include "ocean/HyOceanSurfaceGridElement_wake.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>

namespace {

constexpr double kGravity = 9.81;
constexpr double kTwoPi = 6.2831853;

double finite_or_zero(double v) { return std::isfinite(v) ? v : 0.0; }

} // namespace

HyOceanSurfaceGridElement_wake::HyOceanSurfaceGridElement_wake(const HyWake_record& record)
    : HyOcean_data(record)
{
    kind = kHyKindWake;
    hull_length = record.hull_length;
    hull_beam = record.hull_beam;
    hull_depth = record.hull_depth;
    hull_shape = record.hull_shape;
    active = record.active;
    std::memcpy(hull_file, record.hull_file, sizeof hull_file);
    hull_file[kHyNameLength - 1] = '\0';
    damping_a = record.damping_a;
    damping_b = record.damping_b;
    speed = finite_or_zero(record.speed);
    heading = finite_or_zero(record.heading);
    ship_x = finite_or_zero(record.ship_x);
    ship_y = finite_or_zero(record.ship_y);
    reference_time = finite_or_zero(record.reference_time);
    derive_hull();
}

HyOceanSurfaceGridElement_wake::~HyOceanSurfaceGridElement_wake() { hymem::release(base); }

void HyOceanSurfaceGridElement_wake::derive_hull()
{
    hull_x = finite_or_zero(nx * dx - 0.5 * hull_length);
    hull_y = finite_or_zero(ny * dy * 0.5);
    // Damping grows with U^3 so that the faster (and longer) waves of a fast hull stay resolved; a
    // damping_b of 0 would divide by zero and falls back to its default.
    const double b = (std::isfinite(damping_b) && damping_b != 0.0) ? damping_b : 10.0;
    damping = active ? finite_or_zero(speed * speed * speed * damping_a / (kGravity * b * b)) : 0.0;
}

bool HyOceanSurfaceGridElement_wake::hull_usable() const
{
    auto positive = [](double v) { return std::isfinite(v) && v > 0.0; };
    return positive(hull_length) && positive(hull_beam) && positive(hull_depth);
}

void HyOceanSurfaceGridElement_wake::get_position(double t, double& x, double& y) { get_grid_offset(x, y, t); }

void HyOceanSurfaceGridElement_wake::evolve_to_time(double) {}

int HyOceanSurfaceGridElement_wake::generate_kspace()
{
    hymem::release(base);
    base = nullptr;
    if (nx < 1 || ny < 1 || !std::isfinite(dx) || !std::isfinite(dy) || dx <= 0.0 || dy <= 0.0) {
        std::fprintf(stderr, "HyOceanSurfaceElement_wake::generate_kspace unusable lattice %d x %d at %g x %g m \n",
                     nx, ny, dx, dy);
        return 0;
    }
    const std::size_t n = std::size_t(nx);
    const std::size_t m = std::size_t(ny);
    base = hymem::allocate_array<float>(n * m, true);
    if (!base) {
        std::fprintf(stderr, "unable to allocate base height for wake generation\n");
        return 0;
    }
    derive_hull();
    if (!active || !hull_usable() || speed == 0.0)
        return 1;  // no hull, or a hull at rest: no waves

    const std::size_t row = 2 * n;  // real row length of the work field
    float* work = hymem::allocate_array<float>((row + 2) * m, true);
    if (!work) {
        std::fprintf(stderr, "HyOceanSurfaceElement_wake::generate_kspace unable to allocate space for generating wake \n");
        return 0;
    }

    // Pressure footprint of the hull: a depression of depth D that tapers to 0 toward the sides, the
    // more sharply the nearer to bow and stern.
    const double half_l = 0.5 * hull_length;
    const double half_b = 0.5 * hull_beam;
    for (std::size_t j = 0; j < m; ++j) {
        const double v = std::fabs((double(j) * dy - hull_y) / half_b);
        if (!(v < 1.0))
            continue;
        float* dst = work + j * row + n;
        for (std::size_t i = 0; i < n; ++i) {
            const double u = std::fabs((double(i) * dx - hull_x) / half_l);
            if (!(u < 1.0))
                continue;
            const double q = 1.0 - v / (1.0 - u * u);
            if (q > 0.0)
                dst[i] = float(-std::sqrt(q) * hull_depth);
        }
    }

    int ok = forward(work, int(row), int(m));
    if (ok) {
        // Free-surface response of a source moving along +x. With this transform's kernels (forward
        // exp(-2 pi i ...), inverse exp(+2 pi i ...)) the damping term's sign makes the response
        // causal: the waves trail behind the hull and die out with distance instead of running ahead.
        const std::size_t ncols = n + 1;
        const double kx_step = kTwoPi / (double(row) * dx);
        const double ky_step = kTwoPi / (double(m) * dy);
        std::complex<float>* spectrum = reinterpret_cast<std::complex<float>*>(work);
        for (std::size_t r = 0; r < m; ++r) {
            const double ky = (r < m / 2 + 1) ? double(r) * ky_step : -double(m - r) * ky_step;
            std::complex<float>* line = spectrum + r * ncols;
            for (std::size_t c = 0; c < ncols; ++c) {
                if (r == 0 && c == 0) {
                    line[0] = 0.0f;
                    continue;
                }
                const double kx = double(c) * kx_step;
                const float K = float(std::sqrt(kx * kx + ky * ky));
                const double F = (kx * speed) * (kx * speed) / (double(K) * kGravity);
                // The Nyquist column stands for +kx and -kx at once: the odd damping term cancels
                // there, which keeps that column Hermitian as a real field needs.
                const double e = (c + 1 == ncols) ? 0.0 : kx * speed * damping;
                const std::complex<float> num{float(F), float(e)};
                const std::complex<float> den{float(1.0 - F), float(-e)};
                if (den == std::complex<float>(0.0f, 0.0f)) {
                    line[c] = 0.0f;  // undamped resonance: no finite response
                    continue;
                }
                const std::complex<float> value = line[c] * (num / den);
                line[c] = (std::isfinite(value.real()) && std::isfinite(value.imag())) ? value : 0.0f;
            }
        }
        ok = inverse(work, int(row), int(m));
    }
    if (!ok) {
        std::fprintf(stderr, "HyOceanSurfaceElement_wake::generate_kspace transform failed \n");
        hymem::release(work);
        return 0;
    }

    const float scale = float(1.0 / (2.0 * double(n) * double(m)));
    bool finite = true;
    for (std::size_t j = 0; j < m; ++j) {
        const float* src = work + j * row + n;
        float* dst = base + j * n;
        for (std::size_t i = 0; i < n; ++i) {
            dst[i] = src[i] * scale;
            finite = finite && std::isfinite(dst[i]);
        }
    }
    hymem::release(work);
    if (!finite) {
        std::fprintf(stderr, "HyOceanSurfaceElement_wake::generate_kspace wake amplitude out of range \n");
        std::memset(base, 0, sizeof(float) * n * m);
    }
    return 1;
}

void HyOceanSurfaceGridElement_wake::transform_to_heights()
{
    if (!heights || nx < 1 || ny < 1)
        return;
    const std::size_t n = std::size_t(nx);
    const std::size_t count = n * std::size_t(ny);
    if (!base) {
        std::memset(heights, 0, sizeof(float) * count);
        return;
    }
    std::memcpy(heights, base, sizeof(float) * count);
    if (soft_limit && std::isfinite(soft_limit_scale) && soft_limit_scale > 0.0) {
        // Squash tall crests smoothly instead of clipping them.
        const double a = soft_limit_scale;
        for (std::size_t k = 0; k < count; ++k)
            if (heights[k] != 0.0f)
                heights[k] = float(a * std::tanh(heights[k] / a));
    }
    if (fade && std::isfinite(fade_length) && fade_length > 0.0 && std::isfinite(fade_power) && fade_power > 0.0) {
        // The patch ends far behind the ship; let the wake die out before it does.
        for (std::size_t i = 0; i < n; ++i) {
            const double x = double(i) * dx;
            if (x >= fade_length)
                break;
            const float f = float(std::pow(x / fade_length, fade_power));
            for (std::size_t j = 0; j < std::size_t(ny); ++j)
                heights[j * n + i] *= f;
        }
    }
}

void HyOceanSurfaceGridElement_wake::evolve_filtered_to_time(float* array, double, double, double, double)
{
    if (!array || nx < 1 || ny < 1)
        return;
    const std::size_t n = std::size_t(nx);
    const std::size_t m = std::size_t(ny);
    if (!base || speed == 0.0) {
        std::memset(array, 0, sizeof(float) * n * m);
        return;
    }
    std::memcpy(array, base, sizeof(float) * n * m);
    if (!forward(array, nx, ny)) {
        std::memset(array, 0, sizeof(float) * n * m);
        return;
    }
    // A pattern riding at U along x: d2/dt2 = U^2 d2/dx2, i.e. -U^2 kx^2 per value.
    const std::size_t ncols = n / 2 + 1;
    const double kx_step = 2.0 * 3.1415926535 / (double(n) * dx);
    for (std::size_t r = 0; r < m; ++r) {
        float* line = array + 2 * r * ncols;
        for (std::size_t c = 0; c < ncols; ++c) {
            const double kx = double(c) * kx_step;
            const float w = (r == 0 && c == 0) ? 0.0f : float(-speed * speed * kx * kx);
            line[2 * c] *= w;
            line[2 * c + 1] *= w;
        }
    }
    if (!inverse(array, nx, ny)) {
        std::memset(array, 0, sizeof(float) * n * m);
        return;
    }
    const float scale = float(1.0 / (double(n) * double(m)));
    for (std::size_t k = 0; k < n * m; ++k)
        array[k] *= scale;
}

void HyOceanSurfaceGridElement_wake::get_grid_offset(double& x, double& y, double t)
{
    const double d = finite_or_zero(t - reference_time);
    const double c = std::cos(heading);
    const double s = std::sin(heading);
    x = (c * hull_x - s * hull_y) - ship_x - c * speed * d;
    y = (s * hull_x + c * hull_y) - ship_y - s * speed * d;
}

void HyOceanSurfaceGridElement_wake::get_ship_position(double& x, double& y, double t)
{
    const double d = finite_or_zero(t - reference_time);
    x = ship_x + std::cos(heading) * speed * d;
    y = ship_y + std::sin(heading) * speed * d;
}

void HyOceanSurfaceGridElement_wake::get_wake_front_and_back(double& front_x, double& front_y, double& back_x,
                                                              double& back_y, double t)
{
    const double d = finite_or_zero(t - reference_time);
    const double c = std::cos(heading);
    const double s = std::sin(heading);
    const double half = std::isfinite(hull_length) ? 0.5 * hull_length : 0.0;
    front_x = ship_x + (d * speed + half) * c;
    front_y = ship_y + (d * speed + half) * s;
    back_x = ship_x + (d * speed - half) * c;
    back_y = ship_y + (d * speed - half) * s;
}

int HyOceanSurfaceGridElement_wake::is_inside_hull(double x, double y)
{
    if (!hull_usable())
        return 0;
    const double half_l = 0.5 * hull_length;
    const double half_b = 0.5 * hull_beam;
    const bool in_box = std::fabs(x - hull_x) <= half_l && std::fabs(y - hull_y) <= half_b;
    if (hull_shape == 1)
        return in_box ? 1 : 0;
    if (hull_shape == 2) {
        const double ey = y - hull_y;
        const double ex = x - (hull_x - half_l);
        const double l2 = hull_length * hull_length;
        return (in_box && ey * ey * l2 / (half_b * half_b) + ex * ex <= l2) ? 1 : 0;
    }
    return 0;
}

void HyOceanSurfaceGridElement_wake::set_wake_motion(double depth, double new_heading, double x, double y,
                                                     double new_reference_time)
{
    heading = finite_or_zero(new_heading);
    ship_x = finite_or_zero(x);
    ship_y = finite_or_zero(y);
    reference_time = finite_or_zero(new_reference_time);
    if (!std::isfinite(depth))
        return;  // keep the depth (and pattern) it has
    const bool scalable = base && hull_usable();
    const double old_depth = hull_depth;
    hull_depth = depth;
    if (scalable) {
        // The pattern is linear in the depth: scale instead of recomputing.
        const float f = depth > 0.0 ? float(depth / old_depth) : 0.0f;
        const std::size_t count = std::size_t(nx) * std::size_t(ny);
        for (std::size_t k = 0; k < count; ++k)
            base[k] *= f;
    } else if (base && hull_usable()) {
        generate_kspace();
    }
}

void HyOceanSurfaceGridElement_wake::set_heading(double angle) { heading = finite_or_zero(angle); }

void HyOceanSurfaceGridElement_wake::set_ship_position(double x, double y)
{
    ship_x = finite_or_zero(x);
    ship_y = finite_or_zero(y);
}

void HyOceanSurfaceGridElement_wake::set_soft_limit(int flag) { soft_limit = flag; }

void HyOceanSurfaceGridElement_wake::set_soft_limit_scale(double scale) { soft_limit_scale = scale; }

void HyOceanSurfaceGridElement_wake::set_fade(int flag) { fade = flag; }

void HyOceanSurfaceGridElement_wake::set_fade_shape(double length, double power)
{
    fade_length = length;
    fade_power = power;
}

int HyOceanSurfaceGridElement_wake::forward(float* data, int n_x, int n_y)
{
    if (!fast_refused && transform.backend() != HyTransformBackend::builtin) {
        if (transform.forward(data, n_x, n_y))
            return 1;
        fast_refused = true;
    }
    return builtin.forward(data, n_x, n_y);
}

int HyOceanSurfaceGridElement_wake::inverse(float* data, int n_x, int n_y)
{
    if (!fast_refused && transform.backend() != HyTransformBackend::builtin) {
        if (transform.inverse(data, n_x, n_y))
            return 1;
        fast_refused = true;
    }
    return builtin.inverse(data, n_x, n_y);
}
