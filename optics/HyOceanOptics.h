// Optics of sea water and of the wind-roughened air-water interface.
//
// Three colour channels, each standing for one wavelength: red 0.701 um, green 0.535 um, blue 0.473 um.
// Directions and normals are three doubles (x east, y north, z up) passed by pointer; a "channel" is
// 0, 1, 2 for red, green, blue. A "side" is 1 when the eye is above the surface, -1 when it is below.
#pragma once

#include <cstdint>

#include "platform/HyMemory.h"

// Parameter block from which the effect builds the water optics; defaults are the constructor's.
struct HyOceanOpticsParams {
    double resolved_cutoff_length = 0.5; // metres: the shortest wavelength the height grid resolves
    double wind_speed = 5.0;             // m/s
    double shortest_wave_length = 0.01;  // metres; values below 0.01 are raised to 0.01
    std::int32_t water_type = 1;         // 0 = explicit colour and attenuation; 1..5 = built-in water types
    double slope_scale = 1.0;            // multiplies the sub-grid slope deviation seen by the glitter
    double water_color[3] = {0.1, 0.1, 0.1};            // upwelling radiance per unit illumination, r g b
    double attenuation_length[3] = {10.0, 10.0, 10.0};   // metres over which light in water falls by e
    double index_of_refraction[3] = {1.34, 1.34, 1.34};
};

// One regular axis of the slope-averaged table: samples start, start + step, ..., end.
struct HyTableAxis {
    std::int32_t count = 0;
    double start = 0.0;
    double end = 0.0;
    double step = 0.0;     // (end - start) / (count - 1)
    double inv_step = 0.0; // 1 / step (0 when the axis is degenerate)
};

// Reflectance tables of one set of water parameters. Plain data, allocated zero-filled.
struct HyReflectanceTable {
    static constexpr int kFresnelCount = 201;   // cosines -1.00 .. +1.00, step 0.01
    static constexpr int kFractionCount = 16;   // 0.1 .. 0.995
    static constexpr int kSlope2Count = 15;     // 0 .. 9 sigma_large^2
    static constexpr int kViewCount = 9;        // view cosine 0.005 .. 0.995
    static constexpr int kSlopeEntries = kFractionCount * kSlope2Count * kViewCount;

    double sigma_small;  // standard deviation of the unresolved slope, per horizontal axis
    double sigma_large;  // standard deviation of the resolved slope
    double index_of_refraction[3];

    // Fresnel reflectance against the signed cosine between normal and direction.
    // Entry [k][i] is channel k at cosine fresnel_start + fresnel_step * i; a positive cosine means the
    // light travels out of the water (ratio 1/n), a negative one into it (ratio n).
    double fresnel_start;
    double fresnel_step;
    std::int32_t fresnel_count;
    double fresnel[3][kFresnelCount];

    std::int32_t ready; // the slope-averaged table below has been built

    // Reflectance averaged over the unresolved slopes, per channel, shape [fraction][slope^2][view cosine],
    // the view cosine fastest: entry (f, s, v) of channel k is slope[k][(f * kSlope2Count + s) * kViewCount + v].
    double slope[3][kSlopeEntries];

    HyTableAxis fraction_axis;
    HyTableAxis slope2_axis;
    HyTableAxis view_axis;
};

// Standard normal cumulative distribution Phi(x) at x = (i - 400) / 100, i = 0..800, as floats.
// Computed once on first use from the complementary error function.
const float* hy_standard_normal_table();
constexpr int kHyStandardNormalCount = 801;

class HyOceanOptics : public HyAllocated {
public:
    explicit HyOceanOptics(const HyOceanOpticsParams& params = HyOceanOpticsParams());
    HyOceanOptics(const HyOceanOptics&) = delete; // owns its table
    HyOceanOptics& operator=(const HyOceanOptics&) = delete;

