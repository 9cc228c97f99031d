#include "optics/HyAirOptics.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kClearScaleHeight = 8000.0;
constexpr double kPiBow = 3.1415926535;
constexpr double kDiscSolidAngle = 6.76e-5; // steradians of the reference light disc
constexpr double kTwoPi = 6.283185307;

inline double dot3(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline bool zero_length(const double* d) { return d[0] == 0.0 && d[1] == 0.0 && d[2] == 0.0; }

// Scattered light gathered along a ray through an exponential layer, per unit of phase and light:
// the in-scatter of each segment, dimmed by the light's path down to it (slant 1/mus) and by the ray's
// own path back to the start; f folds both slants into one exponent.
inline double gathered(double c, double rho0, double p, double f, double mus, double hs)
{
    const double y = c * rho0 * p * f;
    const double sun = std::exp(-c * rho0 / mus);
    double s;
    if (std::fabs(y) <= 0.001)
        s = sun * hs * std::fabs(rho0 * p); // (hs / c) |c rho0 p| without dividing by c
    else
        s = std::fabs((1.0 - std::exp(-y)) / f) * sun * (hs / c);
    return std::isfinite(s) ? s : 0.0;
}

} // namespace

HyAirFlatOptics::HyAirFlatOptics(const HyAirOpticsParams& params) { HyAirFlatOptics::set_parameters(params); }

HyAirFlatOptics::~HyAirFlatOptics() = default;

double HyAirFlatOptics::clear_air_band_coefficient(double a, double b, double e)
{
    const double h = kClearScaleHeight;
    const double l0 = kReferenceWavelength;
    if (b == a)
        return 1.07e-6 * h * std::pow(l0, e - 4.1) * std::pow(a, -e);
    if (e == 4.1)
        return (std::pow(a, -3.1) - std::pow(b, -3.1)) * h * 3.451612903225806e-7 / (b - a);
    if (e == 1.0)
        return std::pow(l0, -3.1) * h * 1.07e-6 * (std::log(b) - std::log(a)) / (b - a);
    return (std::pow(a, -(e - 1.0)) - std::pow(b, -(e - 1.0))) * std::pow(l0, e - 1.0 - 3.1) * (1.07e-6 / (e - 1.0)) *
           h / (b - a);
}

int HyAirFlatOptics::set_parameters(const HyAirOpticsParams& p)
{
    air_mode_ = p.haze_on ? (p.clear_air_on ? kClearAirAndHaze : kHazeOnly) : (p.clear_air_on ? kClearAir : kNoAir);
    clear_scale_height_ = kClearScaleHeight;
    density_factor_ = 1.0;
    exponent_ = p.scattering_bias;
    for (int k = 0; k < 3; ++k)
        clear_coef_[k] = density_factor_ * clear_air_band_coefficient(kBand[k][0], kBand[k][1], exponent_);

    // A haze thinner than a metre or seen through less than a metre is indistinguishable on screen from
    // those limits; the floors keep every coefficient finite.
    haze_height_ = std::max(p.haze_height, 1.0);
    const double visibility = std::max(p.haze_visibility, 1.0);
    haze_factor_ = 9400.0 / visibility;
    for (int k = 0; k < 3; ++k) {
        haze_inscatter_[k] = 0.0;
        haze_coef_[k] = 0.0;
        haze_g_[k] = 0.0;
    }
    if (air_mode_ == kClearAirAndHaze || air_mode_ == kHazeOnly) {
        for (int k = 0; k < 3; ++k) {
            double base;
            if (p.haze_tints_extinction == 0) {
                haze_inscatter_[k] = p.haze_color[k];
                base = 1.0;
            } else {
                haze_inscatter_[k] = 1.0;
                base = p.haze_color[k];
            }
            haze_g_[k] = 1.0 - std::pow(10.0, -4.0 * p.haze_diffusivity);
            base = std::max(base, 0.1);
            haze_coef_[k] = haze_factor_ * 0.000106 * haze_height_ * base;
        }
    }

    rainbow_style_ = p.rainbow_style;
    if (p.rainbow_per_channel) {
        for (int k = 0; k < 3; ++k) {
            const double r = p.rainbow_radius_rgb[k];
            bow_intensity_[k] = p.rainbow_intensity_rgb[k] * 0.025;
            bow_centre_[k] = -std::cos(r);
            bow_width_[k] = std::fabs(std::cos(r) - std::cos(r + p.rainbow_thickness_rgb[k])) + 1e-6;
        }
    } else {
        // Shorter wavelengths bend less: green and blue bows sit inside the red one.
        const double r = p.rainbow_radius;
        const double t = p.rainbow_thickness * kPiBow / 180.0;
        bow_centre_[0] = -std::cos(r);
        bow_centre_[1] = -std::cos(r - 0.8 * t);
        bow_centre_[2] = -std::cos(r - 1.4 * t);
        const double w = bow_centre_[1] - bow_centre_[2];
        for (int k = 0; k < 3; ++k) {
            bow_intensity_[k] = p.rainbow_intensity * 0.025;
            bow_width_[k] = w;
        }
    }
    rainbow_direction_given_ = p.rainbow_direction_given;
    for (int k = 0; k < 3; ++k)
        rainbow_direction_[k] = p.rainbow_direction[k];

    air_base_ = p.air_base_height;
    disc_cap_ = p.light_disc_brightness_cap;
    disc_solid_angle_factor_ = 10.0 * p.light_disc_size_factor * p.light_disc_size_factor;
    return 1;
}

