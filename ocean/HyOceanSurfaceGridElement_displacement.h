// Displacement grid: an externally written nx x ny height array laid on the sea as a rectangle
// centred on (centre_x, centre_y) and turned by `angle`. The owner writes the heights (layout of a
// grid array: node (i, j) at j*nx + i, (nx + 2)*ny floats); the element only says where the
// rectangle lies. Evolving and transforming leave the array exactly as the owner wrote it.
#pragma once

#include "ocean/HyOceanData.h"

#include <cstdint>

// Record handed to add_new_displacement_grid and reallocate_displacement_grid.
struct HyDisplacement_data {
    std::int32_t nx = 512, ny = 512;
    std::int32_t periodic = 0; // 1: the array repeats over the whole sea
    double dx = 0.5, dy = 0.5; // metres per node
    double centre_x = 0.0, centre_y = 0.0;
    double angle = 0.0;        // radians
};

class HyOceanSurfaceGridElement_displacement : public HyOcean_data {
public:
    static constexpr int kKind = -8;

    // Dimensions and array from the record; centre x, centre y and angle from params[0..2].
    explicit HyOceanSurfaceGridElement_displacement(const HyOcean_record& record);
    ~HyOceanSurfaceGridElement_displacement() override;

    // 9: (offset_x, offset_y) for the grid's set_aux_position.
    void get_position(double t, double& x, double& y) override;
    void evolve_to_time(double t) override;
    int generate_kspace() override;
    void transform_to_heights() override;
    // 16: corners of the placed rectangle (-hx, +hy), (-hx, -hy), (+hx, +hy), (+hx, -hy) in world
    // coordinates.
    void get_corners(double& x0, double& y0, double& x1, double& y1, double& x2, double& y2, double& x3,
                     double& y3) override;
    // 17
    virtual void set_placement(const double& centre_x, const double& centre_y, const double& angle);

    double centre_x = 0, centre_y = 0;
    double angle = 0;
    double cos_a = 1, sin_a = 0;
    double offset_x = 0, offset_y = 0;
};
