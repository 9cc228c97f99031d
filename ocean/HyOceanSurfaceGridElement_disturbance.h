// Disturbance grid: linear waves raised on a rectangle of water by moving sources, simulated step by
// step (a "dynamic wake": the waves of a boat that turned or stopped stay on the water).
//
// State: height h and velocity potential phi of linear deep-water waves, each kept at the current
// step and the one before. Every step is a symplectic Euler step in the spectral domain,
//     h' = h + dt * |k| phi,     phi' = phi - dt * 9.81 * h',
// so the discrete energy stays bounded. A step from t to t + dt propagates the water and then adds
// what the sources did during [t, t + dt]. The display at t (sim_time <= t < sim_time + dt)
// interpolates between the states at sim_time - dt and sim_time: it trails the state by one step
// and, since each step starts from exactly the state the previous one left, never jumps.
// Each evolution costs two transforms per step crossed; going back in time restarts from rest at
// start_time and runs forward again. Wavenumbers whose frequency the step cannot carry
// (9.81*|k|*dt^2 >= 4, where the explicit step would grow without bound) are not propagated: their
// height stays where the sources put it. With the default step (0.1 s) that only affects lattices
// finer than about 0.1 m.
// The rectangle is periodic for the waves (they leave one side and enter the other); place it large
// enough for the sources' paths.
//
// Arrays (32-bit floats, from the tagged allocator, owned):
//   height_prev, height, potential_prev, potential: (nx + 2)*ny values each, node (i, j) at j*nx + i,
//   no row padding; the tail is spare.
// Bound array: the auxiliary grid's (nx + 2)*ny floats. step uses it as transform scratch;
// evolve_to_time (and transform_to_heights) leave the displayed height there:
//   height_prev*(1 - f) + height*f with f = (t - sim_time)/dt.
// Rectangle frame: node (i, j) at (i*dx, j*dy); a world point w maps to R(-angle)*(w - centre) +
// (nx*dx/2, ny*dy/2), so the centre falls on the middle of the array.
//
// Sources. Key-framed positions are world coordinates (metres); key times are seconds.
// Boat (two channels: x, y). Its four shape values are, in order:
//   hull_length (m)     the two bumps sit hull_length/4 ahead of and behind the boat,
//   hull_beam (m)       cross-track size: the bump exponent is cross^2/(beam/4)^2 + along^2/|d|^2,
//   bow_amplitude (m)   height of the bump ahead, added per step (positive raises the water),
//   stern_amplitude (m) height of the bump behind (negative digs a trough).
//   d is the boat's displacement over the step and the bumps are centred on the middle of that
//   displacement, so each step lays down one stretch of its track: the raised volume per metre
//   travelled does not depend on the time step, and a boat at rest adds nothing.
// Ripple disturbance (six channels, in order):
//   1 x, 2 y (m)          centre of the elliptical bump,
//   3 size_a, 4 size_b (m) its Gaussian radii along its own axes (exponent u^2/a^2 + v^2/b^2),
//   5 strength (m)       height of the bump at its centre (positive raises),
//   6 angle (rad)        direction of its a axis in the world.
//   Each step adds bump(t + dt) - bump(t): animate the strength (a stone: 0 to -0.3 m within a few
//   tenths of a second) or the position to stir the water; a bump that does not change adds nothing.
// A source is active for start_time <= t < end_time (end_time may be +infinity).
//
// Bad input: blocks with no key frames, null arrays, key times that are not finite or not strictly
// increasing, key values or shape values or an interval bound that are NaN are refused with a
// message ("... invalid key frames " / "... invalid parameters "); the 101st boat or ripple is
// refused ("... too many ... "). A boat with hull length or beam 0 (or negative) adds nothing; a
// ripple whose interpolated size is 0 or negative adds nothing; a source whose interpolated values
// overflow is skipped for that step. A time step that is not a positive finite number is replaced by
// 0.1 s. A lattice that cannot be transformed (nx or ny below 1, spacings not positive finite
// numbers) makes generate_kspace report and return 0. A state that stops being finite is set back to
// rest with "disturbance state out of range, reset to rest ".
#pragma once

#include "ocean/HyOceanData.h"
#include "ocean/HySpectralTransform.h"

constexpr int kHyKindDisturbance = -7;
constexpr int kHyMaxBoatDisturbances = 100;
constexpr int kHyMaxRippleDisturbances = 100;

// Disturbance record: the element record with the rectangle's placement and time step. nx, ny, dx, dy
// give the rectangle.
struct HyDisturbance_record : HyOcean_record {
    double start_time = 0.0;   // the water is at rest at this time
    double time_step = 0.1;    // dt, seconds
    double centre_x = 0.0;     // world position of the rectangle's centre
    double centre_y = 0.0;
    double angle = 0.0;        // rotation of the rectangle, radians
};

// A boat disturbance's parameter block. The arrays are copied when the block is handed over.
struct HyBoatDisturbance_data {
    double hull_length = 10.0;
    double hull_beam = 3.0;
    double bow_amplitude = 0.02;
    double stern_amplitude = -0.02;
    double start_time = 0.0;
    double end_time = 1.0e30;
    int key_count = 0;
    const double* key_times = nullptr;
    const double* key_x = nullptr;
    const double* key_y = nullptr;
};

// A ripple disturbance's parameter block (six channels, see the header comment).
struct HyRippleDisturbance_data {
    double start_time = 0.0;
    double end_time = 1.0e30;
    int key_count = 0;
    const double* key_times = nullptr;
    const double* key_x = nullptr;
    const double* key_y = nullptr;
    const double* key_size_a = nullptr;
    const double* key_size_b = nullptr;
    const double* key_strength = nullptr;
    const double* key_angle = nullptr;
};

