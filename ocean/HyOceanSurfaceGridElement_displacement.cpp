#include "ocean/HyOceanSurfaceGridElement_displacement.h"

#include <cmath>

HyOceanSurfaceGridElement_displacement::HyOceanSurfaceGridElement_displacement(const HyOcean_record& record)
    : HyOcean_data(record)
{
    kind = kKind;
    set_placement(record.params[0], record.params[1], record.params[2]);
}

HyOceanSurfaceGridElement_displacement::~HyOceanSurfaceGridElement_displacement() = default;

void HyOceanSurfaceGridElement_displacement::set_placement(const double& cx, const double& cy, const double& theta)
{
    centre_x = cx;
    centre_y = cy;
    angle = theta;
    cos_a = std::cos(theta);
    sin_a = std::sin(theta);
    // The grid is rotated by theta and maps a world point w to R(-theta)(w + offset): this offset
    // puts the world point (cx, cy) on the array's centre node.
    const double hx = nx * dx / 2.0, hy = ny * dy / 2.0;
    offset_x = cos_a * hx - sin_a * hy - cx;
    offset_y = sin_a * hx + cos_a * hy - cy;
}

void HyOceanSurfaceGridElement_displacement::get_position(double, double& x, double& y)
{
    x = offset_x;
    y = offset_y;
}

// The owner writes the displacement heights itself: evolving and transforming keep them.
void HyOceanSurfaceGridElement_displacement::evolve_to_time(double) {}

int HyOceanSurfaceGridElement_displacement::generate_kspace() { return 1; }

void HyOceanSurfaceGridElement_displacement::transform_to_heights() {}

void HyOceanSurfaceGridElement_displacement::get_corners(double& x0, double& y0, double& x1, double& y1, double& x2,
                                                         double& y2, double& x3, double& y3)
{
    rotated_corners(cos_a, sin_a, centre_x, centre_y, x0, y0, x1, y1, x2, y2, x3, y3);
}
