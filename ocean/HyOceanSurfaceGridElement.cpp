#include "ocean/HyOceanSurfaceGridElement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace hywave {

void report(const char* line)
{
    std::fputs(line, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void report_out_of_memory()
{
    std::fputs("Out of Memory\n", stdout);
    std::fflush(stdout);
}

void enforce_real_symmetry(float* spectrum, int ncols, int nrows)
{
    if (!spectrum || ncols < 1 || nrows < 1)
        return;
    auto at = [&](int i, int j) { return spectrum + 2 * (static_cast<std::size_t>(j) * ncols + i); };
    at(0, 0)[0] = 0.0f;
    at(0, 0)[1] = 0.0f;
    const int half = nrows / 2, last = ncols - 1;
    at(0, half)[1] = 0.0f;
    at(last, 0)[1] = 0.0f;
    at(last, half)[1] = 0.0f;
    for (int j = 1; j < half; ++j) {
        at(0, nrows - j)[0] = at(0, j)[0];
        at(0, nrows - j)[1] = -at(0, j)[1];
        at(last, nrows - j)[0] = at(last, j)[0];
        at(last, nrows - j)[1] = -at(last, j)[1];
    }
}

namespace {

// The loop body of rotate_phases, written without branches or integer conversions so that the
// compiler can run it on vector registers. Quadrant reduction by pi/2 in double (two-part constant),
// then Taylor polynomials on [-pi/4, pi/4], both below 2e-10 absolute error, far under float
// resolution. Requires |omega*t| < 2^50.
inline void rotate_range(float* __restrict dst, const float* __restrict amplitude, const double* __restrict omega,
                         std::int64_t count, double t)
{
    constexpr double two_over_pi = 0.63661977236758134308;
    constexpr double pio2_hi = 1.5707963267341256e+00;
    constexpr double pio2_lo = 6.0771005065061922e-11;
    constexpr double magic = 6755399441055744.0; // 1.5 * 2^52: (x + magic) - magic rounds x to an integer
    for (std::int64_t v = 0; v < count; ++v) {
        const double phi = omega[v] * t;
        const double n = (phi * two_over_pi + magic) - magic;
        const double r = (phi - n * pio2_hi) - n * pio2_lo;
        const double r2 = r * r;
        const double s = r + r * r2 * (-1.0 / 6 + r2 * (1.0 / 120 + r2 * (-1.0 / 5040 + r2 * (1.0 / 362880))));
        const double c =
            1.0 + r2 * (-0.5 + r2 * (1.0 / 24 + r2 * (-1.0 / 720 + r2 * (1.0 / 40320 + r2 * (-1.0 / 3628800)))));
        // Quadrant q = n mod 4 from exact double arithmetic: floor(n/4) and floor(q/2) never tie.
        const double q = n - 4.0 * (((n * 0.25 - 0.375) + magic) - magic);
        const double half = ((q * 0.5 - 0.25) + magic) - magic; // 1 for quadrants 2 and 3
        const double swap = q - 2.0 * half;                     // 1 for quadrants 1 and 3
        const double sign = 1.0 - 2.0 * half;
        const double sv = sign * ((1.0 - swap) * s + swap * c);
        const double cv = sign * ((1.0 - swap) * c - swap * s);
        const double re = amplitude[2 * v], im = amplitude[2 * v + 1];
        dst[2 * v] = static_cast<float>(re * cv + im * sv);
        dst[2 * v + 1] = static_cast<float>(im * cv - re * sv);
    }
}

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SEAVAST_NO_TARGET_CLONES 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define SEAVAST_NO_TARGET_CLONES 1
#endif

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(SEAVAST_NO_TARGET_CLONES)
// Wider vectors where the processor has them; the arithmetic (no fused multiply-add) is the same, so
// both versions give the same values. Not under the thread checker: the clone resolver runs before
// its run-time is up and crashes the program at load.
__attribute__((target_clones("avx2", "default")))
#endif
void rotate_kernel(float* dst, const float* amplitude, const double* omega, std::int64_t count, double t)
{
    rotate_range(dst, amplitude, omega, count, t);
}

} // namespace

void rotate_phases(float* dst, const float* amplitude, const double* omega, std::int64_t count, double t,
                   double max_omega)
{
    double largest = max_omega;
    if (!(largest >= 0.0)) {
        largest = 0.0;
        for (std::int64_t v = 0; v < count; ++v)
            largest = std::max(largest, std::fabs(omega[v]));
    }
    if (largest * std::fabs(t) < 1e15) {
        rotate_kernel(dst, amplitude, omega, count, t);
        return;
    }
    // Phases beyond the fast reduction's range (times of millions of years): plain sine and cosine.
    for (std::int64_t v = 0; v < count; ++v) {
        const double phi = omega[v] * t;
        const double sv = std::sin(phi), cv = std::cos(phi);
        const double re = amplitude[2 * v], im = amplitude[2 * v + 1];
        dst[2 * v] = static_cast<float>(re * cv + im * sv);
        dst[2 * v + 1] = static_cast<float>(im * cv - re * sv);
    }
}

bool lattice_usable(const char* where, int nx, int ny, double dx, double dy)
{
    const char* reason = nullptr;
    if (nx < 2 || ny < 2 || (nx % 2) != 0 || (ny % 2) != 0)
        reason = "node counts must be even and at least 2 ";
    else if (!(dx > 0.0) || !(dy > 0.0) || !std::isfinite(dx) || !std::isfinite(dy))
        reason = "node spacing must be a positive number ";
    else if (static_cast<std::int64_t>(nx + 2) * ny > (std::int64_t(1) << 29))
        reason = "lattice too large ";
    if (!reason)
        return true;
    char line[256];
    std::snprintf(line, sizeof line, "%s %s", where, reason);
    report(line);
    return false;
}

bool restart_initial_state(float*& initial_state, std::uint32_t& state_version, HyEvolveCache& cache,
                           const char* where, int nx, int ny, double dx, double dy)
{
    if (initial_state) {
        hymem::release(initial_state);
        initial_state = nullptr;
    }
    ++state_version;
    cache.valid = false;
    return lattice_usable(where, nx, ny, dx, dy);
}

bool transform_or_flatten(HySpectralTransform& transform, float* array, int nx, int ny)
{
    if (transform.inverse(array, nx, ny))
        return true;
    std::memset(array, 0, sizeof(float) * static_cast<std::size_t>(nx + 2) * static_cast<std::size_t>(ny));
    return false;
}

double filtered_weight(double density, double kx, double ky, double a, double b, double c)
{
    auto sinc = [](double z) { return z == 0.0 ? 1.0 : std::sin(z) / z; };
    const double f2 = kx * kx + ky * ky;
    double time_window = 1.0;
    if (c > 0.0) {
        const double z = std::sqrt(f2 * 6.283185307 * 9.81) * 3.1415926535 * c;
        time_window = z > 0.0 ? std::sin(z) / z : 1.0;
    }
    const double w = -6.2831853 * std::sqrt(density * 9.81 * 9.81 * f2) * sinc(3.1415926535 * kx * a) *
                     sinc(3.1415926535 * ky * b) * time_window;
    return std::isfinite(w) ? w : 0.0;
}

double node_height(const float* heights, int ncols, int nrows, int i, int j)
{
    if (!heights || i < 0 || j < 0 || i >= 2 * (ncols - 1) || j >= nrows)
        return 0.0;
    return heights[static_cast<std::size_t>(j) * 2 * (ncols - 1) + i];
}

void HyEvolveCache::release()
{
    if (amplitude)
        hymem::release(amplitude);
    if (omega)
        hymem::release(omega);
    amplitude = nullptr;
    omega = nullptr;
    count = 0;
    valid = false;
}

bool HyEvolveCache::reserve(std::int64_t n)
{
    valid = false;
    if (n == count && amplitude && omega)
        return true;
    release();
    amplitude = hymem::allocate_array<float>(static_cast<std::size_t>(2 * n));
    omega = hymem::allocate_array<double>(static_cast<std::size_t>(n));
    if (!amplitude || !omega) {
        release();
        return false;
    }
    count = n;
    return true;
}

bool HyEvolveCache::matches(const double* k, int n) const
{
    return valid && std::memcmp(key, k, sizeof(double) * static_cast<std::size_t>(n)) == 0;
}

void HyEvolveCache::remember(const double* k, int n)
{
    std::memcpy(key, k, sizeof(double) * static_cast<std::size_t>(n));
}

} // namespace hywave

using hywave::report;

HyOceanSurfaceGridElement::HyOceanSurfaceGridElement(const HyOcean_record& record) : HyOcean_data(record)
{
    kind = 0;
    spectrum_type = static_cast<std::uint16_t>(record.spectrum_type);
    ncols = nx / 2 + 1;
    nrows = ny;
    dkx = 1.0 / (nx * dx);
    dky = 1.0 / (ny * dy);
    cell_area = dkx * dky;
    kx_limit = 1.0 / (2.0 * dx) - dkx;
    ky_limit = 1.0 / (2.0 * dy) - dky;
    k_limit = std::min(kx_limit, ky_limit);
    band_low = record.band_low;
    band_high = record.band_high;
    set_wave_parameters(record.wind_direction, record.wind_speed, record.shortest_wavelength,
                        record.vertical_scale, record.extra);
}

HyOceanSurfaceGridElement::~HyOceanSurfaceGridElement()
{
    if (initial_state)
        hymem::release(initial_state);
}

void HyOceanSurfaceGridElement::set_wave_parameters(double direction, double speed, double shortest,
                                                    double vscale, double extra_value)
{
    wind_direction = direction;
    wind_speed = speed;
    wind_cos = std::cos(direction);
    wind_sin = std::sin(direction);
    shortest_wavelength = shortest;
    vertical_scale = vscale;
    extra = extra_value;
    compute_spectrum_constants();
}

void HyOceanSurfaceGridElement::compute_spectrum_constants()
{
    k_max = k_limit;
    if (spectrum_type == 104 && shortest_wavelength > 0.0)
        k_max = std::min(k_limit, 1.0 / shortest_wavelength);
    if (spectrum_type == 101 || spectrum_type == 103 || spectrum_type == 104) {
        const double u = wind_speed;
        // A wind that is not a finite positive speed raises no waves.
        k_min = (u > 0.0 && std::isfinite(u)) ? 6.572700000000001 / (u * u * 2.0 * 3.1415926535) : 99999999.0;
        k_top = 100.0;
        double range = std::log(k_top / k_min) * 0.0032246527744746794;
        if (!(range >= 0.0))
            range = 0.0;
        level = range > 0.0 ? (0.003 + 0.00508 * u) / range : 0.0;
        if (!std::isfinite(level))
            level = 0.0;
        level_aux = level;
    } else {
        // Type 0 (a flat field) included: it has no spectrum constants to form.
        report("DP not yet implemented ");
        std::fputs("DP not yet implemented \n", stdout);
        std::fflush(stdout);
    }
}

double HyOceanSurfaceGridElement::spectrum(double kx, double ky) const
{
    const double q = kx * kx + ky * ky;
    double theta;
    if (kx == 0.0)
        theta = ky >= 0.0 ? 1.57079632675 : 4.71238898025;
    else
        theta = std::atan(ky / kx) + (kx < 0.0 ? 3.1415926535 : 0.0);
    const double c = std::cos(theta - wind_direction);
    double s;
    if (spectrum_type == 101) {
        if (q > k_max * k_max || q < k_min * k_min)
            return 0.0;
        s = 2.6e-5 * c * c / (q * q);
    } else if (spectrum_type == 103 || spectrum_type == 104) {
        if (q > k_max * k_max || q == 0.0)
            return 0.0;
        s = std::exp(-k_min * k_min / q) * 2.6e-5 * c * c / (q * q);
    } else {
        return 0.0;
    }
    if (band_low * band_low < q && q < band_high * band_high)
        s *= 0.5;
    return s;
}

double HyOceanSurfaceGridElement::weight(double kx, double ky) const
{
    const double w = std::sqrt(spectrum(kx, ky) * level);
    return std::isfinite(w) ? w : 0.0;
}

int HyOceanSurfaceGridElement::generate_kspace()
{
    if (!hywave::restart_initial_state(initial_state, state_version, cache, "HyOceanSurfaceGridElement::generate_kspace",
                                       nx, ny, dx, dy))
        return 0;
    const std::size_t floats = 2 * static_cast<std::size_t>(ncols) * static_cast<std::size_t>(nrows);
    initial_state = hymem::allocate_array<float>(floats, true);
    if (!initial_state) {
        report("unable to allocate initial state ocean grid ");
        return 0;
    }
    if (spectrum_type == 0)
        return 1;
    generator.set_mode(HyRandom::kModeShuffle);
    generator.seed(seed);
    const double a = std::pow(cell_area * 0.5, 0.5);
    for (std::size_t k = 0; k < floats; ++k)
        initial_state[k] = static_cast<float>(generator.gaussian() * a);
    hywave::enforce_real_symmetry(initial_state, ncols, nrows);
    return 1;
}

bool HyOceanSurfaceGridElement::rebuild_cache()
{
    const double key[16] = {double(spectrum_type), k_max, k_min, level, wind_direction, wind_cos, wind_sin,
                            band_low, band_high, double(loop), loop_time, double(state_version),
                            double(ncols), double(nrows), dkx, dky};
    if (cache.matches(key, 16))
        return true;
    const hywave::HyLattice lat{ncols, nrows, dkx, dky, wind_cos, wind_sin};
    // The same weight as spectrum(), with the spreading cos^2(theta - wind) taken from the projection
    // on the wind instead of an arctangent and a cosine: equal to rounding, and it keeps a rebuild
    // (every frame while the wind is animated) cheap.
    const double k_max2 = k_max * k_max, k_min2 = k_min * k_min;
    const double low2 = band_low * band_low, high2 = band_high * band_high;
    auto fast_weight = [&](double kx, double ky) {
        const double q = kx * kx + ky * ky;
        double s;
        if (spectrum_type == 101) {
            if (q > k_max2 || q < k_min2)
                return 0.0;
            s = 2.6e-5 / (q * q);
        } else if (spectrum_type == 103 || spectrum_type == 104) {
            if (q > k_max2 || q == 0.0)
                return 0.0;
            s = std::exp(-k_min2 / q) * 2.6e-5 / (q * q);
        } else {
            return 0.0;
        }
        const double p = kx * wind_cos + ky * wind_sin;
        s *= p * p / q;
        if (low2 < q && q < high2)
            s *= 0.5;
        const double w = std::sqrt(s * level);
        return std::isfinite(w) ? w : 0.0;
    };
    if (!hywave::build_cache(cache, initial_state, lat, *this, spectrum_type != 0, fast_weight))
        return false;
    cache.remember(key, 16);
    return true;
}

void HyOceanSurfaceGridElement::evolve_to_time(double t)
{
    compute_spectrum_constants();
    hywave::evolve_frame(heights, initial_state, ncols, nrows, cache, direct_only, spectrum_pending, t,
                         [this] { return rebuild_cache(); }, [this](double t0) { evolve_direct_now(t0); });
}

void HyOceanSurfaceGridElement::evolve_to_time_direct(double t)
{
    compute_spectrum_constants();
    evolve_direct_now(t);
}

void HyOceanSurfaceGridElement::evolve_direct_now(double t)
{
    if (!heights || !initial_state)
        return;
    if (!std::isfinite(t))
        t = 0.0;
    const hywave::HyLattice lat{ncols, nrows, dkx, dky, wind_cos, wind_sin};
    if (hywave::evolve_direct(heights, initial_state, lat, *this, t, hywave::HyPhaseMode::height, spectrum_type != 0,
                              [this](double kx, double ky) { return weight(kx, ky); }))
        spectrum_pending = true;
}

namespace {

// Multiplies the whole array by the vertical scale narrowed to float; a scale that is not a finite
// number flattens the field rather than filling it with NaN.
void apply_vertical_scale(float* array, std::size_t floats, double vertical_scale)
{
    if (vertical_scale == 1.0)
        return;
    const float f = std::isfinite(vertical_scale) ? static_cast<float>(vertical_scale) : 0.0f;
    for (std::size_t k = 0; k < floats; ++k)
        array[k] *= f;
}

} // namespace

void HyOceanSurfaceGridElement::transform_to_heights()
{
    // Only a freshly evolved spectrum is transformed: after a failed evolution the array keeps the
    // last heights instead of being read as a spectrum.
    if (!heights || nx < 2 || ny < 1 || (nx % 2) != 0 || !spectrum_pending)
        return;
    spectrum_pending = false;
    hywave::transform_or_flatten(transform, heights, nx, ny);
    apply_vertical_scale(heights, 2 * static_cast<std::size_t>(ncols) * nrows, vertical_scale);
}

void HyOceanSurfaceGridElement::evolve_filtered_to_time(float* array, double t, double a, double b, double c)
{
    compute_spectrum_constants();
    if (!array || !initial_state)
        return;
    if (!std::isfinite(t))
        t = 0.0;
    const hywave::HyLattice lat{ncols, nrows, dkx, dky, wind_cos, wind_sin};
    auto filter = [&](double kx, double ky) {
        return hywave::filtered_weight(spectrum(kx, ky) * level, kx, ky, a, b, c);
    };
    if (!hywave::evolve_direct(array, initial_state, lat, *this, t, hywave::HyPhaseMode::height, spectrum_type != 0,
                               filter))
        return;
    hywave::transform_or_flatten(transform, array, nx, ny);
    apply_vertical_scale(array, 2 * static_cast<std::size_t>(ncols) * nrows, vertical_scale);
}

void HyOceanSurfaceGridElement::upgrade_potential_field(double t)
{
    compute_spectrum_constants();
    if (!heights || !initial_state)
        return;
    if (!std::isfinite(t))
        t = 0.0;
    const hywave::HyLattice lat{ncols, nrows, dkx, dky, wind_cos, wind_sin};
    if (!hywave::evolve_direct(heights, initial_state, lat, *this, t, hywave::HyPhaseMode::potential,
                               spectrum_type != 0, [this](double kx, double ky) { return -9.81 * weight(kx, ky); }))
        return;
    hywave::transform_or_flatten(transform, heights, nx, ny);
    apply_vertical_scale(heights, 2 * static_cast<std::size_t>(ncols) * nrows, vertical_scale);
    std::fputs("upgrading potential field \n", stdout);
    std::fflush(stdout);
}

double HyOceanSurfaceGridElement::get_node_height(int i, int j)
{
    return hywave::node_height(heights, ncols, nrows, i, j);
}
