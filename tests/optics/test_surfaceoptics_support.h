// Shared pieces of the surface optics tests: views, parameters, and an exact coverage oracle built from
// the camera's own projection (independent of the slicer's angular space).
#pragma once

#include "ocean/HyGrid.h"
#include "optics/HySurfaceOptics.h"
#include "render/HyCamera.h"
#include "render/HyPixelBuffer.h"
#include "tests/render/render_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace surface_test {

constexpr double kPi = 3.14159265358979323846;

struct ViewSetup {
    const char* name;
    double x, y, z;       // eye
    double a, b, c;       // orientation
    double hfov_deg;      // horizontal field of view
    int columns, rows;
};

inline HyViewGeometry make_view(const ViewSetup& v)
{
    HyViewGeometry g;
    g.set_position(v.x, v.y, v.z);
    g.set_orientation(v.a, v.b, v.c);
    g.set_size(v.columns, v.rows);
    const double h = v.hfov_deg * kPi / 180.0;
    const double vert = 2.0 * std::atan(std::tan(h / 2.0) * v.rows / v.columns);
    g.set_fields_of_view(h, vert);
    return g;
}

using render_test::Canvas;

// The surface optics over `grid` with 1 m cells.
inline HySurfaceOpticsParams surface_params(HyGrid* grid, double max_distance = 500.0, double double_distance = 32.0,
                                           int to_horizon = 1)
{
    HySurfaceOpticsParams p;
    p.height_source = grid;
    p.base_step = 1.0;
    p.max_distance = max_distance;
    p.double_distance = double_distance;
    p.to_horizon = std::uint32_t(to_horizon);
    return p;
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

// Fraction of pixel (ix, iy) whose rays point below the horizontal: the horizon is the straight line
// where the camera-space direction (-yr, -xc, 1) has no world z.
inline double below_horizon_fraction(const HyViewGeometry& v, int ix, int iy)
{
    // world dz = R20 (-yr) + R21 (-xc) + R22 with yr = rmin + row * rs, xc = cmin + col * cs.
    const double ca = -v.R[2][1] * v.column_step;
    const double cb = -v.R[2][0] * v.row_step;
    const double cc = -v.R[2][0] * v.rmin - v.R[2][1] * v.cmin + v.R[2][2];
    // Keep dz < 0: -(dz) >= 0.
    return area(clip(pixel_square(ix, iy), -ca, -cb, -cc));
}

// Image of a convex polygon lying on the plane z = zp (world points), cut to the part in front of the
// eye, as a convex polygon in (column, row) pixel coordinates.
inline std::vector<Pt> project_ground_polygon(const HyViewGeometry& v, const std::vector<Pt>& ground, double zp)
{
    // Camera-space coordinates of every corner; clip at a small positive depth.
    struct C {
        double p, q, s;
    };
    std::vector<C> cam;
    for (const Pt& g : ground) {
        const double d[3] = {g.x - v.x, g.y - v.y, zp - v.z};
        C c;
        c.p = v.Rt[0][0] * d[0] + v.Rt[0][1] * d[1] + v.Rt[0][2] * d[2];
        c.q = v.Rt[1][0] * d[0] + v.Rt[1][1] * d[1] + v.Rt[1][2] * d[2];
        c.s = v.Rt[2][0] * d[0] + v.Rt[2][1] * d[1] + v.Rt[2][2] * d[2];
        cam.push_back(c);
    }
    const double eps = 1e-9;
    std::vector<C> front;
    for (std::size_t k = 0; k < cam.size(); ++k) {
        const C& a = cam[(k + cam.size() - 1) % cam.size()];
        const C& b = cam[k];
        if ((a.s >= eps) != (b.s >= eps)) {
            const double t = (eps - a.s) / (b.s - a.s);
            front.push_back({a.p + t * (b.p - a.p), a.q + t * (b.q - a.q), eps});
        }
        if (b.s >= eps)
            front.push_back(b);
    }
    std::vector<Pt> img;
    for (const C& c : front) {
        const double yr = -c.p / c.s, xc = -c.q / c.s;
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
// without the pixel buffer's depth rule: water drawn twice over shows here as more than the pixel.
class SummingOptics : public HySurfaceOptics {
public:
    using HySurfaceOptics::HySurfaceOptics;
    void draw_triangle(const HyImageInfo& info, const HySliceVertex* visible, int count, const HySliceVertex t[3],
                       double pixel_size, int flag) override
    {
        add(info, visible, count, t);
        HySurfaceOptics::draw_triangle(info, visible, count, t, pixel_size, flag);
    }
    void draw_far_polygon(const HyImageInfo& info, const HySliceVertex* visible, int count, const HySliceVertex t[3],
                          double pixel_size, int flag) override
    {
        add(info, visible, count, t);
        HySurfaceOptics::draw_far_polygon(info, visible, count, t, pixel_size, flag);
    }
    std::vector<double> sum; // row-major, window width x height

private:
    void add(const HyImageInfo& info, const HySliceVertex* visible, int count, const HySliceVertex t[3])
    {
        // Triangles wholly beside the window are not drawn.
        const bool beside = (t[0].x < 0 && t[1].x < 0 && t[2].x < 0) ||
                            (t[0].y < 0 && t[1].y < 0 && t[2].y < 0) ||
                            (t[0].x > info.width && t[1].x > info.width && t[2].x > info.width) ||
                            (t[0].y > info.height && t[1].y > info.height && t[2].y > info.height);
        if (beside)
            return;
        sum.resize(std::size_t(info.width) * info.height, 0.0);
        std::vector<Pt> poly;
        for (int k = 0; k < count; ++k)
            poly.push_back({visible[k].x, visible[k].y});
        double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
        for (const Pt& q : poly) {
            x0 = std::min(x0, q.x);
            x1 = std::max(x1, q.x);
            y0 = std::min(y0, q.y);
            y1 = std::max(y1, q.y);
        }
        const int ix0 = std::max(0, int(std::floor(x0))), ix1 = std::min(info.width - 1, int(std::floor(x1)));
        const int iy0 = std::max(0, int(std::floor(y0))), iy1 = std::min(info.height - 1, int(std::floor(y1)));
        for (int iy = iy0; iy <= iy1; ++iy)
            for (int ix = ix0; ix <= ix1; ++ix)
                sum[std::size_t(iy) * info.width + ix] += pixel_in_polygon(poly, ix, iy);
    }
};

} // namespace surface_test
