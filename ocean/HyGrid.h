// HyGrid: the regular two-dimensional height field every wave field lives on.
//
// Height array layout: nx x ny heights (32-bit float, metres), node (i, j) at heights[j*nx + i]
// (rows of constant y, x fastest, no row padding). The block holds (nx + 2)*ny floats, all zeroed
// when allocated: the spare 2*ny floats let the wave fields run their in-place real spectral
// transform in the same memory (half spectrum of (nx/2 + 1) x ny complex values, see
// HySpectralTransform.h).
//
// The grid is centred on the origin of its plane: node (i, j) lies at x = i*dx - half_x,
// y = j*dy - half_y. Heights are stored as floats; every computation on them is done in doubles.
#pragma once

#include "platform/HyMemory.h"

#include <cstddef>
#include <cstdint>

// Allocates `count` zeroed floats starting on a 64-byte boundary inside one tagged block (so the
// vectorised transforms can run in place); *block receives the block to release. Null on failure.
float* hy_allocate_grid_floats(std::size_t count, void** block);

// A point outside a non-periodic grid subtracts this, unweighted, per missing corner: callers read
// a height near -1e8 or below as "no surface here".
constexpr double kHyNoSurface = 99999999.0;

// Sampling of an SGI dump: count_x samples per row, count_y rows, spaced spacing_x/spacing_y metres.
struct HySgiSampling {
    int count_x = 0;
    int count_y = 0;
    double spacing_x = 0.0;
    double spacing_y = 0.0;
};

// Writes an uncompressed 8-bit SGI image: 512-byte big-endian header, then each channel c of
// count_x*count_y bytes (row j after row j, x fastest) appended in channel order. Channel c maps
// values[c][k] linearly from [mins[c], maxs[c]] to 0..255 (computed in float, clamped, truncated).
// Reports on the standard error stream and returns 0 when the file cannot be written; 1 otherwise.
int hy_write_sgi_channels(const char* path, int count_x, int count_y, int channels,
                          const float* const* values, const float* mins, const float* maxs);

class HyGrid : public HyAllocated {
public:
    // Allocates and zeroes (nx + 2)*ny heights; on failure prints "Out of Memory" and leaves
    // `heights` null. Periodic on both axes, difference step 1, no curvature.
    HyGrid(int nx, int ny, double dx, double dy);
    HyGrid(const HyGrid&) = delete;
    HyGrid& operator=(const HyGrid&) = delete;

    // Virtual operations, in their fixed order.

    // 0: interpolated slope (dh/dx, dh/dy) at (x, y), backward node differences centred on the
    // point; with curvature on (and no_curvature 0) the sphere's slope is added.
    virtual void get_slope(double x, double y, double& sx, double& sy, int no_curvature = 0) const;
    // 1
    virtual ~HyGrid();
    // 2: bilinear height at (x, y); -99999999 per corner outside a non-periodic axis; minus the
    // curvature drop (x^2 + y^2)/(2R) when curvature is on and no_curvature is 0.
    virtual double get_height(double x, double y, int no_curvature = 0) const;
    // 3: central differences of get_height over max(dx, step_x) and max(dy, step_y).
    virtual void get_slope_by_difference(double x, double y, double step_x, double step_y, double& sx,
                                         double& sy) const;
    // 4: operation 0 with curvature applied per the grid's flag.
    virtual void get_slope_at(const double& x, const double& y, double& sx, double& sy) const;
    // 5: operation 3 with its arguments by reference.
    virtual void get_slope_by_difference_at(const double& x, const double& y, const double& step_x,
                                            const double& step_y, double& sx, double& sy) const;
    // 6: tilts the normal (n_x, n_y, n_z) by this grid's slope; a normal with n_z == 0 is left alone.
    virtual void add_slope_to_normal(const double& x, const double& y, double& n_x, double& n_y,
                                     double& n_z) const;
    // 7: as 6 with the slope of operation 3.
    virtual void add_difference_slope_to_normal(const double& x, const double& y, double& n_x, double& n_y,
                                                double& n_z, const double& step_x, const double& step_y) const;
    // 8: smallest and largest node height; (99999999, -99999999) for an empty grid.
    virtual void get_height_range(double& min_height, double& max_height) const;
    // 9: stores a into extra_value_2 and b into extra_value_1 (kept for the owner, never read here).
    virtual void set_extra_values(double a, double b);
    // 10: one-channel SGI image of count_x x count_y heights sampled around (centre_x, centre_y).
    virtual int write_sgi_height(const char* path, double value_min, double value_max, double centre_x,
                                 double centre_y, int count_x, int count_y, double spacing_x,
                                 double spacing_y) const;
    // 11: three channels: height, dh/dx, dh/dy (the slopes share slope_min..slope_max).
    virtual int write_sgi_height_and_slope(const char* path, double height_min, double height_max,
                                           double slope_min, double slope_max, double centre_x,
                                           double centre_y, const HySgiSampling& sampling) const;

    // Replaces dimensions and contents (all heights 0); 1 on success, 0 (and no array) on failure.
    int reallocate(int nx, int ny, double dx, double dy);

    // Height of node (i, j) without any wrapping or range check.
    float node(int i, int j) const { return heights[j * nx + i]; }

    // Fields, in declaration order. Owners set wrap_x/wrap_y and the curvature pair directly.
    int difference_step = 1;     // nodes spanned by the node slope difference
    double extra_value_1 = 0.0;  // written by set_extra_values only
    double extra_value_2 = 0.0;
    int nx = 0, ny = 0;          // node counts
    double dx = 0.0, dy = 0.0;   // node spacing, metres
    double inv_dx = 0.0, inv_dy = 0.0;
    double half_x = 0.0, half_y = 0.0;  // nx*dx/2, ny*dy/2
    float* heights = nullptr;    // (nx + 2)*ny floats, see the layout above, 64-byte aligned; owned
    int wrap_x = 1, wrap_y = 1;  // 1: the axis is periodic
    int curvature = 0;           // 1: the curvature drop is on
    double curvature_radius = 0.0;  // R, metres

protected:
    void* heights_block = nullptr;  // the tagged block holding `heights`

    // Stores the dimensions and their derived values (no allocation).
    void set_dimensions(int nx, int ny, double dx, double dy);
    // The plain bilinear height of the main array (no curvature), with the absence rule.
    double main_height(double x, double y) const;
    // The plain slope of the main array (no curvature).
    void main_slope(double x, double y, double& sx, double& sy) const;
    // Sampling shared by both SGI writers; channels 1 and 2 are filled when slopes is true.
    int write_sgi_sampled(const char* path, int channels, const float* mins, const float* maxs,
                          double centre_x, double centre_y, const HySgiSampling& sampling) const;
};
