#include "render/HyCamera.h"

#include "platform/HyThreadPool.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

// The surface optics and the slicer index directions in these units; the truncated constants are part
// of that convention, so they are not the exact values of pi and 2 pi.
constexpr double kCodePi = 3.1415926535;
constexpr double kCodeTwoPi = 6.2831853;

// Pixel indices of far off-window points are limited so that they stay well inside int.
constexpr double kIndexLimit = 1073741824.0; // 2^30

int to_index(double v)
{
    if (!(v > -kIndexLimit)) // also catches NaN
        return -static_cast<int>(kIndexLimit);
    if (v > kIndexLimit)
        return static_cast<int>(kIndexLimit);
    return static_cast<int>(v);
}

// Brings an azimuth into [-kCodePi, kCodePi] by whole steps of kCodeTwoPi.
double wrap_azimuth(double azimuth)
{
    if (!std::isfinite(azimuth))
        return 0.0;
    // Far-out offsets would take millions of steps; take all but the last few at once.
    if (std::fabs(azimuth) > 1000.0)
        azimuth = std::fmod(azimuth, kCodeTwoPi);
    while (azimuth > kCodePi)
        azimuth -= kCodeTwoPi;
    while (azimuth < -kCodePi)
        azimuth += kCodeTwoPi;
    return azimuth;
}

