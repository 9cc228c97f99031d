// HyGridMulti: the one height field of the sea. A main HyGrid plus up to 100 auxiliary grids (each
// with its own size, spacing, position, rotation, periodicity and way of combining) and up to 100
// reflecting lines that mirror the sea as walls would. Reads and writes its whole state as a hyg file.
//
// Auxiliary arrays have the HyGrid layout: (nx + 2)*ny floats, node (i, j) at j*nx + i, zeroed when
// created. A radial grid uses its first row only: h[i] is the profile at radius i*dx.
// Everything per grid lives in fixed arrays of 100 entries so that a query loops over plain memory.
// Indices shift down when a grid is removed: owners find their grid by its array, never by index.
#pragma once

#include "ocean/HyGrid.h"

constexpr int kHyMaxAuxGrids = 100;
constexpr int kHyMaxReflectingLines = 100;

// Auxiliary grid types.
enum : int {
    kHyAuxAdditive = 0,
    kHyAuxAdditiveRadial = 1,
    kHyAuxMultiplicative = 2,
    kHyAuxMultiplicativeRadial = 3,
};

// Request for add_aux_grid.
struct HyAuxGridRequest {
    int nx = 0, ny = 0;
    double dx = 1.0, dy = 1.0;
    int periodic = 1;
    int type = kHyAuxAdditive;
    int rotated = 0;
    double angle = 0.0;  // radians, used when rotated
};

class HyGridMulti : public HyGrid {
public:
    // Main grid (nx, ny, dx, dy) as HyGrid; auxiliary grid 0 (aux_nx, aux_ny, aux_dx, aux_dy),
    // periodic, additive, not rotated, centred. On a failed allocation prints
    // "unable to allocate grid <index>" and "Out of Memory".
    HyGridMulti(int nx, int ny, double dx, double dy, int aux_nx, int aux_ny, double aux_dx, double aux_dy);

    // 0: slope of the composed surface.
    void get_slope(double x, double y, double& sx, double& sy, int no_curvature = 0) const override;
    // 1: frees every auxiliary array, then the main array.
    ~HyGridMulti() override;
    // 2: height of the composed surface: (main + additive grids) * product of multiplicative grids,
    // plus the same at each reflecting line's mirror point, minus the curvature drop.
    double get_height(double x, double y, int no_curvature = 0) const override;
    // 8: bounds of the composed surface.
    void get_height_range(double& min_height, double& max_height) const override;

    // 12: writes the hyg file; 1 on success.
    virtual int write_hyg(const char* path) const;
    // 13: replaces the state by a hyg file; 1 on success. On any failure (unreadable, wrong magic,
    // truncated, inconsistent counts, no memory) it reports, leaves the grid exactly as it was and
    // returns 0.
    virtual int read_hyg(const char* path);
    // 14: index of the new line, -1 when 100 lines exist (three lines on the standard output).
    virtual int add_reflecting_line(const double& x0, const double& y0, const double& angle);
    // 15: removes the first line with exactly these values.
    virtual void remove_reflecting_line(const double& x0, const double& y0, const double& angle);
    // 16
    virtual void clear_reflecting_lines();
    // 17: 1 when (x - x0)*sin - (y - y0)*cos < 0 for any line.
    virtual int is_behind_reflecting_line(const double& x, const double& y) const;
    // 18: index of the grid holding `array`, -1 when none.
    virtual int find_aux_grid(const float* array) const;
    // 19: the new grid's array, null when 100 grids exist (silently) or allocation fails.
    virtual float* add_aux_grid(const HyAuxGridRequest& request);
    // 20: frees the grid and closes the gap, keeping the order of the others; 1/0.
    virtual int remove_aux_grid(const float* array);
    // 21: sets offset_x, offset_y (added to the query point); index or -1.
    virtual int set_aux_position(const float* array, const double& x, const double& y);
    // 22: rotated = 1 with the given angle; index or -1.
    virtual int set_aux_orientation(const float* array, const double& angle);
    // 23..30 ignore an index outside 0..count-1.
    virtual void set_aux_type_radial(const int& index);
    virtual void set_aux_type_additive(const int& index);
    virtual void set_aux_type_multiplicative(const int& index);
    virtual void set_aux_type_multiplicative_radial(const int& index);
    virtual void set_aux_rotation(const int& index, const double& angle);
    virtual void clear_aux_rotation(const int& index);
    virtual void set_aux_periodic(const int& index);
    virtual void clear_aux_periodic(const int& index);

    // Resets grid `index` to new dimensions: additive, not rotated, periodic, centred, zeroed; 1/0.
    int reallocate_aux_grid(int index, int nx, int ny, double dx, double dy);

    // Value of auxiliary grid g at world point (x, y): its contribution for additive types, its
    // factor for multiplicative ones.
    double aux_value(int g, double x, double y) const;

    // Reflecting lines.
    int line_count = 0;
    double line_x0[kHyMaxReflectingLines] = {};
    double line_y0[kHyMaxReflectingLines] = {};
    double line_angle[kHyMaxReflectingLines] = {};
    double line_cos[kHyMaxReflectingLines] = {};
    double line_sin[kHyMaxReflectingLines] = {};

    // Auxiliary grids.
    int aux_count = 0;
    int aux_nx[kHyMaxAuxGrids] = {};
    int aux_ny[kHyMaxAuxGrids] = {};
    double aux_dx[kHyMaxAuxGrids] = {};
    double aux_dy[kHyMaxAuxGrids] = {};
    double aux_inv_dx[kHyMaxAuxGrids] = {};
    double aux_inv_dy[kHyMaxAuxGrids] = {};
    double aux_cos_r[kHyMaxAuxGrids] = {};  // cos(theta)
    double aux_sin_r[kHyMaxAuxGrids] = {};  // sin(-theta)
    double aux_offset_x[kHyMaxAuxGrids] = {};
    double aux_offset_y[kHyMaxAuxGrids] = {};
    float* aux_array[kHyMaxAuxGrids] = {};  // (nx + 2)*ny floats each, 64-byte aligned, owned
    int aux_periodic[kHyMaxAuxGrids] = {};
    int aux_type[kHyMaxAuxGrids] = {};
    int aux_rotated[kHyMaxAuxGrids] = {};

private:
    void* aux_block[kHyMaxAuxGrids] = {};  // the tagged blocks holding aux_array

    // Composed height and slope before reflections and curvature.
    double composed_height(double x, double y) const;
    void composed_slope(double x, double y, double& sx, double& sy) const;
    // Adds grid g's slope in world axes.
    void aux_slope(int g, double x, double y, double& sx, double& sy) const;
    void free_aux(int g);
    // (mx, my): (x, y) mirrored in reflecting line l.
    void mirror(int l, double x, double y, double& mx, double& my) const;
    // field[g] = value for an existing grid g; nothing otherwise.
    void set_aux_field(int* field, int g, int value)
    {
        if (g >= 0 && g < aux_count)
            field[g] = value;
    }
};