bool HyAirFlatOptics::ray_distance(double z, double dz, double max_distance, double* start_height,
                                   double* distance, bool* unbounded) const
{
    double h = z - air_base_;
    const bool limited = max_distance > 0.0;
    if (h < 0.0) {
        // Below the air: only a rising ray reaches it, and it has no air until the base.
        if (!(dz > 0.0))
            return false;
        const double travel = -h / dz;
        h = 0.0;
        if (limited) {
            const double rest = max_distance - travel;
            if (rest <= 0.0)
                return false;
            *start_height = h;
            *distance = rest;
            *unbounded = false;
            return true;
        }
        *start_height = h;
        *distance = kUnbounded;
        *unbounded = true;
        return true;
    }
    *start_height = h;
    if (dz < 0.0) {
        double d = -h / dz;
        if (limited)
            d = std::min(d, max_distance);
        *distance = d;
        *unbounded = false;
    } else if (limited) {
        *distance = max_distance;
        *unbounded = false;
    } else {
        *distance = kUnbounded;
        *unbounded = true;
    }
    return true;
}

double HyAirFlatOptics::optical_path_factor(double hs, double dz, double distance, bool unbounded)
{
    if (unbounded)
        return (dz > 0.0) ? 1.0 / dz : kUnbounded;
    const double l = distance / hs;
    const double x = l * dz;
    if (std::fabs(x) < 0.001)
        return l - dz * 0.5 * l * l;
    return (1.0 - std::exp(-x)) / dz;
}

void HyAirFlatOptics::transmittance_along(double h, double dz, double distance, bool unbounded, double t[3]) const
{
    t[0] = t[1] = t[2] = 1.0;
    // With haze, its extinction is the one that counts.
    const bool haze = air_mode_ == kClearAirAndHaze || air_mode_ == kHazeOnly;
    if (!haze && air_mode_ != kClearAir)
        return;
    const double hs = haze ? haze_height_ : clear_scale_height_;
    const double* coef = haze ? haze_coef_ : clear_coef_;
    const double rho0 = std::exp(-h / hs);
    const double p = optical_path_factor(hs, dz, distance, unbounded);
    for (int k = 0; k < 3; ++k)
        t[k] = std::exp(-coef[k] * rho0 * p);
}

void HyAirFlatOptics::transmittance(const double* position, const double* direction, double max_distance, double* r,
                                    double* g, double* b) const
{
    double t[3] = {1.0, 1.0, 1.0};
    double h, dist;
    bool unb;
    if (air_mode_ != kNoAir && !zero_length(direction) &&
        ray_distance(position[2], direction[2], max_distance, &h, &dist, &unb))
        transmittance_along(h, direction[2], dist, unb, t);
    *r = t[0];
    *g = t[1];
    *b = t[2];
}

void HyAirFlatOptics::single_scatter(double h, double dz, double distance, bool unbounded, const double*,
                                     const double*, double mus, const double lc[3], double clear[3],
                                     double haze[3]) const
{
    for (int k = 0; k < 3; ++k)
        clear[k] = haze[k] = 0.0;
    if (!(mus > 0.0))
        return;
    if (air_mode_ == kClearAir) {
        const double hs = clear_scale_height_;
        const double m = mus + 0.0001;
        const double f = 1.0 - dz / m;
        const double rho0 = std::exp(-h / hs);
        const double p = optical_path_factor(hs, dz, distance, unbounded);
        for (int k = 0; k < 3; ++k)
            clear[k] = gathered(clear_coef_[k], rho0, p, f, m, hs) * lc[k];
        return;
    }
    if (air_mode_ != kClearAirAndHaze && air_mode_ != kHazeOnly)
        return;
    if (air_mode_ == kClearAirAndHaze && unbounded && dz > 0.0) {
        // Clear air only shows above the haze, seen through all of it.
        double th[3];
        transmittance_along(h, dz, distance, unbounded, th);
        const double d1 = dz + 0.01, m1 = mus + 0.01;
        const double p = 1.0 / d1;
        const double f = 1.0 - d1 / m1;
        for (int k = 0; k < 3; ++k)
            clear[k] = th[k] * lc[k] * gathered(clear_coef_[k], 1.0, p, f, m1, clear_scale_height_);
    }
    const double hs = haze_height_;
    const double m = mus + 0.001;
    const double f = 1.0 - dz / m;
    const double rho0 = std::exp(-h / hs);
    const double p = optical_path_factor(hs, dz, distance, unbounded);
    const double s = gathered(haze_coef_[0], rho0, p, f, m, hs);
    for (int k = 0; k < 3; ++k)
        haze[k] = s * lc[k] * haze_inscatter_[k];
}

