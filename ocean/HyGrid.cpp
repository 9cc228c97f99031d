#include "ocean/HyGrid.h"
#include "ocean/HyGridShared.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/HyFiles.h"

namespace {

using hygrid::kFarNode;
using hygrid::reduce_periodic;
using hygrid::report_error;
using hygrid::report_out;
using hygrid::wrap_index;

void put_be16(unsigned char* p, unsigned v)
{
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
}

void put_be32(unsigned char* p, std::uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

inline unsigned char to_byte(float value, float lo, float hi)
{
    const float range = hi - lo;
    if (range == 0.0f)  // degenerate scale: a step at the minimum
        return value > lo ? 255 : 0;
    const float v = (value - lo) / range * 255.0f;
    if (!(v > 0.0f))  // also catches NaN
        return 0;
    if (v >= 255.0f)
        return 255;
    return static_cast<unsigned char>(static_cast<int>(v));
}

} // namespace

int hy_write_sgi_channels(const char* path, int count_x, int count_y, int channels,
                          const float* const* values, const float* mins, const float* maxs)
{
    const std::string name = path ? path : "";
    {
        std::ofstream out(hyplat::file_path(name), std::ios::binary | std::ios::out | std::ios::trunc);
        unsigned char header[512] = {};
        put_be16(header + 0, 474);
        header[2] = 0;  // uncompressed
        header[3] = 1;  // one byte per channel value
        put_be16(header + 4, 3);
        put_be16(header + 6, static_cast<unsigned>(count_x));
        put_be16(header + 8, static_cast<unsigned>(count_y));
        put_be16(header + 10, static_cast<unsigned>(channels));
        put_be32(header + 12, 0);
        put_be32(header + 16, 255);
        put_be32(header + 104, 0);  // normal colour map
        if (out.is_open())
            out.write(reinterpret_cast<const char*>(header), sizeof header);
        if (!out.is_open() || !out.good()) {
            if (!out.is_open())
                report_error("unable to open " + name);
            report_error("unable to initialize SGI file " + name);
            return 0;
        }
    }
    const std::size_t count = static_cast<std::size_t>(count_x) * static_cast<std::size_t>(count_y);
    unsigned char* bytes = hymem::allocate_array<unsigned char>(count > 0 ? count : 1);
    if (!bytes) {
        report_out("Out of Memory");
        report_error("unable to write SGI file " + name);
        return 0;
    }
    int ok = 1;
    for (int c = 0; c < channels && ok; ++c) {
        for (std::size_t k = 0; k < count; ++k)
            bytes[k] = to_byte(values[c][k], mins[c], maxs[c]);
        std::ofstream out(hyplat::file_path(name), std::ios::binary | std::ios::out | std::ios::app);
        if (out.is_open())
            out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
        if (!out.is_open() || !out.good()) {
            if (!out.is_open())
                report_error("unable to open " + name);
            report_error("unable to write SGI file " + name);
            ok = 0;
        }
    }
    hymem::release(bytes);
    return ok;
}

float* hy_allocate_grid_floats(std::size_t count, void** block)
{
    *block = nullptr;
    if (count == 0 || count > (SIZE_MAX - 64) / sizeof(float))
        return nullptr;
    void* b = hymem::allocate(count * sizeof(float) + 64, true);
    if (!b)
        return nullptr;
    *block = b;
    const std::uintptr_t p = reinterpret_cast<std::uintptr_t>(b);
    return reinterpret_cast<float*>((p + 63) / 64 * 64);
}

HyGrid::HyGrid(int nx_, int ny_, double dx_, double dy_)
{
    set_dimensions(nx_, ny_, dx_, dy_);
    const std::size_t n = (nx > 0 && ny > 0) ? static_cast<std::size_t>(nx + 2) * static_cast<std::size_t>(ny) : 0;
    if (n > 0) {
        heights = hy_allocate_grid_floats(n, &heights_block);
        if (!heights)
            report_out("Out of Memory");
    }
}

HyGrid::~HyGrid()
{
    hymem::release(heights_block);
    heights_block = nullptr;
    heights = nullptr;
}

void HyGrid::set_dimensions(int nx_, int ny_, double dx_, double dy_)
{
    difference_step = 1;
    nx = nx_;
    ny = ny_;
    dx = dx_;
    dy = dy_;
    inv_dx = 1.0 / dx;
    inv_dy = 1.0 / dy;
    half_x = nx * dx / 2.0;
    half_y = ny * dy / 2.0;
    wrap_x = 1;
    wrap_y = 1;
}

int HyGrid::reallocate(int nx_, int ny_, double dx_, double dy_)
{
    hymem::release(heights_block);
    heights_block = nullptr;
    heights = nullptr;
    set_dimensions(nx_, ny_, dx_, dy_);
    if (nx <= 0 || ny <= 0)
        return 1;  // an empty grid is valid: every query reports no surface
    heights = hy_allocate_grid_floats(static_cast<std::size_t>(nx + 2) * static_cast<std::size_t>(ny), &heights_block);
    if (!heights) {
        report_error("HyGrid: error allocating primary grid ");
        return 0;
    }
    return 1;
}

double HyGrid::main_height(double x, double y) const
{
    if (!heights || nx <= 0 || ny <= 0)
        return -4.0 * kHyNoSurface;
    double gx = (x + half_x) * inv_dx;
    double gy = (y + half_y) * inv_dy;
    if (wrap_x && wrap_y) {
        // Fully periodic: every corner exists, no range checks.
        gx = reduce_periodic(gx, nx);
        gy = reduce_periodic(gy, ny);
        const double fx0 = std::floor(gx), fy0 = std::floor(gy);
        const double fx = gx - fx0, fy = gy - fy0;
        const int i0 = wrap_index(static_cast<int>(fx0), nx);
        const int j0 = wrap_index(static_cast<int>(fy0), ny);
        const int i1 = i0 + 1 == nx ? 0 : i0 + 1;
        const int j1 = j0 + 1 == ny ? 0 : j0 + 1;
        const float* r0 = heights + static_cast<std::size_t>(j0) * nx;
        const float* r1 = heights + static_cast<std::size_t>(j1) * nx;
        return (1.0 - fx) * (1.0 - fy) * r0[i0] + (1.0 - fx) * fy * r1[i0] + fx * (1.0 - fy) * r0[i1] +
               fx * fy * r1[i1];
    }
    if (wrap_x)
        gx = reduce_periodic(gx, nx);
    if (wrap_y)
        gy = reduce_periodic(gy, ny);
    // Far outside a non-periodic axis: all four corners are missing.
    if ((!wrap_x && !(gx > -kFarNode && gx < kFarNode)) || (!wrap_y && !(gy > -kFarNode && gy < kFarNode)))
        return -4.0 * kHyNoSurface;
    const double fx0 = std::floor(gx), fy0 = std::floor(gy);
    const double fx = gx - fx0, fy = gy - fy0;
    int i0 = static_cast<int>(fx0), j0 = static_cast<int>(fy0);
    int i1 = i0 + 1, j1 = j0 + 1;
    if (wrap_x) {
        i0 = wrap_index(i0, nx);
        i1 = wrap_index(i1, nx);
    }
    if (wrap_y) {
        j0 = wrap_index(j0, ny);
        j1 = wrap_index(j1, ny);
    }
    const int ci[4] = {i0, i0, i1, i1};
    const int cj[4] = {j0, j1, j0, j1};
    const double w[4] = {(1.0 - fx) * (1.0 - fy), (1.0 - fx) * fy, fx * (1.0 - fy), fx * fy};
    double sum = 0.0;
    for (int k = 0; k < 4; ++k) {
        if (ci[k] < 0 || ci[k] >= nx || cj[k] < 0 || cj[k] >= ny)
            sum -= kHyNoSurface;
        else
            sum += w[k] * heights[static_cast<std::size_t>(cj[k]) * nx + ci[k]];
    }
    return sum;
}

double HyGrid::get_height(double x, double y, int no_curvature) const
{
    double h = main_height(x, y);
    if (curvature == 1 && no_curvature == 0)
        h -= (x * x + y * y) / 2.0 / curvature_radius;
    return h;
}

namespace {

// Node index on one axis: wrapped when periodic, clamped into 0..n-1 otherwise.
inline int node_index(int i, int n, int periodic)
{
    if (periodic) {
        if (i >= 0 && i < n)
            return i;
        return wrap_index(i, n);
    }
    return i < 0 ? 0 : (i >= n ? n - 1 : i);
}

// Integer part of a node coordinate, safe for any double.
inline double floor_clamped(double g)
{
    if (!(g > -kFarNode))
        return -kFarNode;
    if (!(g < kFarNode))
        return kFarNode;
    return std::floor(g);
}

} // namespace

void HyGrid::main_slope(double x, double y, double& sx, double& sy) const
{
    sx = 0.0;
    sy = 0.0;
    if (!heights || nx <= 0 || ny <= 0)
        return;
    const int s = difference_step;
    const double inv_sdx = 1.0 / (s * dx), inv_sdy = 1.0 / (s * dy);
    auto h = [this](int i, int j) { return static_cast<double>(heights[static_cast<std::size_t>(j) * nx + i]); };

    if (wrap_x && wrap_y && s >= 1 && s < nx && s < ny) {
        // Fully periodic: every index wraps with one comparison, no clamping.
        auto cell = [](double g, int n, int& i0, int& i1, double& f) {
            g = reduce_periodic(g, n);
            const double g0 = std::floor(g);
            f = g - g0;
            i0 = wrap_index(static_cast<int>(g0), n);
            i1 = i0 + 1 == n ? 0 : i0 + 1;
        };
        auto back = [s](int i, int n) { return i >= s ? i - s : i - s + n; };
        int i0, i1, j0, j1;
        double fx, fy;
        cell((x + half_x + s * dx / 2.0) * inv_dx, nx, i0, i1, fx);
        cell((y + half_y) * inv_dy, ny, j0, j1, fy);
        const int m0 = back(i0, nx), m1 = back(i1, nx);
        sx = ((1.0 - fx) * (1.0 - fy) * (h(i0, j0) - h(m0, j0)) + (1.0 - fx) * fy * (h(i0, j1) - h(m0, j1)) +
              fx * (1.0 - fy) * (h(i1, j0) - h(m1, j0)) + fx * fy * (h(i1, j1) - h(m1, j1))) *
             inv_sdx;
        cell((x + half_x) * inv_dx, nx, i0, i1, fx);
        cell((y + half_y + s * dy / 2.0) * inv_dy, ny, j0, j1, fy);
        const int n0 = back(j0, ny), n1 = back(j1, ny);
        sy = ((1.0 - fx) * (1.0 - fy) * (h(i0, j0) - h(i0, n0)) + (1.0 - fx) * fy * (h(i0, j1) - h(i0, n1)) +
              fx * (1.0 - fy) * (h(i1, j0) - h(i1, n0)) + fx * fy * (h(i1, j1) - h(i1, n1))) *
             inv_sdy;
        return;
    }

    // Backward differences along one axis at node coordinate (gx, gy), weighted bilinearly. Each
    // axis is sampled half a step ahead along its own direction so that the differences centre on
    // (x, y).
    auto difference = [&](double gx, double gy, bool along_x) {
        if (wrap_x)
            gx = reduce_periodic(gx, nx);
        if (wrap_y)
            gy = reduce_periodic(gy, ny);
        const double fx0 = floor_clamped(gx), fy0 = floor_clamped(gy);
        const double fx = gx - fx0, fy = gy - fy0;
        const int ia = static_cast<int>(fx0), ja = static_cast<int>(fy0);
        const int ci[2] = {node_index(ia, nx, wrap_x), node_index(ia + 1, nx, wrap_x)};
        const int cj[2] = {node_index(ja, ny, wrap_y), node_index(ja + 1, ny, wrap_y)};
        // Corner (a, b) minus the node s steps behind it along the axis.
        auto step = [&](int a, int b) {
            const double behind = along_x ? h(node_index(ia + a - s, nx, wrap_x), cj[b])
                                          : h(ci[a], node_index(ja + b - s, ny, wrap_y));
            return h(ci[a], cj[b]) - behind;
        };
        double acc = 0.0;
        acc += (1.0 - fx) * (1.0 - fy) * step(0, 0);
        acc += (1.0 - fx) * fy * step(0, 1);
        acc += fx * (1.0 - fy) * step(1, 0);
        acc += fx * fy * step(1, 1);
        return acc;
    };
    sx = difference((x + half_x + s * dx / 2.0) * inv_dx, (y + half_y) * inv_dy, true) * inv_sdx;
    sy = difference((x + half_x) * inv_dx, (y + half_y + s * dy / 2.0) * inv_dy, false) * inv_sdy;
}

void HyGrid::get_slope(double x, double y, double& sx, double& sy, int no_curvature) const
{
    main_slope(x, y, sx, sy);
    if (curvature == 1 && no_curvature == 0) {
        sx -= x / curvature_radius;
        sy -= y / curvature_radius;
    }
}

void HyGrid::get_slope_by_difference(double x, double y, double step_x, double step_y, double& sx,
                                     double& sy) const
{
    const double hx = step_x > dx ? step_x : dx;
    const double hy = step_y > dy ? step_y : dy;
    sx = (get_height(x + hx / 2.0, y, 0) - get_height(x - hx / 2.0, y, 0)) / hx;
    sy = (get_height(x, y + hy / 2.0, 0) - get_height(x, y - hy / 2.0, 0)) / hy;
}

void HyGrid::get_slope_at(const double& x, const double& y, double& sx, double& sy) const
{
    get_slope(x, y, sx, sy, 0);
}

void HyGrid::get_slope_by_difference_at(const double& x, const double& y, const double& step_x,
                                        const double& step_y, double& sx, double& sy) const
{
    get_slope_by_difference(x, y, step_x, step_y, sx, sy);
}

namespace {

// Tilts a normal by a slope: the normal of the summed height fields.
inline void tilt_normal(double sx, double sy, double& n_x, double& n_y, double& n_z)
{
    double px = -n_x / n_z;
    double py = -n_y / n_z;
    px += sx;
    py += sy;
    const double k = 1.0 / std::sqrt(px * px + 1.0 + py * py);
    n_x = -px * k;
    n_y = -py * k;
    n_z = k;
}

} // namespace

void HyGrid::add_slope_to_normal(const double& x, const double& y, double& n_x, double& n_y, double& n_z) const
{
    if (n_z == 0.0)
        return;
    double sx, sy;
    get_slope(x, y, sx, sy, 0);
    tilt_normal(sx, sy, n_x, n_y, n_z);
}

void HyGrid::add_difference_slope_to_normal(const double& x, const double& y, double& n_x, double& n_y,
                                            double& n_z, const double& step_x, const double& step_y) const
{
    if (n_z == 0.0)
        return;
    double sx, sy;
    get_slope_by_difference(x, y, step_x, step_y, sx, sy);
    tilt_normal(sx, sy, n_x, n_y, n_z);
}

void HyGrid::get_height_range(double& min_height, double& max_height) const
{
    min_height = kHyNoSurface;
    max_height = -kHyNoSurface;
    if (!heights)
        return;
    for (int j = 0; j < ny; ++j) {
        const float* row = heights + static_cast<std::size_t>(j) * nx;
        for (int i = 0; i < nx; ++i) {
            const double v = row[i];
            if (v < min_height)
                min_height = v;
            if (v > max_height)
                max_height = v;
        }
    }
}

void HyGrid::set_extra_values(double a, double b)
{
    extra_value_2 = a;
    extra_value_1 = b;
}

int HyGrid::write_sgi_sampled(const char* path, int channels, const float* mins, const float* maxs,
                              double centre_x, double centre_y, const HySgiSampling& sampling) const
{
    const int cx = sampling.count_x, cy = sampling.count_y;
    // The header stores each size in 16 bits.
    if (cx <= 0 || cy <= 0 || cx > 65535 || cy > 65535) {
        report_error("unable to write height array ");
        return 0;
    }
    const std::size_t count = static_cast<std::size_t>(cx) * static_cast<std::size_t>(cy);
    float* samples = hymem::allocate_array<float>(count * static_cast<std::size_t>(channels));
    if (!samples) {
        report_error("unable to write height array ");
        return 0;
    }
    const double x0 = centre_x - cx * sampling.spacing_x / 2.0;
    const double y0 = centre_y - cy * sampling.spacing_y / 2.0;
    for (int j = 0; j < cy; ++j) {
        const double y = j * sampling.spacing_y + y0;
        for (int i = 0; i < cx; ++i) {
            const double x = i * sampling.spacing_x + x0;
            const std::size_t k = static_cast<std::size_t>(j) * cx + i;
            samples[k] = static_cast<float>(get_height(x, y, 0));
            if (channels == 3) {
                double sx, sy;
                get_slope(x, y, sx, sy, 0);
                samples[count + k] = static_cast<float>(sx);
                samples[2 * count + k] = static_cast<float>(sy);
            }
        }
    }
    const float* planes[3] = {samples, samples + count, samples + 2 * count};
    const int ok = hy_write_sgi_channels(path, cx, cy, channels, planes, mins, maxs);
    hymem::release(samples);
    return ok;
}

int HyGrid::write_sgi_height(const char* path, double value_min, double value_max, double centre_x,
                             double centre_y, int count_x, int count_y, double spacing_x, double spacing_y) const
{
    const float mins[1] = {static_cast<float>(value_min)};
    const float maxs[1] = {static_cast<float>(value_max)};
    HySgiSampling sampling;
    sampling.count_x = count_x;
    sampling.count_y = count_y;
    sampling.spacing_x = spacing_x;
    sampling.spacing_y = spacing_y;
    return write_sgi_sampled(path, 1, mins, maxs, centre_x, centre_y, sampling);
}

int HyGrid::write_sgi_height_and_slope(const char* path, double height_min, double height_max, double slope_min,
                                       double slope_max, double centre_x, double centre_y,
                                       const HySgiSampling& sampling) const
{
    const float mins[3] = {static_cast<float>(height_min), static_cast<float>(slope_min),
                           static_cast<float>(slope_min)};
    const float maxs[3] = {static_cast<float>(height_max), static_cast<float>(slope_max),
                           static_cast<float>(slope_max)};
    return write_sgi_sampled(path, 3, mins, maxs, centre_x, centre_y, sampling);
}
