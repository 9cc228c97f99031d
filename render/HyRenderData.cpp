#include "render/HyRenderData.h"

#include <cstdio>

HyRenderData::~HyRenderData() = default;
HyRenderData_Air::~HyRenderData_Air() = default;
HyRenderData_Light::~HyRenderData_Light() = default;
HyRenderData_Ocean::~HyRenderData_Ocean() = default;

void HyRenderData_Ocean::set_surface(HyOceanSurface* surface, HyGridQuery query)
{
    // A surface without a way to reach its grid is no surface for the scene: keep both or neither.
    surface_ = surface;
    grid_query_ = surface != nullptr ? query : nullptr;
}

void HyRenderData_Ocean::set_distances(const double& double_distance, const double& max_distance,
                                       const double& base_step)
{
    double_distance_ = double_distance;
    max_distance_ = max_distance;
    base_step_ = base_step;
}

void HyRenderData_Ocean::get_distances(double& double_distance, double& max_distance, double& base_step) const
{
    double_distance = double_distance_;
    max_distance = max_distance_;
    base_step = base_step_;
}

void HyRenderData_Ocean::set_lattice(const double& x0, const double& y0, const double& dx, const double& dy,
                                     const std::uint32_t& nx, const std::uint32_t& ny)
{
    lattice_x0_ = x0;
    lattice_y0_ = y0;
    lattice_dx_ = dx;
    lattice_dy_ = dy;
    lattice_nx_ = nx;
    lattice_ny_ = ny;
}

void HyRenderData_Ocean::get_lattice(double& x0, double& y0, double& dx, double& dy, std::uint32_t& nx,
                                     std::uint32_t& ny) const
{
    x0 = lattice_x0_;
    y0 = lattice_y0_;
    dx = lattice_dx_;
    dy = lattice_dy_;
    nx = lattice_nx_;
    ny = lattice_ny_;
}

// The shading samples the groups only while `textures present` is set, so setting any group raises
// it; clearing a pointer leaves it as it is (the shading skips groups without images anyway).
void HyRenderData_Ocean::set_texture_above(Hy2DTextureGroup* group)
{
    texture_above_ = group;
    textures_present_ = 1;
}

void HyRenderData_Ocean::set_texture_below(Hy2DTextureGroup* group)
{
    texture_below_ = group;
    textures_present_ = 1;
}

void HyRenderData_Ocean::set_texture_on(Hy2DTextureGroup* group)
{
    texture_on_ = group;
    textures_present_ = 1;
}

void HyRenderData_Ocean::set_texture_tint(const double& r, const double& g, const double& b)
{
    tint_[0] = r;
    tint_[1] = g;
    tint_[2] = b;
}

void HyRenderData_Ocean::get_texture_tint(double& r, double& g, double& b) const
{
    r = tint_[0];
    g = tint_[1];
    b = tint_[2];
}

int HyRenderData_Ocean::get_grid(HyGridMulti*& grid) const
{
    grid = nullptr;
    if (surface_ == nullptr || grid_query_ == nullptr) {
        std::fprintf(stderr, "HyRenderData_Ocean::get_grid: no surface set\n");
        return 0;
    }
    return grid_query_(surface_, grid);
}
