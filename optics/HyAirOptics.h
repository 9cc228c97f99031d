// Optics of the air above a flat sea: a horizontally uniform atmosphere whose density falls off
// exponentially with height, with clear-air (wavelength-dependent) scattering, an optional haze layer,
// a rainbow and the visible disc of a light.
//
// Positions are metres in the world frame (z up); heights are measured from the air base height.
// Directions are three doubles (unit length expected) passed by pointer. A light direction is the
// direction the light travels, so a sun above the horizon has a negative z component.
// A maximum distance that is not positive means "to the end of the air".
#pragma once

#include <cstdint>

#include "platform/HyMemory.h"

// Parameter block from which the render driver builds the air optics; defaults are the constructor's.
struct HyAirOpticsParams {
    std::int32_t clear_air_on = 1;
    double haze_visibility = 2000.0;              // metres
    double haze_color[3] = {1.0, 1.0, 1.0};       // 0..1
    std::int32_t haze_on = 0;
    std::int32_t haze_tints_extinction = 0;       // 1: the haze colour tints extinction, not in-scatter
    double haze_height = 500.0;                   // metres above the air base (scale height of the haze)
    double haze_diffusivity = 0.9;
    double scattering_bias = 4.0;                 // wavelength exponent of clear-air scattering
    double light_disc_brightness_cap = 1.0;
    double light_disc_size_factor = 1.0;
    double air_base_height = -10.0;               // metres; heights are measured from here
    std::int32_t rainbow_style = 0;               // 0 none, 1 haze rainbow, 2 clear-air rainbow
    double rainbow_radius = 0.7330382858166667;   // radians (42 degrees)
    double rainbow_intensity = 5.0;
    double rainbow_thickness = 1.0;               // degrees
    std::int32_t rainbow_per_channel = 0;         // 1: use the three per-channel rows below
    double rainbow_radius_rgb[3] = {0.7330382858166667, 0.7330382858166667, 0.7330382858166667}; // radians
    double rainbow_intensity_rgb[3] = {5.0, 5.0, 5.0};
    double rainbow_thickness_rgb[3] = {0.004363323129985824, 0.004363323129985824,
                                       0.004363323129985824}; // radians (0.25 degrees)
    std::int32_t rainbow_direction_given = 0;     // 1: the bow centres on rainbow_direction, not the light
    double rainbow_direction[3] = {0.0, 0.0, -1.0};
};

class HyAirFlatOptics : public HyAllocated {
public:
    // Air modes.
    static constexpr std::int32_t kNoAir = 0;
    static constexpr std::int32_t kClearAir = 1;
    static constexpr std::int32_t kClearAirAndHaze = 3;
    static constexpr std::int32_t kHazeOnly = 4;

    // Distance written for a ray that never leaves the air.
    static constexpr double kUnbounded = 99999999.0;
    // Radiance of the light assumed by sky_radiance, per channel.
    static constexpr double kLightRadiance = 15.0;

    explicit HyAirFlatOptics(const HyAirOpticsParams& params = HyAirOpticsParams());

    // 0.
    virtual ~HyAirFlatOptics();
    // 1. Derives the air mode, the clear-air and haze coefficients and the rainbow geometry; returns 1.
    virtual int set_parameters(const HyAirOpticsParams& params);
    // 2. Fraction of light surviving from `position` along `direction` for up to `max_distance` metres.
    virtual void transmittance(const double* position, const double* direction, double max_distance, double* r,
                               double* g, double* b) const;
    // 3. Light scattered into the ray by air, haze and rainbow for a light of radiance 15 per channel
    //    travelling along `light`; zero when the light is at or below the horizon.
    virtual void sky_radiance(const double* position, const double* direction, double max_distance,
                              const double* light, double* r, double* g, double* b) const;
    // 4. sky_radiance plus the light's disc when the ray escapes upward and points into the disc.
    virtual void air_radiance(const double* position, const double* direction, double max_distance,
                              const double* light, double light_intensity, double light_size, double* r,
                              double* g, double* b) const;
    // 5. The light-disc term of air_radiance alone (zero when the ray misses the disc).
    virtual void light_disc_radiance(const double* position, const double* direction, double max_distance,
                                     const double* light, double light_intensity, double light_size, double* r,
                                     double* g, double* b) const;
    // 6. True when a ray along `direction` may see the disc of a light of `size` (times `factor`).
    virtual bool in_light_disc(double size, const double* direction, const double* light, double factor) const;