    // 0. Frees the reflectance table.
    virtual ~HyOceanOptics();
    // 1. Recomputes colours, attenuation, slope statistics, the Fresnel table and the slope-table axes.
    //    Returns 1, or 0 when the reflectance table could not be allocated (fields 1 to 4 are still kept).
    virtual int set_parameters(const HyOceanOpticsParams& params);
    // 2. (Re)builds the slope-averaged reflectance table and marks it ready; returns 1 (0 without a table).
    virtual int prepare_slope_table();
    // 3. Sets the second preparation flag (clearing it first when already set); returns 1.
    virtual int prepare_second();
    // 4. Clears the second preparation flag; returns 1.
    virtual int clear_second();
    // 5. Clears the slope-table-ready flag; returns 1.
    virtual int clear_slope_table();
    // 6. The slope-table-ready flag.
    virtual int is_slope_table_ready() const;
    // 7. The second preparation flag.
    virtual int is_second_ready() const;
    // 8. Mirror reflection: out = d - 2 (n . d) n. `out` may alias neither input.
    virtual void reflect(const double* normal, const double* direction, double* out) const;
    // 9. Refraction with the channel's index of refraction. Returns 0 (out untouched) for a channel above 2
    //    or on total internal reflection, else 1.
    virtual int refract_channel(const double* normal, const double* direction, int channel, double* out) const;
    // 10. Refraction with an explicit index ratio: the direction is taken to cross into the medium the
    //     normal points away from when n . d <= 0. Returns 0 (out untouched) on total internal reflection.
    virtual int refract(const double* normal, const double* direction, double ratio, double* out) const;
    // 11. Squared cosine of the critical angle, 1 - 1/n^2; 0 for a channel above 2.
    virtual double critical_cos2(int channel) const;
    // 12. Upwelling water colour per channel.
    virtual void get_water_color(double* r, double* g, double* b) const;
    // 13. Attenuation length per channel, metres.
    virtual void get_attenuation_length(double* r, double* g, double* b) const;
    // 14. Reflectance per channel of a facet with unit `normal` seen along unit `direction`. Side 1 with
    //     the slope table ready averages over the unresolved slopes; side 1 without it, or side -1, uses
    //     the plain Fresnel table at n . d; any other side gives 1, 1, 1.
    virtual void fresnel_reflectance(const double* normal, const double* direction, int side, double* r,
                                     double* g, double* b) const;
    // 15. Sun-glitter factor per channel of the unresolved slopes around the mean `normal`, for a light
    //     travelling along `light` and an eye looking along `view` (both unit). Side -1: light transmitted
    //     through the surface to an eye below; otherwise reflected. Zero when the view looks up.
    virtual void glitter(const double* normal, const double* light, const double* view, int side, double* r,
                         double* g, double* b) const;

    // Plain Fresnel lookup at signed cosine c (linear between table entries), three channels.
    void fresnel_lookup(double c, double out[3]) const;
    // One entry of the slope-averaged table: facet slope squared s2, view cosine mu, facet cosine c.
    void slope_averaged_entry(double s2, double mu, double c, double out[3]) const;

    // Read access for the scene and for checks.
    const HyReflectanceTable* table() const { return table_; }
    double sigma_small() const { return table_ ? table_->sigma_small : 0.0; }
    double sigma_large() const { return table_ ? table_->sigma_large : 0.0; }
    double wavelength(int channel) const { return (channel >= 0 && channel < 3) ? wavelength_[channel] : 0.0; }
    double index_of_refraction(int channel) const
    {
        return (channel >= 0 && channel < 3) ? index_of_refraction_[channel] : 0.0;
    }
    std::int32_t water_type() const { return water_type_; }
    double shortest_wave_length() const { return shortest_wave_length_; }

    // Built-in water-type tables (types 1..5), exposed for checks: diffuse attenuation K (1/m) at the
    // wavelength in micrometres, and water reflectance at the wavelength.
    static double water_type_attenuation(int type, double wavelength_um);
    static double water_type_reflectance(int type, double wavelength_um);

private:
    void build_fresnel_table();
    void set_slope_axes();

    double wavelength_[3] = {0.701, 0.535, 0.473};
    std::int32_t slope_table_ready_ = 0;
    std::int32_t second_ready_ = 0;
    double resolved_cutoff_length_ = 0.5;
    double wind_speed_ = 5.0;
    double shortest_wave_length_ = 0.01;
    std::int32_t water_type_ = 1;
    double slope_scale_ = 1.0;
    double water_color_[3] = {0.1, 0.1, 0.1};
    double attenuation_length_[3] = {10.0, 10.0, 10.0};
    double index_of_refraction_[3] = {1.34, 1.34, 1.34};
    HyReflectanceTable* table_ = nullptr; // owned; allocated zero-filled
};
