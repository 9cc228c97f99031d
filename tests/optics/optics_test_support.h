// Shared pieces of the optics tests: numerical integration, unit vectors, and for the surface optics views,
// parameters and an exact coverage oracle from the camera's own projection (not the slicer's angles).
#pragma once

#include "ocean/HyGrid.h"
#include "optics/HySurfaceOptics.h"
#include "render/HyCamera.h"
#include "render/HyPixelBuffer.h"
#include "tests/render/render_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace optics_test {

// Composite Simpson rule on [a, b] with n (even) intervals.
template <class F>
double simpson(F f, double a, double b, int n = 20000)
{
    const double h = (b - a) / n;
    double s = f(a) + f(b);
    for (int i = 1; i < n; ++i)
        s += f(a + i * h) * (i % 2 ? 4.0 : 2.0);
    return s * h / 3.0;
}

inline void normalise(double* v)
{
    const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; ++i)
        v[i] /= l;
}

// A slicer vertex at screen point (x, y) on grid corner (col, row).
inline HySliceVertex sv(double x, double y, int col = 0, int row = 0)
{
    return HySliceVertex{x, y, 0, col, row, nullptr, nullptr, nullptr};
}

struct ViewSetup {
    const char* name;
    double x, y, z;       // eye
    double a, b, c;       // orientation
    double hfov_deg;      // horizontal field of view
    int columns, rows;
};

inline HyViewGeometry make_view(const ViewSetup& v)
{
    return render_test::make_camera(std::uint32_t(v.columns), std::uint32_t(v.rows), v.hfov_deg * M_PI / 180.0,
                                    {v.a, v.b, v.c}, v.x, v.y, v.z)
        .view();
}

using render_test::Canvas;

// The surface optics over `grid` with 1 m cells.
inline HySurfaceOpticsParams surface_params(HyGrid* grid, double max_distance = 500.0,
                                            double double_distance = 32.0, int to_horizon = 1)
{
    return {.height_source = grid, .base_step = 1.0, .max_distance = max_distance,
            .double_distance = double_distance, .to_horizon = std::uint32_t(to_horizon)};
}

struct Pt {
    double x, y;
};