void HyAirFlatOptics::sky_radiance(const double* position, const double* direction, double max_distance,
                                   const double* light, double* r, double* g, double* b) const
{
    double out[3] = {0.0, 0.0, 0.0};
    double h, dist;
    bool unb;
    if (air_mode_ == kNoAir || zero_length(direction) ||
        !ray_distance(position[2], direction[2], max_distance, &h, &dist, &unb)) {
        *r = *g = *b = 0.0;
        return;
    }
    const double lc[3] = {kLightRadiance, kLightRadiance, kLightRadiance};
    double clear[3], haze[3];
    single_scatter(h, direction[2], dist, unb, position, direction, -light[2], lc, clear, haze);

    const bool hazy = (air_mode_ == kClearAirAndHaze || air_mode_ == kHazeOnly);
    const double cs = -dot3(direction, light);
    const double cs_bow = rainbow_direction_given_ ? -dot3(direction, rainbow_direction_) : cs;
    const double pr = (air_mode_ == kHazeOnly) ? 0.0 : (1.0 + 0.9324 * cs * cs) * 0.060709651179326155;
    for (int k = 0; k < 3; ++k) {
        double ph = 0.0;
        if (hazy) {
            const double gk = haze_g_[k];
            const double br = 1.0 - 2.0 * gk * cs + gk * gk;
            const double inv = (br > 0.0) ? 1.0 / (12.566371 * br * std::sqrt(br)) : 99999999.0;
            ph = (1.0 - gk * gk) * inv * (haze_coef_[k] / haze_height_);
        }
        double bow = 0.0;
        if (rainbow_style_ != 0 && bow_width_[k] != 0.0) {
            const double x = (cs_bow - bow_centre_[k]) / bow_width_[k];
            const double e = -x * x / 2.0;
            bow = (e <= -8.0) ? 0.0 : bow_intensity_[k] * std::exp(e);
        }
        double ak = (air_mode_ == kHazeOnly) ? 0.0 : pr * clear_coef_[k] / clear_scale_height_;
        if (rainbow_style_ == 1 && hazy)
            ph += (haze_coef_[k] / haze_height_) * bow;
        else if (rainbow_style_ == 2)
            ak += bow * clear_coef_[0] / clear_scale_height_;
        double v = 0.0;
        if (air_mode_ != kHazeOnly)
            v += ak * clear[k];
        if (hazy)
            v += ph * haze[k];
        out[k] = std::isfinite(v) ? v : 0.0;
    }
    *r = out[0];
    *g = out[1];
    *b = out[2];
}

bool HyAirFlatOptics::in_light_disc(double size, const double* direction, const double* light, double factor) const
{
    return -dot3(direction, light) >= 1.0 - (disc_solid_angle_factor_ * size * factor * kDiscSolidAngle) / kTwoPi;
}

void HyAirFlatOptics::light_disc_radiance(const double* position, const double* direction, double max_distance,
                                          const double* light, double light_intensity, double light_size,
                                          double* r, double* g, double* b) const
{
    *r = *g = *b = 0.0;
    double h, dist;
    bool unb;
    if (zero_length(direction) || !ray_distance(position[2], direction[2], max_distance, &h, &dist, &unb))
        return;
    if (!unb || !(direction[2] > 0.0) || !in_light_disc(light_size, direction, light, 1.0))
        return;
    double t[3] = {1.0, 1.0, 1.0};
    if (air_mode_ != kNoAir)
        transmittance_along(h, direction[2], dist, unb, t);
    double v[3];
    for (int k = 0; k < 3; ++k)
        v[k] = t[k] * light_intensity * kLightRadiance;
    const double top = std::max(v[0], std::max(v[1], v[2]));
    if (top > disc_cap_ && top > 0.0) {
        const double s = disc_cap_ / top;
        for (int k = 0; k < 3; ++k)
            v[k] *= s;
    }
    *r = v[0];
    *g = v[1];
    *b = v[2];
}

void HyAirFlatOptics::air_radiance(const double* position, const double* direction, double max_distance,
                                   const double* light, double light_intensity, double light_size, double* r,
                                   double* g, double* b) const
{
    double s[3], d[3];
    sky_radiance(position, direction, max_distance, light, &s[0], &s[1], &s[2]);
    light_disc_radiance(position, direction, max_distance, light, light_intensity, light_size, &d[0], &d[1], &d[2]);
    *r = s[0] + d[0];
    *g = s[1] + d[1];
    *b = s[2] + d[2];
}