    // Distance along a ray that lies in the air. Returns false when no air is crossed. On success
    // `start_height` is the height above the air base where the in-air part starts, `distance` its length
    // (kUnbounded when the ray never leaves the air) and `unbounded` says which.
    bool ray_distance(double z, double dz, double max_distance, double* start_height, double* distance,
                      bool* unbounded) const;
    // Optical path factor of a layer of scale height hs: the path length in scale heights at base density,
    // for a ray starting at height h (the density there is applied separately), direction z component dz.
    static double optical_path_factor(double hs, double dz, double distance, bool unbounded);

    // Clear-air scattering coefficient averaged over the band [a, b] (micrometres) for wavelength
    // exponent e: closed forms at e = 4.1 and e = 1.0, the general band average otherwise.
    static double clear_air_band_coefficient(double a, double b, double e);

    // Derived state, for the scene and for checks.
    std::int32_t air_mode() const { return air_mode_; }
    double clear_air_coefficient(int k) const { return ch(k) ? clear_coef_[k] : 0.0; }
    double haze_coefficient(int k) const { return ch(k) ? haze_coef_[k] : 0.0; }
    double haze_asymmetry(int k) const { return ch(k) ? haze_g_[k] : 0.0; }
    double haze_color(int k) const { return ch(k) ? haze_inscatter_[k] : 0.0; }
    double haze_height() const { return haze_height_; }
    double air_base_height() const { return air_base_; }
    double rainbow_centre(int k) const { return ch(k) ? bow_centre_[k] : 0.0; }  // cosine
    double rainbow_width(int k) const { return ch(k) ? bow_width_[k] : 0.0; }
    double rainbow_intensity(int k) const { return ch(k) ? bow_intensity_[k] : 0.0; }
    std::int32_t rainbow_style() const { return rainbow_style_; }
    // 1 - cosine of the angular radius of a light's disc of `size` (the in_light_disc test with factor 1).
    double light_disc_cap_height(double size) const { return disc_solid_angle_factor_ * size * 6.76e-5 / 6.283185307; }

    // Reference wavelength (micrometres) and channel bands used for the clear-air coefficients.
    static constexpr double kReferenceWavelength = (0.701 + 0.0 + 0.535 + 0.473) / 3.0;
    static constexpr double kBand[3][2] = {{0.622, 0.78}, {0.4925, 0.5775}, {0.4545, 0.4915}};

private:
    static bool ch(int k) { return k >= 0 && k < 3; }
    // Clear-air and haze single-scattering results for one ray (before the phase functions).
    void single_scatter(double h, double dz, double distance, bool unbounded, const double* position,
                        const double* direction, double mus, const double lc[3], double clear[3],
                        double haze[3]) const;
    void transmittance_along(double h, double dz, double distance, bool unbounded, double t[3]) const;

    std::int32_t air_mode_ = 0;
    double clear_scale_height_ = 8000.0;
    double density_factor_ = 1.0;
    double exponent_ = 4.0;
    double clear_coef_[3] = {0.0, 0.0, 0.0};
    double haze_height_ = 500.0;
    double haze_factor_ = 0.0;
    double haze_inscatter_[3] = {0.0, 0.0, 0.0};
    double haze_coef_[3] = {0.0, 0.0, 0.0};
    double haze_g_[3] = {0.0, 0.0, 0.0};
    std::int32_t rainbow_style_ = 0;
    double bow_centre_[3] = {0.0, 0.0, 0.0};
    double bow_width_[3] = {1.0, 1.0, 1.0};
    double bow_intensity_[3] = {0.0, 0.0, 0.0};
    std::int32_t rainbow_direction_given_ = 0;
    double rainbow_direction_[3] = {0.0, 0.0, -1.0};
    double air_base_ = -10.0;
    double disc_cap_ = 1.0;
    double disc_solid_angle_factor_ = 10.0;
};