// Convex clip of a polygon by the half-plane a x + b y + c >= 0.
inline std::vector<Pt> clip(const std::vector<Pt>& in, double a, double b, double c)
{
    std::vector<Pt> out;
    const std::size_t n = in.size();
    for (std::size_t k = 0; k < n; ++k) {
        const Pt& p = in[(k + n - 1) % n];
        const Pt& q = in[k];
        const double dp = a * p.x + b * p.y + c, dq = a * q.x + b * q.y + c;
        if ((dp >= 0) != (dq >= 0)) {
            const double t = dp / (dp - dq);
            out.push_back({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
        }
        if (dq >= 0)
            out.push_back(q);
    }
    return out;
}

inline double area(const std::vector<Pt>& p)
{
    double s = 0.0;
    for (std::size_t k = 0; k < p.size(); ++k) {
        const Pt& a = p[k];
        const Pt& b = p[(k + 1) % p.size()];
        s += a.x * b.y - b.x * a.y;
    }
    return std::fabs(0.5 * s);
}

inline std::vector<Pt> pixel_square(int ix, int iy)
{
    return {{double(ix), double(iy)}, {ix + 1.0, double(iy)}, {ix + 1.0, iy + 1.0}, {double(ix), iy + 1.0}};
}

// Fraction of pixel (ix, iy) whose rays point below the horizontal: the world z of the camera-space
// direction (-yr, -xc, 1), with yr = rmin + row * rs and xc = cmin + col * cs, is linear in the pixel.
inline double below_horizon_fraction(const HyViewGeometry& v, int ix, int iy)
{
    return area(clip(pixel_square(ix, iy), v.R[2][1] * v.column_step, v.R[2][0] * v.row_step,
                     v.R[2][0] * v.rmin + v.R[2][1] * v.cmin - v.R[2][2]));
}

// Image in (column, row) pixels of a convex polygon on the plane z = zp, cut to what lies in front of the eye.
inline std::vector<Pt> project_ground_polygon(const HyViewGeometry& v, const std::vector<Pt>& ground,
                                              double zp)
{
    // The camera-space depth is linear in the ground point: clip at a small positive depth first.
    const double(&d)[3] = v.Rt[2];
    std::vector<Pt> img;
    for (const Pt& g : clip(ground, d[0], d[1], d[2] * (zp - v.z) - d[0] * v.x - d[1] * v.y - 1e-9)) {
        const double w[3] = {g.x - v.x, g.y - v.y, zp - v.z};
        auto cam = [&](int i) { return v.Rt[i][0] * w[0] + v.Rt[i][1] * w[1] + v.Rt[i][2] * w[2]; };
        const double yr = -cam(0) / cam(2), xc = -cam(1) / cam(2);
        img.push_back({(xc - v.cmin) / v.column_step, (yr - v.rmin) / v.row_step});
    }
    return img;
}

// Area of pixel (ix, iy) inside a polygon (clipping by the convex pixel square suits any polygon).
inline double pixel_in_polygon(const std::vector<Pt>& poly, int ix, int iy)
{
    std::vector<Pt> p = clip(clip(poly, 1, 0, -ix), -1, 0, ix + 1.0);
    p = clip(clip(p, 0, 1, -iy), 0, -1, iy + 1.0);
    return p.size() >= 3 ? area(p) : 0.0;
}

// Surface optics that also add up, per pixel, the areas of the visible polygons the slicer hands over,
// without the pixel buffer's depth rule (water drawn twice over shows here as more than the pixel), and
// record the points they shade.
class SummingOptics : public HySurfaceOptics {
public:
    using HySurfaceOptics::HySurfaceOptics;
    void shade_point(const double point[3], const double normal[3], const HySurfaceView& view, double depth,
                     int flag, double colour[3]) override
    {
        points.push_back({point[0], point[1], point[2]});
        HySurfaceOptics::shade_point(point, normal, view, depth, flag, colour);
    }
    void draw_triangle(const HyImageInfo& info, const HySliceVertex* visible, int count,
                       const HySliceVertex t[3], double pixel_size, int flag) override
    {
        add(info, visible, count);
        HySurfaceOptics::draw_triangle(info, visible, count, t, pixel_size, flag);
    }
    void draw_far_polygon(const HyImageInfo& info, const HySliceVertex* visible, int count,
                          const HySliceVertex t[3], double pixel_size, int flag) override
    {
        add(info, visible, count);
        HySurfaceOptics::draw_far_polygon(info, visible, count, t, pixel_size, flag);
    }
    std::vector<double> sum; // row-major, window width x height
    std::vector<std::array<double, 3>> points;

private:
    void add(const HyImageInfo& info, const HySliceVertex* visible, int count)
    {
        sum.resize(std::size_t(info.width) * info.height, 0.0);
        std::vector<Pt> poly;
        double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
        for (int k = 0; k < count; ++k) {
            poly.push_back({visible[k].x, visible[k].y});
            x0 = std::min(x0, visible[k].x), x1 = std::max(x1, visible[k].x);
            y0 = std::min(y0, visible[k].y), y1 = std::max(y1, visible[k].y);
        }
        const int ix0 = std::max(0, int(std::floor(x0))), ix1 = std::min(info.width - 1, int(std::floor(x1)));
        const int iy0 = std::max(0, int(std::floor(y0))), iy1 = std::min(info.height - 1, int(std::floor(y1)));
        for (int iy = iy0; iy <= iy1; ++iy)
            for (int ix = ix0; ix <= ix1; ++ix)
                sum[std::size_t(iy) * info.width + ix] += pixel_in_polygon(poly, ix, iy);
    }
};

// f(ix, iy) for every pixel of the view, row major.
template <class F>
std::vector<double> per_pixel(const HyViewGeometry& v, F f)
{
    std::vector<double> e;
    for (int iy = 0; iy < v.rows; ++iy)
        for (int ix = 0; ix < v.columns; ++ix)
            e.push_back(f(ix, iy));
    return e;
}

// got(ix, iy) against the exact coverage `e` (row major): the worst covered, sky and edge pixels within
// their bounds, naming the pixel that is not. Returns the numbers of covered and of sky pixels.
template <class Got>
std::pair<int, int> expect_coverage(const std::vector<double>& e, Got got, int columns,
                                    const double (&bound)[3])
{
    double worst[3] = {0, 0, 0};
    int count[3] = {0, 0, 0}, at[3] = {-1, -1, -1};
    for (int i = 0; i < int(e.size()); ++i) {
        const int k = e[i] >= 1.0 - 1e-12 ? 0 : e[i] <= 1e-12 ? 1 : 2;
        const double err = std::fabs(got(i % columns, i / columns) - e[i]);
        ++count[k];
        if (err > worst[k])
            worst[k] = err, at[k] = i;
    }
    const char* kind[3] = {"covered", "sky", "edge"};
    for (int k = 0; k < 3; ++k)
        EXPECT_LE(worst[k], bound[k])
            << kind[k] << " pixel (" << at[k] % columns << ", " << at[k] / columns << ")";
    return {count[0], count[1]};
}

// The gathered weights, then after normalisation and flush the coverage plane and the white water's
// premultiplied green plane, against the exact coverage; returns what the first comparison counts.
inline std::pair<int, int> expect_canvas(const std::vector<double>& e, Canvas& c, int columns,
                                         const double (&bound)[3])
{
    HyPixelBuffer& b = c.buffer;
    const auto n = expect_coverage(e, [&](int x, int y) { return b.work_weight[y][x]; }, columns, bound);
    HySurfaceOptics::normalise_work(b);
    b.flush();
    expect_coverage(e, [&](int x, int y) { return b.coverage[y][x]; }, columns, bound);
    expect_coverage(e, [&](int x, int y) { return c.g[std::size_t(y) * columns + x]; }, columns, bound);
    return n;
}

} // namespace optics_test
