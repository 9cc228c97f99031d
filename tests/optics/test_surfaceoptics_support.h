// Shared pieces of the surface optics tests: views, an exact coverage oracle built from the camera's
// own projection (independent of the slicer's angular space), and a small PNG writer for pictures of
// coverage planes.
#pragma once

#include "ocean/HyGrid.h"
#include "optics/HySurfaceOptics.h"
#include "render/HyCamera.h"
#include "render/HyPixelBuffer.h"
#include "tests/render/render_test_support.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace surface_test {

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
    const double h = v.hfov_deg * 3.14159265358979323846 / 180.0;
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

// Area of pixel (ix, iy) inside a convex image polygon.
inline double pixel_in_convex(const std::vector<Pt>& poly, int ix, int iy)
{
    if (poly.size() < 3)
        return 0.0;
    // Orientation of the polygon decides which side of each edge is inside.
    double s = 0.0;
    for (std::size_t k = 0; k < poly.size(); ++k) {
        const Pt& a = poly[k];
        const Pt& b = poly[(k + 1) % poly.size()];
        s += a.x * b.y - b.x * a.y;
    }
    const double sign = s >= 0 ? 1.0 : -1.0;
    std::vector<Pt> px = pixel_square(ix, iy);
    for (std::size_t k = 0; k < poly.size() && !px.empty(); ++k) {
        const Pt& a = poly[k];
        const Pt& b = poly[(k + 1) % poly.size()];
        // Left of a -> b (for counter-clockwise): (b - a) x (p - a) >= 0.
        const double ex = b.x - a.x, ey = b.y - a.y;
        px = clip(px, -sign * ey, sign * ex, sign * (ey * a.x - ex * a.y));
    }
    return px.size() >= 3 ? area(px) : 0.0;
}

// 8-bit grey PNG, stored (uncompressed) deflate blocks.
inline bool write_png(const std::string& path, int w, int h, const std::vector<std::uint8_t>& grey)
{
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        for (int x = 0; x < w; ++x)
            raw.push_back(grey[std::size_t(y) * w + x]);
    }
    auto crc = [](const std::uint8_t* p, std::size_t n, std::uint32_t c = 0xffffffffu) {
        for (std::size_t k = 0; k < n; ++k) {
            c ^= p[k];
            for (int b = 0; b < 8; ++b)
                c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
        }
        return c;
    };
    std::vector<std::uint8_t> z = {0x78, 0x01};
    std::uint32_t s1 = 1, s2 = 0;
    for (std::uint8_t v : raw) {
        s1 = (s1 + v) % 65521;
        s2 = (s2 + s1) % 65521;
    }
    for (std::size_t off = 0; off < raw.size() || off == 0;) {
        const std::size_t len = std::min<std::size_t>(65535, raw.size() - off);
        const bool last = off + len >= raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(std::uint8_t(len & 255));
        z.push_back(std::uint8_t(len >> 8));
        z.push_back(std::uint8_t(~len & 255));
        z.push_back(std::uint8_t((~len >> 8) & 255));
        z.insert(z.end(), raw.begin() + off, raw.begin() + off + len);
        off += len;
        if (last)
            break;
    }
    const std::uint32_t adler = (s2 << 16) | s1;
    for (int k = 3; k >= 0; --k)
        z.push_back(std::uint8_t(adler >> (8 * k)));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    auto be32 = [&](std::uint32_t v) {
        std::uint8_t b[4] = {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
        std::fwrite(b, 1, 4, f);
    };
    auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
        be32(std::uint32_t(data.size()));
        std::vector<std::uint8_t> td(type, type + 4);
        td.insert(td.end(), data.begin(), data.end());
        std::fwrite(td.data(), 1, td.size(), f);
        be32(crc(td.data(), td.size()) ^ 0xffffffffu);
    };
    const std::uint8_t sig[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    std::fwrite(sig, 1, 8, f);
    std::vector<std::uint8_t> ihdr = {std::uint8_t(w >> 24), std::uint8_t(w >> 16), std::uint8_t(w >> 8), std::uint8_t(w),
                                      std::uint8_t(h >> 24), std::uint8_t(h >> 16), std::uint8_t(h >> 8), std::uint8_t(h),
                                      8, 0, 0, 0, 0};
    chunk("IHDR", ihdr);
    chunk("IDAT", z);
    chunk("IEND", {});
    return std::fclose(f) == 0;
}

} // namespace surface_test
