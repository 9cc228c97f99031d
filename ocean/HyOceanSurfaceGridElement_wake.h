// Wake: the steady V-shaped wave pattern a hull leaves behind it at constant speed.
//
// The pattern is computed once, in the hull's frame, by filtering the hull's pressure footprint with
// the linear free-surface response of a source moving at speed U along +x,
//     H(k) = (F + i*e) / ((1 - F) - i*e),   F = (kx*U)^2 / (9.81*|k|),   e = kx*U*damping,
// evaluated in 32-bit complex arithmetic; afterwards only its position changes with time. The owner
// places it on a rotated, non-periodic, additive auxiliary grid that follows the ship.
//
// Patch frame: node (i, j) at (i*dx, j*dy), x along the heading. The hull centre sits at
// (nx*dx - L/2, ny*dy/2): the bow touches the +x edge and the wake trails toward -x.
// Arrays (32-bit floats, from the tagged allocator):
//   base        nx*ny values, node (i, j) at j*nx + i, no padding; the computed pattern, owned.
//   work array  (2*nx + 2)*ny values, made and freed by generate_kspace: a 2nx x ny real field whose
//               row j holds the footprint in columns nx..2nx-1 and zeros in 0..nx-1, so the wake
//               behind the hull does not wrap around onto it; transformed in place (half spectrum of
//               (nx + 1) x ny complex values, kx fastest).
//   bound array the auxiliary grid's (nx + 2)*ny floats; transform_to_heights copies base into its
//               first nx*ny values with the optional soft limit and fade.
//
// Bad input gives a flat wake, never a NaN: hull length, beam or depth 0, negative or not finite, an
// unknown hull shape (is_inside_hull is then 0), speed 0 or not finite. A negative speed moves the
// ship backwards along its heading with the pattern of the positive speed. Kinematic values that are not
// finite (heading, position, reference time) are taken as 0; a damping_b of 0 falls back to 10. A
// lattice that cannot be transformed (nx or ny below 1, spacings not positive finite numbers) makes
// generate_kspace report and return 0. A soft-limit scale that is not a positive finite number, and a fade length or power that is not
// positive and finite, switch that stage off.
#pragma once

#include "ocean/HyOceanData.h"
#include "ocean/HySpectralTransform.h"

constexpr int kHyKindWake = -6;

// Wake record: the element record extended by the ship and hull. nx, ny, dx, dy give the patch.
struct HyWake_record : HyOcean_record {
    double speed = 5.0;              // U, metres per second
    double heading = 0.0;            // radians, direction of travel in the world
    double ship_x = 0.0;             // ship position at the reference time, metres
    double ship_y = 0.0;
    double reference_time = 0.0;     // seconds
    int active = 1;                  // 0: no pattern is computed
    char hull_file[kHyNameLength] = "null.dat";  // stored only, never opened
    int hull_shape = 1;              // 1 box, 2 box cut by an ellipse centred on the stern
    double hull_length = 20.0;       // L, metres
    double hull_beam = 5.0;          // B, metres
    double hull_depth = 1.0;         // D, metres: depth of the footprint
    // damping = U^3*damping_a/(9.81*damping_b^2); the waves then fade behind the hull over roughly
    // 2*damping_b^2/(9.81*damping_a) metres whatever the speed (about 200 m with the defaults).
    double damping_a = 0.1;
    double damping_b = 10.0;
};

class HyOceanSurfaceGridElement_wake : public HyOcean_data {
public:
    explicit HyOceanSurfaceGridElement_wake(const HyWake_record& record);
    ~HyOceanSurfaceGridElement_wake() override;                         // 0

    void get_position(double t, double& x, double& y) override;         // 9: get_grid_offset
    void evolve_to_time(double t) override;                             // 10: nothing (steady)
    int generate_kspace() override;                                     // 11: the base pattern; 1/0
    void transform_to_heights() override;                               // 12: base -> bound array
    // 13: vertical acceleration of the pattern moving at U on an (nx + 2)*ny array: -U^2*kx^2 applied
    // to the base pattern in the Fourier domain. t, a, b, c are ignored (the pattern is steady).
    void evolve_filtered_to_time(float* array, double t, double a = 0.0, double b = 0.0,
                                 double c = 0.0) override;
    virtual void get_grid_offset(double& x, double& y, double t);                      // 17
    virtual void get_ship_position(double& x, double& y, double t);                    // 18
    virtual void get_wake_front_and_back(double& front_x, double& front_y, double& back_x,
                                         double& back_y, double t);                    // 19
    virtual int is_inside_hull(double x, double y);                                    // 20
    // 21: scales the base pattern by depth/D without recomputing it, then stores the new depth,
    // heading, position and reference time. (A pattern computed with D = 0 is flat and cannot be
    // scaled: it is recomputed instead.)
    virtual void set_wake_motion(double depth, double heading, double ship_x, double ship_y,
                                 double reference_time);
    virtual void set_heading(double angle);                                            // 22
    virtual void set_ship_position(double x, double y);                                // 23
    virtual void set_soft_limit(int flag);                                             // 24
    virtual void set_soft_limit_scale(double scale);                                   // 25
    virtual void set_fade(int flag);                                                   // 26
    virtual void set_fade_shape(double length, double power);                          // 27

    // Fields, in order.
    double hull_x = 0.0, hull_y = 0.0;
    double hull_length = 0.0, hull_beam = 0.0, hull_depth = 0.0;
    int hull_shape = 1;
    int active = 1;
    char hull_file[kHyNameLength] = {};
    float* base = nullptr;
    double damping_a = 0.0, damping_b = 10.0;
    double damping = 0.0;
    double ship_x = 0.0, ship_y = 0.0;
    double heading = 0.0;
    double speed = 0.0;
    double reference_time = 0.0;
    int soft_limit = 0;
    double soft_limit_scale = 1.0;
    int fade = 0;
    double fade_length = 20.0, fade_power = 1.0;

private:
    bool hull_usable() const;
    void derive_hull();

    // Transforms in place; when the fast backend refuses a size (it keeps a bounded set of plans),
    // the built-in transform takes over for the rest of the element's life.
    int forward(float* data, int nx, int ny);
    int inverse(float* data, int nx, int ny);

    HySpectralTransform transform;
    HySpectralTransform builtin{HyTransformBackend::builtin};
    bool fast_refused = false;
};