// Strict bounds on image-plane coordinates: a point on the border belongs to no pixel. A window
// without pixels shows nothing.
bool inside_window(const HyViewGeometry& v, double yr, double xc)
{
    return v.rmin < yr && yr < v.rmax && v.cmin < xc && xc < v.cmax && v.rows > 0 && v.columns > 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// HyViewGeometry

HyViewGeometry::HyViewGeometry()
    : R{}, Rt{}, x(0.0), y(0.0), z(0.0), a(0.0), b(0.0), c(0.0), rows(1), columns(1), rmin(-1.0), rmax(1.0),
      cmin(-1.0), cmax(1.0), row_step(0.0), column_step(0.0)
{
    update_steps();
}

void HyViewGeometry::update_steps()
{
    // A window without pixels has no step; every division by a step below checks for that.
    row_step = rows > 0 ? (rmax - rmin) / rows : 0.0;
    column_step = columns > 0 ? (cmax - cmin) / columns : 0.0;
}

void HyViewGeometry::set_position(const double& px, const double& py, const double& pz)
{
    x = px;
    y = py;
    z = pz;
}

void HyViewGeometry::set_orientation(const double& pa, const double& pb, const double& pc)
{
    a = pa;
    b = pb;
    c = pc;
    const double ca = std::cos(a), sa = std::sin(a);
    const double cb = std::cos(b), sb = std::sin(b);
    const double cc = std::cos(c), sc = std::sin(c);
    // R = Rz(b) Ry(a) Rz(c), written out.
    R[0][0] = cb * ca * cc - sb * sc;
    R[0][1] = -cb * ca * sc - sb * cc;
    R[0][2] = cb * sa;
    R[1][0] = sb * ca * cc + cb * sc;
    R[1][1] = -sb * ca * sc + cb * cc;
    R[1][2] = sb * sa;
    R[2][0] = -sa * cc;
    R[2][1] = sa * sc;
    R[2][2] = ca;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            Rt[i][j] = R[j][i];
}

void HyViewGeometry::set_size(const int& pcolumns, const int& prows)
{
    columns = pcolumns;
    rows = prows;
    update_steps();
}

void HyViewGeometry::set_window(const int& prows, const double& prmin, const double& prmax, const int& pcolumns,
                                const double& pcmin, const double& pcmax)
{
    rows = prows;
    rmin = prmin;
    rmax = prmax;
    columns = pcolumns;
    cmin = pcmin;
    cmax = pcmax;
    update_steps();
}

void HyViewGeometry::set_fields_of_view(const double& horizontal, const double& vertical)
{
    rmax = std::tan(vertical / 2.0);
    rmin = -rmax;
    cmax = std::tan(horizontal / 2.0);
    cmin = -cmax;
    update_steps();
}

void HyViewGeometry::plane_ray(const double& yr, const double& xc, double ray[6]) const
{
    ray[0] = x;
    ray[1] = y;
    ray[2] = z;
    // |(-yr, -xc, 1)| >= 1, so the normalisation never divides by zero.
    const double inv = 1.0 / std::sqrt(yr * yr + xc * xc + 1.0);
    const double p = -yr * inv, q = -xc * inv, s = inv;
    ray[3] = R[0][0] * p + R[0][1] * q + R[0][2] * s;
    ray[4] = R[1][0] * p + R[1][1] * q + R[1][2] * s;
    ray[5] = R[2][0] * p + R[2][1] * q + R[2][2] * s;
}

void HyViewGeometry::subpixel_direction(double row, double column, double& dx, double& dy, double& dz) const
{
    double ray[6];
    subpixel_ray(row, column, ray);
    dx = ray[3];
    dy = ray[4];
    dz = ray[5];
}

void HyViewGeometry::pixel_direction(int row, int column, double& dx, double& dy, double& dz) const
{
    subpixel_direction(row + 0.5, column + 0.5, dx, dy, dz);
}

void HyViewGeometry::subpixel_ray(double row, double column, double ray[6]) const
{
    plane_ray(rmin + row * row_step, cmin + column * column_step, ray);
}

bool HyViewGeometry::to_plane(double px, double py, double pz, double& yr, double& xc) const
{
    const double dx = px - x, dy = py - y, dz = pz - z;
    const double s = Rt[2][0] * dx + Rt[2][1] * dy + Rt[2][2] * dz;
    if (!(s > 0.0)) // on or behind the eye plane, or not a number
        return false;
    yr = -(Rt[0][0] * dx + Rt[0][1] * dy + Rt[0][2] * dz) / s;
    xc = -(Rt[1][0] * dx + Rt[1][1] * dy + Rt[1][2] * dz) / s;
    return true;
}

int HyViewGeometry::project_point_fractional(double px, double py, double pz, double& row, double& column) const
{
    double yr, xc;
    if (!to_plane(px, py, pz, yr, xc))
        return 0;
    row = row_step != 0.0 ? (yr - rmin) / row_step : 0.0;
    column = column_step != 0.0 ? (xc - cmin) / column_step : 0.0;
    return inside_window(*this, yr, xc) ? 1 : 0;
}

int HyViewGeometry::project_point_fractional(const double point[3], double& row, double& column) const
{
    return project_point_fractional(point[0], point[1], point[2], row, column);
}

int HyViewGeometry::project_point(double px, double py, double pz, int& row, int& column) const
{
    double yr, xc;
    if (!to_plane(px, py, pz, yr, xc))
        return 0;
    row = row_step != 0.0 ? to_index(std::floor((yr - rmin) / row_step)) : 0;
    column = column_step != 0.0 ? to_index(std::floor((xc - cmin) / column_step)) : 0;
    return inside_window(*this, yr, xc) ? 1 : 0;
}

int HyViewGeometry::project_point(const double point[3], int& row, int& column) const
{
    return project_point(point[0], point[1], point[2], row, column);
}

void HyViewGeometry::direction_code(double px, double py, double pz, const double& azimuth_offset,
                                    double& elevation_code, double& azimuth_code) const
{
    const double dx = px - x, dy = py - y, dz = pz - z;
    const double n = std::sqrt(dx * dx + dy * dy + dz * dz);
    elevation_code = n > 0.0 ? 1000.0 * dz / n : 0.0;
    azimuth_code = 1000.0 * wrap_azimuth(std::atan2(-dy, dx) + azimuth_offset);
}

void HyViewGeometry::direction_code(const double point[3], const double& azimuth_offset, double& elevation_code,
                                    double& azimuth_code) const
{
    direction_code(point[0], point[1], point[2], azimuth_offset, elevation_code, azimuth_code);
}

int HyViewGeometry::project_direction_code(const double& elevation_code, const double& azimuth_code,
                                           const double& azimuth_offset, double& row, double& column) const
{
    const double s = elevation_code / 1000.0;
    const double c2 = 1.0 - s * s;
    const double ch = c2 > 0.0 ? std::sqrt(c2) : 0.0;
    const double phi = azimuth_code / 1000.0 - azimuth_offset;
    const double wx = std::cos(phi) * ch, wy = -std::sin(phi) * ch, wz = s;
    const double p = Rt[0][0] * wx + Rt[0][1] * wy + Rt[0][2] * wz;
    const double q = Rt[1][0] * wx + Rt[1][1] * wy + Rt[1][2] * wz;
    const double t = Rt[2][0] * wx + Rt[2][1] * wy + Rt[2][2] * wz;
    if (!(t > 0.0) || row_step == 0.0 || column_step == 0.0) {
        row = -1.0;
        column = -1.0;
        return 0;
    }
    row = (-p / t - rmin) / row_step;
    column = (-q / t - cmin) / column_step;
    return 1;
}

void HyViewGeometry::zenith_range(double& minimum, double& maximum) const
{
    minimum = kCodePi;
    maximum = 0.0;
    const double ys[2] = {rmin, rmax};
    const double xs[2] = {cmin, cmax};
    for (double yr : ys) {
        for (double xc : xs) {
            double ray[6];
            plane_ray(yr, xc, ray);
            // Rounding can push |dz| a hair past 1.
            const double dz = ray[5] > 1.0 ? 1.0 : (ray[5] < -1.0 ? -1.0 : ray[5]);
            const double zenith = std::acos(dz);
            if (zenith < minimum)
                minimum = zenith;
            if (zenith > maximum)
                maximum = zenith;
        }
    }
}

void HyViewGeometry::get_position(double& px, double& py, double& pz) const
{
    px = x;
    py = y;
    pz = z;
}

void HyViewGeometry::get_orientation(double& pa, double& pb, double& pc) const
{
    pa = a;
    pb = b;
    pc = c;
}

void HyViewGeometry::view_axis(double& dx, double& dy, double& dz) const
{
    dx = R[0][2];
    dy = R[1][2];
    dz = R[2][2];
}

double HyViewGeometry::max_step() const
{
    const double r = std::fabs(row_step), k = std::fabs(column_step);
    return r > k ? r : k;
}

// ---------------------------------------------------------------------------------------------------
// HyRenderData_Camera

HyRenderData_Camera::HyRenderData_Camera() : HyRenderData(kTypeCamera) {}

HyRenderData_Camera::~HyRenderData_Camera() = default;

namespace {
int clamp_count(std::int64_t n)
{
    if (n < 0)
        return 0;
    if (n > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(n);
}
} // namespace

void HyRenderData_Camera::update_view()
{
    if (!window_on_) {
        // The window is the whole image.
        const int columns = clamp_count(width_);
        const int rows = clamp_count(height_);
        view_.set_size(columns, rows);
        view_.set_fields_of_view(horizontal_fov_, vertical_fov_);
        return;
    }
    // The window keeps the full image's pixel grid and is cut out of it, so a windowed render matches
    // the corresponding part of a full one pixel for pixel.
    const double H = std::tan(horizontal_fov_ / 2.0);
    const double V = std::tan(vertical_fov_ / 2.0);
    const double column_step = width_ > 0 ? 2.0 * H / width_ : 0.0;
    const double row_step = height_ > 0 ? 2.0 * V / height_ : 0.0;
    const int rows = clamp_count(std::int64_t(last_row_) - std::int64_t(first_row_) + 1);
    const int columns = clamp_count(std::int64_t(last_column_) - std::int64_t(first_column_) + 1);
    const double rmin = -V + double(first_row_) * row_step;
    const double rmax = -V + (double(last_row_) + 1.0) * row_step;
    const double cmin = -H + double(first_column_) * column_step;
    const double cmax = -H + (double(last_column_) + 1.0) * column_step;
    view_.set_window(rows, rmin, rmax, columns, cmin, cmax);
}

void HyRenderData_Camera::set_image_size(const std::uint32_t& width, const std::uint32_t& height)
{
    width_ = width;
    height_ = height;
    update_view();
}

void HyRenderData_Camera::set_window(const std::uint32_t& first_column, const std::uint32_t& last_column,
                                     const std::uint32_t& first_row, const std::uint32_t& last_row)
{
    first_column_ = first_column;
    last_column_ = last_column;
    first_row_ = first_row;
    last_row_ = last_row;
    window_on_ = 1;
    update_view();
}

void HyRenderData_Camera::clear_window()
{
    window_on_ = 0;
    update_view();
}

void HyRenderData_Camera::set_fields_of_view(const double& horizontal, const double& vertical)
{
    horizontal_fov_ = horizontal;
    vertical_fov_ = vertical;
    update_view();
}

void HyRenderData_Camera::set_position(const double& x, const double& y, const double& z)
{
    view_.set_position(x, y, z);
}

void HyRenderData_Camera::set_orientation(const double& a, const double& b, const double& c)
{
    view_.set_orientation(a, b, c);
}

void HyRenderData_Camera::get_image_size(std::uint32_t& width, std::uint32_t& height) const
{
    width = width_;
    height = height_;
}

void HyRenderData_Camera::get_window(std::uint32_t& first_column, std::uint32_t& last_column,
                                     std::uint32_t& first_row, std::uint32_t& last_row) const
{
    if (window_on_) {
        first_column = first_column_;
        last_column = last_column_;
        first_row = first_row_;
        last_row = last_row_;
    } else {
        first_column = 0;
        last_column = width_ - 1;
        first_row = 0;
        last_row = height_ - 1;
    }
}

void HyRenderData_Camera::get_window_size(std::uint32_t& columns, std::uint32_t& rows) const
{
    if (window_on_) {
        // A reversed window has no pixels rather than four billion.
        columns = last_column_ >= first_column_ ? last_column_ - first_column_ + 1 : 0;
        rows = last_row_ >= first_row_ ? last_row_ - first_row_ + 1 : 0;
    } else {
        columns = width_;
        rows = height_;
    }
}

void HyRenderData_Camera::get_fields_of_view(double& horizontal, double& vertical) const
{
    horizontal = horizontal_fov_;
    vertical = vertical_fov_;
}

void HyRenderData_Camera::get_pixel_angles(double& horizontal, double& vertical) const
{
    const HyViewGeometry& v = view_;
    horizontal = v.columns > 0 ? 2.0 * std::atan((v.cmax - v.cmin) / (2.0 * v.columns)) : 0.0;
    vertical = v.rows > 0 ? 2.0 * std::atan((v.rmax - v.rmin) / (2.0 * v.rows)) : 0.0;
}

void HyRenderData_Camera::get_view(HyViewGeometry& geometry) const { geometry = view_; }

void HyRenderData_Camera::get_position(double& x, double& y, double& z) const { view_.get_position(x, y, z); }

void HyRenderData_Camera::get_orientation(double& a, double& b, double& c) const
{
    view_.get_orientation(a, b, c);
}

int HyRenderData_Camera::pixel_to_sea_level(const int& column, const int& row, double& x, double& y) const
{
    double dx, dy, dz;
    view_.pixel_direction(row, column, dx, dy, dz);
    const double h = view_.z;
    if (h > 0.0 && dz >= 0.0)
        return 0;
    if (h == 0.0) {
        x = view_.x;
        y = view_.y;
        return 1;
    }
    if (h < 0.0 && dz <= 0.0)
        return 0;
    if (!(h == h) || dz == 0.0) // not a number, or a ray without direction
        return 0;
    const double t = -h / dz;
    x = view_.x + t * dx;
    y = view_.y + t * dy;
    return 1;
}

int HyRenderData_Camera::sea_level_to_pixel(const double& x, const double& y, int& column, int& row) const
{
    return view_.project_point(x, y, 0.0, row, column);
}

void HyRenderData_Camera::set_colour_planes(float* red, float* green, float* blue)
{
    red_ = red;
    green_ = green;
    blue_ = blue;
    colour_planes_set_ = 1;
}

std::uint32_t HyRenderData_Camera::get_colour_planes(float*& red, float*& green, float*& blue) const
{
    red = red_;
    green = green_;
    blue = blue_;
    return colour_planes_set_;
}

void HyRenderData_Camera::clear_colour_planes()
{
    colour_planes_set_ = 0;
    red_ = green_ = blue_ = nullptr;
}

void HyRenderData_Camera::set_alpha_plane(float* alpha)
{
    alpha_ = Plane{alpha, 1};
}

std::uint32_t HyRenderData_Camera::get_alpha_plane(float*& alpha) const
{
    alpha = alpha_.data;
    return alpha_.set;
}

void HyRenderData_Camera::clear_alpha_plane()
{
    alpha_ = Plane{};
}

void HyRenderData_Camera::set_depth_plane(float* depth)
{
    depth_ = Plane{depth, 1};
}

std::uint32_t HyRenderData_Camera::get_depth_plane(float*& depth) const
{
    depth = depth_.data;
    return depth_.set;
}

void HyRenderData_Camera::clear_depth_plane()
{
    depth_ = Plane{};
}

std::size_t HyRenderData_Camera::plane_count() const
{
    std::uint32_t columns, rows;
    get_window_size(columns, rows);
    return std::size_t(columns) * std::size_t(rows);
}

template <class F>
void HyRenderData_Camera::map_colour_planes(F f)
{
    if (!colour_planes_set_)
        return;
    const std::size_t n = plane_count();
    float* planes[3] = {red_, green_, blue_};
    // Each value maps on its own, so blocks of a plane go to the process's threads.
    constexpr std::int64_t kBlock = 1 << 16;
    const std::int64_t blocks = (static_cast<std::int64_t>(n) + kBlock - 1) / kBlock;
    hyplat::parallel_for(3 * blocks, 1, [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t k = begin; k < end; ++k) {
            float* p = planes[k / blocks];
            if (p == nullptr)
                continue;
            const std::size_t first = static_cast<std::size_t>(k % blocks) * kBlock;
            const std::size_t last = std::min(n, first + kBlock);
            for (std::size_t i = first; i < last; ++i)
                p[i] = f(p[i]);
        }
    });
}

void HyRenderData_Camera::apply_gamma(const double& gamma)
{
    const float g = static_cast<float>(gamma);
    // The common exponents without pow (1 is the default): v, v*v and sqrt(v) are the correctly
    // rounded powers, which pow gives too or misses by one unit in the last place.
    if (g == 1.0f)
        map_colour_planes([](float v) { return v > 0.0f ? v : 0.0f; });
    else if (g == 2.0f)
        map_colour_planes([](float v) { return v > 0.0f ? v * v : 0.0f; });
    else if (g == 0.5f)
        map_colour_planes([](float v) { return v > 0.0f ? std::sqrt(v) : 0.0f; });
    else
        map_colour_planes([g](float v) { return v > 0.0f ? std::pow(v, g) : 0.0f; });
}

void HyRenderData_Camera::apply_colour_range(const double& minimum, const double& maximum)
{
    const double span = maximum - minimum;
    // An empty range would divide by zero; treat it as a threshold at the minimum instead.
    if (span == 0.0) {
        map_colour_planes([minimum](float v) { return v > minimum ? 1.0f : 0.0f; });
        return;
    }
    const double scale = 1.0 / span;
    map_colour_planes([minimum, scale](float v) { return static_cast<float>((v - minimum) * scale); });
}

int HyRenderData_Camera::unpremultiply()
{
    if (!colour_planes_set_ || !alpha_.set || !red_ || !green_ || !blue_ || !alpha_.data)
        return 0;
    const std::size_t n = plane_count();
    for (std::size_t i = 0; i < n; ++i) {
        const float a = alpha_.data[i];
        // Nearly transparent pixels are left alone: dividing by a tiny alpha only amplifies noise.
        if (a > 0.001f) {
            red_[i] /= a;
            green_[i] /= a;
            blue_[i] /= a;
        }
    }
    return 1;
}

int HyRenderData_Camera::premultiply()
{
    if (!colour_planes_set_ || !alpha_.set || !red_ || !green_ || !blue_ || !alpha_.data)
        return 0;
    const std::size_t n = plane_count();
    for (std::size_t i = 0; i < n; ++i) {
        const float a = alpha_.data[i];
        red_[i] *= a;
        green_[i] *= a;
        blue_[i] *= a;
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------------
// HyImagePlanes

int HyImagePlanes::allocate(std::uint32_t pcolumns, std::uint32_t prows, bool with_alpha, bool with_depth)
{
    release();
    const std::size_t n = std::size_t(pcolumns) * std::size_t(prows);
    if (n == 0) {
        columns = pcolumns;
        rows = prows;
        return 1;
    }
    float** planes[5] = {&red, &green, &blue, &alpha, &depth};
    const bool wanted[5] = {true, true, true, with_alpha, with_depth};
    for (int k = 0; k < 5; ++k) {
        if (!wanted[k])
            continue;
        *planes[k] = hymem::allocate_array<float>(n);
        if (*planes[k] == nullptr) {
            std::fprintf(stderr, "HyImagePlanes::allocate: unable to allocate %u x %u planes\n", pcolumns, prows);
            std::fflush(stderr);
            std::fprintf(stdout, "Out of Memory\n");
            std::fflush(stdout);
            release();
            return 0;
        }
        hyplat::parallel_fill(*planes[k], std::int64_t(n), 0.0f);
    }
    columns = pcolumns;
    rows = prows;
    return 1;
}

void HyImagePlanes::release()
{
    float** planes[5] = {&red, &green, &blue, &alpha, &depth};
    for (float** p : planes) {
        if (*p != nullptr)
            hymem::release(*p);
        *p = nullptr;
    }
    columns = rows = 0;
}

void HyImagePlanes::attach(HyRenderData_Camera& camera) const
{
    camera.set_colour_planes(red, green, blue);
    if (alpha != nullptr)
        camera.set_alpha_plane(alpha);
    if (depth != nullptr)
        camera.set_depth_plane(depth);
}