class HyOceanSurfaceGridElement_disturbance : public HyOcean_data {
public:
    // Stores the rectangle and calls set_placement; the owner then calls generate_kspace.
    explicit HyOceanSurfaceGridElement_disturbance(const HyDisturbance_record& record);
    ~HyOceanSurfaceGridElement_disturbance() override;                  // 0

    void get_position(double t, double& x, double& y) override;         // 9: (offset_x, offset_y)
    // 10: advances the state to t (back to rest first when t is earlier than the state) and writes
    // the displayed height into the bound array.
    void evolve_to_time(double t) override;
    int generate_kspace() override;                                     // 11: the four state arrays
    // 12: writes the displayed height of the last evolution again (the state is not advanced).
    void transform_to_heights() override;
    void get_corners(double& x0, double& y0, double& x1, double& y1, double& x2, double& y2,
                     double& x3, double& y3) override;                  // 16
    // 17: new placement and timing; the water restarts from rest at start_time.
    virtual void set_placement(double centre_x, double centre_y, double angle, double start_time,
                               double time_step);
    virtual void inject_sources(double t, double dt);                   // 18
    virtual void add_to_node(int i, int j, double value);               // 19
    virtual void set_node(int i, int j, double value);                  // 20
    virtual double get_node(int i, int j);                              // 21
    virtual void step(double dt);                                       // 22
    // 23..28: ids start at 1 and are never reused; 0 reports failure. delete and change return the
    // id they were given on success.
    virtual int add_boat_disturbance(const HyBoatDisturbance_data& block);
    virtual int delete_boat_disturbance(int id);
    virtual int change_boat_disturbance(int id, const HyBoatDisturbance_data& block);
    virtual int add_ripple_disturbance(const HyRippleDisturbance_data& block);
    virtual int delete_ripple_disturbance(int id);
    virtual int change_ripple_disturbance(int id, const HyRippleDisturbance_data& block);

    int boat_disturbance_count() const { return boat_count; }
    int ripple_disturbance_count() const { return ripple_count; }

    // Fields, in order.
    double start_time = 0.0;
    double time_step = 0.1;
    double sim_time = 0.0;
    double centre_x = 0.0, centre_y = 0.0, angle = 0.0;
    double cos_a = 1.0, sin_a = 0.0, offset_x = 0.0, offset_y = 0.0;
    float* height_prev = nullptr;
    float* height = nullptr;
    float* potential_prev = nullptr;
    float* potential = nullptr;
    int boat_count = 0, last_boat_id = 0;
    int ripple_count = 0, last_ripple_id = 0;

private:
    struct Boat {
        int id;
        HyBoatDisturbance_data block;  // array pointers cleared: the values live in `keys`
        HyKeyFrames* keys;             // 2 channels: x, y
    };
    struct Ripple {
        int id;
        HyRippleDisturbance_data block;  // array pointers cleared: the values live in `keys`
        HyKeyFrames* keys;               // 6 channels
    };

    bool lattice_ok() const;
    void free_state();
    void clear_state();
    void write_display();
    // Rectangle-frame coordinates (metres) of a world point.
    void to_frame(double wx, double wy, double& fx, double& fy) const;
    // Elliptical Gaussian amp*exp(-(u^2/ra^2 + v^2/rb^2)), (u, v) a node's offset from (cx, cy) along
    // the unit axis (ax, ay) and across it, in the rectangle frame (metres).
    struct Bump {
        double cx, cy, ax, ay, ra, rb, amp;
    };
    // Adds the sum of the bumps to height, each only where its exponent is below 15; bumps with a
    // size that is not positive, or a value that is not finite, are left out.
    void add_bumps(const Bump* bumps, int count);
    void add_boat(const Boat& boat, double t, double dt);
    void add_ripple(const Ripple& ripple, double t, double dt);
    HyKeyFrames* make_keys(int key_count, int channels, const double* const* sources, const char* where);
    static void free_keys(HyKeyFrames* keys);
    // Boats and ripple sources share their bookkeeping. `where` names the operation in messages.
    // The key frames of a valid block, or null after the message.
    template <class Block>
    HyKeyFrames* keys_for(const Block& block, const char* where);
    template <class Source, class Block>
    int add_source(Source* list, int& count, int capacity, int& last_id, const Block& block, const char* where,
                   const char* too_many);
    template <class Source>
    int delete_source(Source* list, int& count, int id);
    template <class Source, class Block>
    int change_source(Source* list, int count, int id, const Block& block, const char* where);

    Boat boats[kHyMaxBoatDisturbances] = {};
    Ripple ripples[kHyMaxRippleDisturbances] = {};
    double display_fraction = 0.0;  // f of the last evolution
    long long steps_taken = 0;      // sim_time = start_time + steps_taken*time_step
    float* scratch = nullptr;       // (nx + 2)*ny floats, used by step only when no array is bound
    // |k| per half-spectrum value (ncols x ny, kx fastest), 0 where the step cannot carry the wave;
    // built for one time step and kept.
    float* k_weight = nullptr;
    double k_weight_dt = 0.0;
    float k_weight_at(std::size_t r, std::size_t c, double dt) const;
    const float* k_weights(double dt);
    // Transforms in place; when the fast backend refuses a size (it keeps a bounded set of plans),
    // the built-in transform takes over for the rest of the element's life.
    int forward(float* data, int nx, int ny);
    int inverse(float* data, int nx, int ny);

    HySpectralTransform transform;
    HySpectralTransform builtin{HyTransformBackend::builtin};
    bool fast_refused = false;
};
