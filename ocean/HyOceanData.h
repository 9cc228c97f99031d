// HyOcean_data: the common base of every wave-field element (wind waves, swells, ripples, wakes,
// disturbances, displacement grids), the element record every element is built from, and the
// key-frame table of the disturbances.
//
// An element writes into a height array it does not own: (nx + 2)*ny floats bound by its owner
// (normally a HyGrid / HyGridMulti array), nx*ny heights at j*nx + i after the element's transform.
// On its own the base is a flat sea: evolving does nothing, its heights are zero.
#pragma once

#include "platform/HyMemory.h"

#include <cstdint>

constexpr int kHyNameLength = 256;

// Element record: the construction argument of every element, with the defaults every creator
// starts from. Subclasses read the fields they need; the "unset" ones start at 0.
struct HyOcean_record {
    int nx = 512, ny = 512;
    double dx = 1.0, dy = 1.0;
    float* heights = nullptr;  // array to bind, (nx + 2)*ny floats; not owned
    int seed = 1;
    char name[kHyNameLength] = "spec.dat";  // a label only; no file of that name is ever opened
    int loop = 0;                           // 1: frequencies are quantised to loop_time
    double loop_time = 10.0;                // seconds
    double params[4] = {1.0, 0.0, 100.0, 0.01};  // kept for subclasses
    double wind_speed = 0.0;                // or the first subclass parameter
    double wind_direction = 0.0;            // or the second
    double extra = 0.0;
    double shortest_wavelength = 0.0;
    double band_low = 0.0, band_high = 0.0;
    int spectrum_type = 0;
    double vertical_scale = 0.0;
};

class HyOcean_data : public HyAllocated {
public:
    // Copies name, dimensions, array, seed, loop setting and the four parameters from the record.
    explicit HyOcean_data(const HyOcean_record& record);
    HyOcean_data(const HyOcean_data&) = delete;
    HyOcean_data& operator=(const HyOcean_data&) = delete;

    // Virtual operations, in their fixed order.
    virtual ~HyOcean_data();                                      // 0
    virtual void set_height_array(float* array);                  // 1
    virtual float* get_height_array();                            // 2
    virtual void set_name(const char* text);                      // 3 (truncated to 255 characters)
    virtual const char* get_name();                               // 4
    virtual int get_kind();                                       // 5
    virtual void get_dimensions(int& nx, int& ny, double& dx, double& dy);  // 6
    virtual void set_loop_time(double loop_time);                 // 7: loop on with period T
    virtual void clear_loop();                                    // 8
    // 9: where the owner places the patch's grid (set_aux_position): (nx*dx/2, ny*dy/2) keeps it
    // centred on the origin; moving elements override it.
    virtual void get_position(double t, double& x, double& y);
    virtual void evolve_to_time(double t);                        // 10: nothing
    virtual int generate_kspace();                                // 11: 1
    virtual void transform_to_heights();                          // 12: zeroes the nx*ny heights
    // 13: zeroes nx*ny values of `array`. Subclasses put a filtered field there; a, b, c are the
    // wind-wave element's filter lengths and time window, ignored by elements that need fewer.
    virtual void evolve_filtered_to_time(float* array, double t, double a = 0.0, double b = 0.0,
                                         double c = 0.0);
    virtual void upgrade_potential_field(double t);               // 14: as 12
    // 15: the bound array as a one-channel nx x ny SGI image; 1/0.
    virtual int write_sgi(const char* path, double min_value, double max_value);
    // 16: the patch corners (-hx, +hy), (-hx, -hy), (+hx, +hy), (+hx, -hy), hx = nx*dx/2, hy = ny*dy/2.
    virtual void get_corners(double& x0, double& y0, double& x1, double& y1, double& x2, double& y2,
                             double& x3, double& y3);

    // Loop quantisation of an angular frequency omega >= 0: unchanged with looping off; with looping
    // on, the smallest multiple of 2*pi/T strictly above omega (0 when T <= 0), so that every wave
    // completes a whole number of periods in T seconds.
    double quantise_frequency(double omega) const;
    // The corners of get_corners turned by the angle whose cosine and sine are given, then moved to
    // (centre_x, centre_y): the corners of a rotated patch.
    void rotated_corners(double cos_a, double sin_a, double centre_x, double centre_y, double& x0, double& y0,
                         double& x1, double& y1, double& x2, double& y2, double& x3, double& y3) const;

    // Fields, in declaration order.
    char name[kHyNameLength] = {};
    int kind = 0;  // 0 wind waves, -5 swell; other subclasses set their own
    int nx = 0, ny = 0;
    double dx = 0.0, dy = 0.0;
    float* heights = nullptr;  // bound, not owned
    int seed = 0;
    int loop = 0;
    double loop_time = 0.0;
    double params[4] = {};
};

// Key-frame table: K key times (increasing) and M channels, stored as M + 1 arrays of K doubles
// (array 0 the times, arrays 1..M the channel values). Evaluation interpolates linearly and
// extrapolates from the first or last segment.
class HyKeyFrames {
public:
    HyKeyFrames() = default;
    ~HyKeyFrames() { clear(); }
    HyKeyFrames(const HyKeyFrames&) = delete;
    HyKeyFrames& operator=(const HyKeyFrames&) = delete;

    // Copies the M + 1 source arrays of K values each (sources[0] the times). On a failed allocation
    // prints "unable to allocate space for key frames ", keeps nothing and returns 0; else 1.
    int init(int key_count, int channel_count, const double* const* sources);
    // Writes M values at time t. Does nothing on an empty table.
    void evaluate(double t, double* out) const;
    // Frees the arrays when owned.
    void clear();

    int key_count() const { return keys; }
    int channel_count() const { return channels; }
    const double* times() const { return arrays ? arrays[0] : nullptr; }

private:
    int keys = 0;
    int channels = 0;
    double** arrays = nullptr;  // channels + 1 arrays of `keys` doubles
    bool owns = false;
};
