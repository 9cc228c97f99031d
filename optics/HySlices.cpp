#include "optics/HySlices.h"

#include "ocean/HyGrid.h"
#include "optics/HySurfaceOptics.h"
#include "render/HyPixelBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr double kPiCode = 3.1415926535;
constexpr double kSeamLimit = 1570.79632675;
constexpr double kSeamShift = 6283.185307;
constexpr double kQuarter = 0.785398163375;
constexpr double kSector1 = 2.356194490125;
constexpr double kSector2 = 3.926990816875;
constexpr double kSector3 = 5.4977871436250005;
constexpr double kFullTurn = 6.283185307;
constexpr double kRidgeFar = 1e8;
constexpr double kNoValue = -std::numeric_limits<double>::infinity();

void report(const char* line)
{
    std::fprintf(stderr, "%s\n", line);
    std::fflush(stderr);
}

// A point of an outline kept with x negated, and back.
void mirror_x(HyRidgePoint& p)
{
    p.x = -p.x;
    if (p.made)
        for (int k = 0; k < 8; k += 2)
            p.seg[k] = -p.seg[k];
}

HySliceVertex vertex_of(const HyRidgePoint& p)
{
    return HySliceVertex{p.x, p.y, p.id, p.col, p.row, nullptr, nullptr, nullptr};
}

// One edge of a convex clip: keeps the vertices `inside` accepts and puts `cut(previous, current)`
// where the outline crosses the edge. -1 when `out` would overflow.
template <class Inside, class Cut>
int clip_by_edge(const HySliceVertex* in, int n, Inside inside, Cut cut, HySliceVertex* out, int capacity)
{
    int m = 0;
    const HySliceVertex* prev = &in[n - 1];
    bool pin = inside(*prev);
    for (int k = 0; k < n; ++k) {
        const HySliceVertex& cur = in[k];
        const bool cin = inside(cur);
        if (cin != pin) {
            if (m >= capacity)
                return -1;
            out[m++] = cut(*prev, cur);
        }
        if (cin) {
            if (m >= capacity)
                return -1;
            out[m++] = cur;
        }
        prev = &cur;
        pin = cin;
    }
    return m;
}

// Signed area of the triangle (counter-clockwise positive).
double triangle_area(const HySliceVertex t[3])
{
    return 0.5 * ((t[1].x - t[0].x) * (t[2].y - t[0].y) - (t[2].x - t[0].x) * (t[1].y - t[0].y));
}

int side_of_azimuth(double a)
{
    if (a < kQuarter || a >= kSector3)
        return 0;
    if (a < kSector1)
        return 1;
    if (a < kSector2)
        return 2;
    return 3;
}

double wrap_azimuth(double a)
{
    while (a < -kQuarter)
        a += kFullTurn;
    while (a >= kFullTurn)
        a -= kFullTurn;
    return a;
}

} // namespace

double HyInterp_help8(double x, const HyRidgePoint* p, int count, int* hint)
{
    if (count < 2) {
        std::fprintf(stderr, "Error: Interpolating into %d points in HyInterp_help8\n", count);
        std::fflush(stderr);
        std::printf("Interp Error\n");
        std::fflush(stdout);
        return 0.0;
    }
    int i = hint ? *hint : 0;
    i = std::clamp(i, 0, count - 2);
    // Walk outward from the hint to the segment with x_i >= x >= x_(i+1); the end segments extend.
    while (i > 0 && x > p[i].x)
        --i;
    while (i < count - 2 && x < p[i + 1].x)
        ++i;
    if (hint)
        *hint = i;
    const double x0 = p[i].x, x1 = p[i + 1].x;
    const double dx = x0 - x1;
    if (!(dx != 0.0))
        return std::max(p[i].y, p[i + 1].y);
    return p[i].y + (x - x0) * (p[i + 1].y - p[i].y) / (x1 - x0);
}

int hy_ridge_envelope(const HyRidgePoint* ridge, int ridge_count, const HyRidgePoint* outline,
                      int outline_count, HyRidgePoint* out, int capacity)
{
    const int count = hy_upper_envelope(ridge, ridge_count, outline, outline_count, out, capacity);
    if (count > 0) {
        out[0].x = double(float(kRidgeFar));
        out[count - 1].x = double(float(-kRidgeFar));
    }
    return count;
}

int hy_upper_envelope(const HyRidgePoint* ridge, int ridge_count, const HyRidgePoint* outline, int outline_count,
                      HyRidgePoint* out, int capacity)
{
    // Sweep both polylines by decreasing x. At every vertex abscissa each line has a value arriving
    // from the right, a largest value at the abscissa (vertical runs) and a value leaving to the left;
    // the envelope takes the higher line for each, and between abscissae it inserts the crossing
    // wherever the difference of the two lines changes sign.
    const HyRidgePoint* P[2] = {ridge, outline};
    const int N[2] = {ridge_count, outline_count};
    int idx[2] = {0, 0};
    double last_x[2] = {0, 0};
    bool have_last[2] = {false, false};
    double leftval_prev[2] = {kNoValue, kNoValue};
    bool cont_prev[2] = {false, false};
    double xprev = 0.0;
    bool first_event = true;
    int count = 0;

    auto xat = [&](int l, int k) {
        // Non-increasing view of the x coordinates.
        double x = P[l][k].x;
        if (k > 0 && have_last[l] && x > last_x[l])
            x = last_x[l];
        return x;
    };
    auto push = [&](double x, double y, const HyRidgePoint* src) -> bool {
        if (count > 0 && out[count - 1].x == x && out[count - 1].y == y)
            return true;
        if (count >= capacity)
            return false;
        HyRidgePoint q;
        if (src && src->x == x && src->y == y) {
            q = *src;
        } else {
            q.x = x;
            q.y = y;
            q.id = src ? src->id : -1;
            q.col = src ? src->col : -1;
            q.row = src ? src->row : -1;
        }
        out[count++] = q;
        return true;
    };

    while (idx[0] < N[0] || idx[1] < N[1]) {
        double ex = -std::numeric_limits<double>::infinity();
        for (int l = 0; l < 2; ++l)
            if (idx[l] < N[l])
                ex = std::max(ex, xat(l, idx[l]));
        double R[2], M[2], L[2];
        bool hasR[2], hasL[2], hasM[2];
        // What the next event needs of this one: the values leaving it to the left.
        auto next_event = [&]() {
            for (int l = 0; l < 2; ++l) {
                cont_prev[l] = hasL[l];
                leftval_prev[l] = L[l];
            }
            xprev = ex;
            first_event = false;
        };
        const HyRidgePoint* srcM[2] = {nullptr, nullptr};
        int seg_before[2] = {-1, -1}; // the segment of each line over the interval just swept
        for (int l = 0; l < 2; ++l) {
            const int before = idx[l];
            seg_before[l] = before > 0 && before < N[l] ? before : -1;
            int k = idx[l];
            double mx = kNoValue;
            const HyRidgePoint* best = nullptr;
            while (k < N[l] && xat(l, k) >= ex) {
                last_x[l] = xat(l, k);
                have_last[l] = true;
                if (P[l][k].y > mx) {
                    mx = P[l][k].y;
                    best = &P[l][k];
                }
                ++k;
            }
            const bool vertex_here = k > before;
            idx[l] = k;
            if (vertex_here) {
                hasR[l] = before > 0;
                R[l] = P[l][before].y;
                hasM[l] = true;
                M[l] = mx;
                srcM[l] = best;
                hasL[l] = k < N[l];
                L[l] = P[l][k - 1].y;
            } else if (before > 0 && before < N[l]) {
                // Inside a segment: one value.
                const double x0 = last_x[l], x1 = xat(l, before);
                const double y0 = P[l][before - 1].y, y1 = P[l][before].y;
                const double v = (x0 - x1) > 0.0 ? y0 + (ex - x0) * (y1 - y0) / (x1 - x0) : std::max(y0, y1);
                hasR[l] = hasM[l] = hasL[l] = true;
                R[l] = M[l] = L[l] = v;
                srcM[l] = nullptr;
            } else {
                hasR[l] = hasM[l] = hasL[l] = false;
                R[l] = M[l] = L[l] = kNoValue;
            }
        }
        // Crossing between the previous abscissa and this one.
        if (!first_event && cont_prev[0] && cont_prev[1] && hasR[0] && hasR[1]) {
            const double fa = leftval_prev[0] - leftval_prev[1];
            const double fb = R[0] - R[1];
            if ((fa > 0.0 && fb < 0.0) || (fa < 0.0 && fb > 0.0)) {
                const double t = fa / (fa - fb);
                const double cx = xprev + t * (ex - xprev);
                const double cy = leftval_prev[0] + t * (R[0] - leftval_prev[0]);
                if (cx < xprev && cx > ex) {
                    if (!push(cx, cy, nullptr))
                        return -1;
                    if (seg_before[0] >= 0 && seg_before[1] >= 0) {
                        HyRidgePoint& q = out[count - 1];
                        const HyRidgePoint* s0 = &P[0][seg_before[0] - 1];
                        const HyRidgePoint* s1 = &P[0][seg_before[0]];
                        const HyRidgePoint* s2 = &P[1][seg_before[1] - 1];
                        const HyRidgePoint* s3 = &P[1][seg_before[1]];
                        const double pts[8] = {s0->x, s0->y, s1->x, s1->y, s2->x, s2->y, s3->x, s3->y};
                        q.made = 1;
                        for (int k = 0; k < 8; ++k)
                            q.seg[k] = pts[k];
                    }
                }
            }
        }
        double eR = kNoValue, eM = kNoValue, eL = kNoValue;
        const HyRidgePoint* sM = nullptr;
        for (int l = 0; l < 2; ++l) {
            if (hasR[l])
                eR = std::max(eR, R[l]);
            if (hasL[l])
                eL = std::max(eL, L[l]);
            if (hasM[l] && M[l] > eM) {
                eM = M[l];
                sM = srcM[l];
            }
        }
        // A vertex of the lower line only: the envelope runs straight through here. Adding a point on
        // the upper line's segment would be harmless in angular space but not after the lens mapping.
        {
            bool top_vertex = false, tie = false;
            for (int l = 0; l < 2; ++l)
                if (hasM[l] && M[l] == eM && srcM[l])
                    top_vertex = true;
            if (hasM[0] && hasM[1] && M[0] == M[1])
                tie = true;
            if (!top_vertex && !tie && eR == eM && eL == eM) {
                next_event();
                continue;
            }
        }
        // A value read inside a line's segment (not at one of its vertices) lies on that segment and on
        // the vertical through ex.
        auto mark = [&](double value) {
            if (count == 0 || out[count - 1].y != value || out[count - 1].made)
                return;
            for (int l = 0; l < 2; ++l) {
                const bool inside = hasM[l] && !srcM[l] && M[l] == value && idx[l] > 0 && idx[l] < N[l];
                if (!inside)
                    continue;
                const HyRidgePoint* a0 = &P[l][idx[l] - 1];
                const HyRidgePoint* a1 = &P[l][idx[l]];
                const double pts[8] = {a0->x, a0->y, a1->x, a1->y, ex, value + 1.0, ex, value - 1.0};
                HyRidgePoint& q = out[count - 1];
                q.made = 1;
                for (int k = 0; k < 8; ++k)
                    q.seg[k] = pts[k];
                return;
            }
        };
        if (eR > kNoValue) {
            if (!push(ex, eR, sM))
                return -1;
            mark(eR);
        }
        if (eM > kNoValue && eM > eR && eM > eL) {
            if (!push(ex, eM, sM))
                return -1;
            mark(eM);
        }
        if (eL > kNoValue) {
            if (!push(ex, eL, sM))
                return -1;
            mark(eL);
        }
        if (eR == kNoValue && eL == kNoValue && eM > kNoValue && !push(ex, eM, sM))
            return -1;
        next_event();
    }
    return count;
}

int hy_clip_half_plane(const HySliceVertex* in, int n, double p0x, double p0y, double p1x, double p1y,
                       double sign, HySliceVertex* out, int capacity)
{
    if (n <= 0)
        return 0;
    const double ex = p1x - p0x, ey = p1y - p0y;
    auto dist = [&](const HySliceVertex& v) { return sign * (ex * (v.y - p0y) - ey * (v.x - p0x)); };
    auto inside = [&](const HySliceVertex& v) { return dist(v) >= 0.0; };
    auto cut = [&](const HySliceVertex& a, const HySliceVertex& b) {
        const double da = dist(a), db = dist(b);
        const double t = da / (da - db);
        HySliceVertex v = b;
        v.x = a.x + t * (b.x - a.x);
        v.y = a.y + t * (b.y - a.y);
        return v;
    };
    return clip_by_edge(in, n, inside, cut, out, capacity);
}

int hy_clip_strip(const HySliceVertex* in, int n, int axis, double lo, double hi, HySliceVertex* out,
                  int capacity)
{
    // Clip against lo into a local pool, then against hi into `out`.
    if (n <= 0)
        return 0;
    auto coord = [axis](const HySliceVertex& v) { return axis == 0 ? v.x : v.y; };
    auto cut_at = [axis](double at) {
        return [axis, at](const HySliceVertex& a, const HySliceVertex& b) {
            HySliceVertex v = b;
            const double ca = axis == 0 ? a.x : a.y, cb = axis == 0 ? b.x : b.y;
            const double t = (at - ca) / (cb - ca);
            v.x = a.x + t * (b.x - a.x);
            v.y = a.y + t * (b.y - a.y);
            if (axis == 0)
                v.x = at;
            else
                v.y = at;
            return v;
        };
    };
    HySliceVertex tmp[4 * HY_MAX_POINTS];
    const int m = clip_by_edge(in, n, [&](const HySliceVertex& v) { return coord(v) >= lo; }, cut_at(lo), tmp,
                               4 * HY_MAX_POINTS);
    if (m <= 0)
        return m;
    return clip_by_edge(tmp, m, [&](const HySliceVertex& v) { return coord(v) <= hi; }, cut_at(hi), out, capacity);
}

double hy_polygon_area(const HySliceVertex* poly, int n)
{
    if (n < 3)
        return 0.0;
    // Shoelace about the first vertex keeps the terms small for polygons far from the origin.
    const double ox = poly[0].x, oy = poly[0].y;
    double s = 0.0;
    for (int k = 1; k + 1 < n; ++k)
        s += (poly[k].x - ox) * (poly[k + 1].y - oy) - (poly[k + 1].x - ox) * (poly[k].y - oy);
    return 0.5 * s;
}

void hy_widen_zenith_range_by_edges(const HyViewGeometry& v, int steps, double& lowest, double& highest)
{
    for (int e = 0; e < 4; ++e) {
        for (int k = 0; k <= steps; ++k) {
            const double t = double(k) / steps;
            double yr, xc;
            switch (e) {
            case 0: yr = v.rmin; xc = v.cmin + t * (v.cmax - v.cmin); break;
            case 1: yr = v.rmax; xc = v.cmin + t * (v.cmax - v.cmin); break;
            case 2: xc = v.cmin; yr = v.rmin + t * (v.rmax - v.rmin); break;
            default: xc = v.cmax; yr = v.rmin + t * (v.rmax - v.rmin); break;
            }
            double ray[6];
            v.plane_ray(yr, xc, ray);
            const double a = std::acos(std::clamp(ray[5], -1.0, 1.0));
            lowest = std::min(lowest, a);
            highest = std::max(highest, a);
        }
    }
}

// ---------------------------------------------------------------------------------------------------
// Slices

Slices::Slices(HyGrid* source_, HySurfaceOptics* optics_, const HyViewGeometry& view_, int side_)
    : source(source_), optics(optics_), side(side_ < 0 ? -1 : 1), view(view_)
{
    cell = optics->step > 0.0 ? optics->step : 1.0;
    heading = view.b;
    const double spacing = source && source->dx > 0.0 ? source->dx : cell;
    const double ratio = cell * 1.001 / spacing;
    sub_steps = ratio >= 1.0 && ratio < 1e6 ? int(ratio) : 1;
    if (source && source->curvature == 1 && source->curvature_radius > 0.0 && view.z > 0.0)
        horizon_dip = -1000.0 * std::sqrt(2.0 * view.z / source->curvature_radius);
    compute_row_range();
    compute_sides();
    // A ring at distance D with step s has 8 D / s points; beyond the fine region D / s stays below
    // twice the half band, within it D is the row itself.
    const int fine = optics->fine_cells;
    const int half = std::max(1, fine / 2);
    const int top = std::max(0, end_row);
    const int widest = fine >= 2 ? std::min(top, std::max(fine, 2 * half)) : top;
    n = 4 * std::max(1, widest) + 8;
}

Slices::~Slices()
{
    hymem::release(ridge1);
    hymem::release(ridge2);
    hymem::release(slice[0]);
    hymem::release(slice[1]);
    hymem::release(band);
    hymem::release(band_tmp);
}

int Slices::allocate()
{
    const std::size_t ridge_size = std::size_t(4) * std::size_t(n);
    const std::size_t slice_size = std::size_t(2) * std::size_t(n);
    ridge1 = hymem::allocate_array<HyRidgePoint>(ridge_size);
    if (!ridge1) {
        report("unable to allocate ridgeline array 1 ");
        return 0;
    }
    ridge2 = hymem::allocate_array<HyRidgePoint>(ridge_size);
    if (!ridge2) {
        report("unable to allocate ridgeline array 2 ");
        hymem::release(ridge1);
        ridge1 = nullptr;
        return 0;
    }
    slice[0] = hymem::allocate_array<HyRidgePoint>(slice_size);
    slice[1] = hymem::allocate_array<HyRidgePoint>(slice_size);
    band_capacity = 8 * n;
    band = hymem::allocate_array<HyRidgePoint>(std::size_t(band_capacity));
    band_tmp = hymem::allocate_array<HyRidgePoint>(std::size_t(band_capacity));
    if (!slice[0] || !slice[1] || !band || !band_tmp) {
        report("unable to allocate ridgeline array ");
        for (HyRidgePoint** p : {&ridge1, &ridge2, &slice[0], &slice[1], &band, &band_tmp}) {
            hymem::release(*p);
            *p = nullptr;
        }
        return 0;
    }
    band_count = 0;
    reset_ridgeline();
    return 1;
}

void Slices::reset_ridgeline()
{
    if (!ridge1)
        return;
    ridge1[0] = HyRidgePoint{kRidgeFar, -kRidgeFar, kHyEmptyId, kHyEmptyId, kHyEmptyId};
    ridge1[1] = HyRidgePoint{-kRidgeFar, -kRidgeFar, kHyEmptyId, kHyEmptyId, kHyEmptyId};
    ridge_count = 2;
}

namespace {

// Horizontal distance at which a ray descending `drop` metres per metre reaches `depth` metres below
// the eye, on a flat or curved (radius R > 0) surface; negative when it never does.
double reach_distance(double depth, double drop, double R)
{
    if (depth <= 0.0)
        return 0.0;
    if (drop <= 0.0)
        return -1.0;
    if (R <= 0.0)
        return depth / drop;
    // depth - drop * d = -d^2 / (2R): the surface falls away as it goes.
    const double disc = drop * drop - 2.0 * depth / R;
    if (disc < 0.0)
        return -1.0;
    return R * (drop - std::sqrt(disc));
}

int clamp_cell(double v)
{
    if (!(v == v))
        return 0;
    return int(std::clamp(v, -1073741824.0, 1073741824.0));
}

} // namespace

void Slices::compute_row_range()
{
    // 1. Is the water right under the eye in the picture?
    const double under = source ? source->get_height(view.x, view.y) : 0.0;
    near_visible = 0;
    for (int i = 0; i < 3 && !near_visible; ++i) {
        for (int j = 0; j < 3; ++j) {
            int r, c;
            if (view.project_point(view.x + (1 - i) * cell, view.y + (1 - j) * cell, under, r, c)) {
                near_visible = 1;
                break;
            }
        }
    }
    // 2. The eye's grid cell.
    cam_i = clamp_cell(std::trunc(view.x / cell));
    cam_j = clamp_cell(std::trunc(view.y / cell));
    // 3. Steepest and shallowest view rays, over the window's border.
    double lowest = kPiCode, highest = 0.0;
    hy_widen_zenith_range_by_edges(view, 32, lowest, highest);
    // 4. Row range.
    const double R = source && source->curvature == 1 ? source->curvature_radius : 0.0;
    double z = view.z;
    if (R > 0.0)
        z += (view.x * view.x + view.y * view.y) * 0.5 / R;
    const double hi = optics->highest, lo = optics->lowest;
    const int max_cells = std::max(1, optics->max_cells);
    last_row = optics->row_for_distance(double(max_cells - 1));
    if (last_row < 1)
        last_row = 1;

    first_row = 0;
    if (!near_visible) {
        double d = -1.0;
        if (z > hi && highest > 1.57079632675)
            d = (z - hi) * std::tan(kPiCode - highest);
        else if (z < lo && lowest < 1.57079632675)
            d = (lo - z) * std::tan(lowest);
        if (d > 0.0 && std::isfinite(d)) {
            const double cells = std::min(d / cell / 1.414, 1e9);
            first_row = std::max(0, optics->row_for_distance(cells) - 1);
        }
    }
    end_row = last_row + 1;
    double reach = -1.0;
    if (side > 0 && lowest > 1.57079632675)
        reach = reach_distance(z - lo, std::tan(lowest - 1.57079632675), R);
    else if (side < 0 && highest < 1.57079632675)
        reach = reach_distance(hi - z, std::tan(1.57079632675 - highest), 0.0);
    if (reach >= 0.0 && std::isfinite(reach)) {
        const double cells = std::min(reach / cell, 1e9);
        end_row = std::min(end_row, optics->row_for_distance(cells) + 1);
    }
    first_row = std::min(first_row, std::max(0, end_row - 1));
}

void Slices::compute_sides()
{
    full_walk_ = near_visible != 0;
    if (near_visible) {
        azimuth_first = -kPiCode;
        azimuth_last = kPiCode;
        first_side = 0;
        last_side = 3;
        return;
    }
    // World azimuths of the four corner rays, relative to their mean direction.
    const double ys[4] = {view.rmin, view.rmin, view.rmax, view.rmax};
    const double xs[4] = {view.cmin, view.cmax, view.cmin, view.cmax};
    double az[4], mx = 0.0, my = 0.0;
    for (int k = 0; k < 4; ++k) {
        double ray[6];
        view.plane_ray(ys[k], xs[k], ray);
        az[k] = std::atan2(ray[4], ray[3]);
        mx += std::cos(az[k]);
        my += std::sin(az[k]);
    }
    const double mean = (mx == 0.0 && my == 0.0) ? view.b : std::atan2(my, mx);
    double lo = 10.0, hi = -10.0;
    int sectors[4];
    for (int k = 0; k < 4; ++k) {
        double rel = az[k] - mean;
        while (rel > kPiCode)
            rel -= 2.0 * kPiCode;
        while (rel < -kPiCode)
            rel += 2.0 * kPiCode;
        lo = std::min(lo, rel);
        hi = std::max(hi, rel);
        sectors[k] = side_of_azimuth(wrap_azimuth(az[k]));
    }
    azimuth_first = wrap_azimuth(mean + lo);
    azimuth_last = wrap_azimuth(mean + hi);
    first_side = side_of_azimuth(azimuth_first);
    last_side = side_of_azimuth(azimuth_last);
    bool opposite = false;
    for (int p = 0; p < 4; ++p)
        for (int q = 0; q < 4; ++q)
            if ((sectors[p] - sectors[q] + 4) % 4 == 2)
                opposite = true;
    if (hi - lo > kPiCode && opposite && first_row == 0) {
        azimuth_first = -kQuarter;
        azimuth_last = 7.068583470375;
        first_side = 0;
        last_side = 3;
        full_walk_ = true;
        return;
    }
    if (last_side < first_side)
        last_side += 4;
}

void Slices::project(double i, double j, double h, double& x, double& y) const
{
    double e, a;
    const double p[3] = {cell * i, cell * j, h};
    view.direction_code(p, heading, e, a);
    x = a;
    y = e * side;
}

double Slices::height_at(std::int64_t i, std::int64_t j) const
{
    return source ? source->get_height(cell * double(i), cell * double(j)) : 0.0;
}

namespace {

// Grid point of a ring at distance D around (i0, j0): side k (0 east column walked north, 1 north row
// walked west, 2 west column walked south, 3 south row walked east), side coordinate v in [-D, D).
inline void ring_point(int k, std::int64_t v, std::int64_t D, std::int64_t i0, std::int64_t j0, std::int64_t& i,
                       std::int64_t& j)
{
    switch (((k % 4) + 4) % 4) {
    case 0: i = i0 + D; j = j0 + v; break;
    case 1: i = i0 - v; j = j0 + D; break;
    case 2: i = i0 - D; j = j0 - v; break;
    default: i = i0 + v; j = j0 - D; break;
    }
}

inline std::int64_t floor_to_int(double v, double limit)
{
    if (!(v == v))
        return 0;
    return std::int64_t(std::floor(std::clamp(v, -limit, limit)));
}

} // namespace

void Slices::build_ring(int parity, int D, int s, bool transition)
{
    HyRidgePoint* buf = slice[parity];
    const int cap = 2 * n;
    int count = 0;
    ring_d[parity] = D;
    ring_s[parity] = s;
    ring_full[parity] = full_walk_ ? 1 : 0;
    ring_start[parity] = 0;
    const std::int64_t i0 = cam_i, j0 = cam_j;
    const std::int64_t per_side = D > 0 ? 2 * std::int64_t(D) / s : 0;
    side_points = int(per_side);
    const std::uint32_t idmul = std::uint32_t(std::max(1, optics->max_cells));

    auto store = [&](std::int64_t i, std::int64_t j, double h) {
        HyRidgePoint& q = buf[count++];
        const bool inside = source && i >= 0 && i < source->nx && j >= 0 && j < source->ny;
        if (!use_all && !inside) {
            q = HyRidgePoint{kHyEmptyCoord, kHyEmptyCoord, kHyEmptyId, kHyEmptyId, kHyEmptyId};
            return;
        }
        project(double(i), double(j), h, q.x, q.y);
        q.id = std::int32_t(idmul * std::uint32_t(i) + std::uint32_t(j));
        q.col = std::int32_t(i);
        q.row = std::int32_t(j);
    };

    if (D <= 0) {
        store(i0, j0, height_at(i0, j0));
        slice_count[parity] = count;
        for (int k = count; k < cap; ++k)
            buf[k] = HyRidgePoint{kHyEmptyCoord, kHyEmptyCoord, kHyEmptyId, kHyEmptyId, kHyEmptyId};
        return;
    }

    int kf = first_side, kl = last_side;
    std::int64_t vs = -D, ve = D - s;
    if (!full_walk_) {
        const double limit = 4.0 * D + 16.0 * s;
        const double a = azimuth_first, b = azimuth_last;
        // Start: where the first limit crosses the ring, widened by 4 steps against the walk.
        std::int64_t v;
        switch (kf % 4) {
        case 0: v = floor_to_int(D * std::tan(a), limit) - 4 * s; break;
        case 1:
            v = float(a) == 3.1415927f ? -2 * s : -(floor_to_int(D / std::tan(a), limit) + 4 * s);
            break;
        case 2: v = -(floor_to_int(-D * std::tan(a), limit) + 4 * s); break;
        default:
            v = float(a) == 4.712389f ? -2 * s : floor_to_int(-D / std::tan(a), limit) - 4 * s;
            break;
        }
        std::int64_t dist = D - v;
        dist = (dist + s - 1 >= 0 ? (dist + s - 1) / s : 0) * s;
        dist = std::clamp<std::int64_t>(dist, 0, 2 * std::int64_t(D));
        vs = D - dist;
        // End: where the last limit crosses, widened by 4 steps along the walk.
        switch (kl % 4) {
        case 0: v = floor_to_int(D * std::tan(b), limit) + 4 * s; break;
        case 1:
            v = float(b) == 3.1415927f ? 2 * s : -(floor_to_int(D / std::tan(b), limit) - 4 * s);
            break;
        case 2: v = -(floor_to_int(-D * std::tan(b), limit) - 4 * s); break;
        default:
            v = float(b) == 4.712389f ? 2 * s : floor_to_int(-D / std::tan(b), limit) + 4 * s;
            break;
        }
        dist = v + D;
        dist = (dist + s - 1 >= 0 ? (dist + s - 1) / s : 0) * s;
        dist = std::clamp<std::int64_t>(dist, 0, 2 * std::int64_t(D));
        ve = -D + dist;
        if (kf == kl && ve < vs) {
            slice_count[parity] = 0;
            for (int k = 0; k < cap; ++k)
                buf[k] = HyRidgePoint{kHyEmptyCoord, kHyEmptyCoord, kHyEmptyId, kHyEmptyId, kHyEmptyId};
            return;
        }
    }
    ring_start[parity] = int((vs + D) / s);

    bool ended = false;
    for (int k = kf; k <= kl && !ended; ++k) {
        const std::int64_t from = k == kf ? vs : -D;
        const std::int64_t to = k == kl ? ve : D - s;
        for (std::int64_t v = from; v <= to; v += s) {
            if (count >= cap - 2) {
                ended = true;
                break;
            }
            std::int64_t i, j;
            ring_point(k, v, D, i0, j0, i, j);
            // Perimeter index from the ring's first side; odd ones sit half way between the points
            // of the next, twice as coarse ring.
            const std::int64_t P = std::int64_t(k - kf) * per_side + (v + D) / s;
            double h;
            if (transition && (P & 1)) {
                std::int64_t ia, ja, ib, jb;
                ring_point(k, v - s, D, i0, j0, ia, ja);
                ring_point(k, v + s, D, i0, j0, ib, jb);
                h = 0.5 * (height_at(ia, ja) + height_at(ib, jb));
            } else {
                h = height_at(i, j);
            }
            store(i, j, h);
        }
    }
    if (!ended && full_walk_ && count > 0 && count < cap)
        buf[count++] = buf[0];
    slice_count[parity] = count;
    for (int k = count; k < cap; ++k)
        buf[k] = HyRidgePoint{kHyEmptyCoord, kHyEmptyCoord, kHyEmptyId, kHyEmptyId, kHyEmptyId};
}

void Slices::build_row(int row)
{
    int D, s, Dm, sm, Dp, sp;
    double blend;
    optics->row_distance(row, D, s, blend);
    optics->row_distance(row + 1, Dp, sp, blend);
    if (source)
        source->difference_step = std::max(1, sub_steps * s);
    if (row > first_row) {
        optics->row_distance(row - 1, Dm, sm, blend);
        if (s != sm)
            build_ring((row - 1) & 1, D - s, s, false);
    }
    build_ring(row & 1, D, s, sp != s);
}

int Slices::ring_index(int parity, int k, int v) const
{
    const int D = ring_d[parity];
    const int count = slice_count[parity];
    if (count <= 0)
        return -1;
    if (D <= 0)
        return 0;
    const int s = ring_s[parity];
    const std::int64_t per_side = 2 * std::int64_t(D) / s;
    std::int64_t P = std::int64_t(k - first_side) * per_side + (std::int64_t(v) + D) / s;
    if (ring_full[parity]) {
        const std::int64_t ring = 4 * per_side;
        P %= ring;
        if (P < 0)
            P += ring;
        return P < count ? int(P) : -1;
    }
    P -= ring_start[parity];
    if (P < 0 || P >= count)
        return -1;
    return int(P);
}

int Slices::get_ridge_point(double x, int hint) const
{
    const HyRidgePoint* R = ridge1;
    const int count = ridge_count;
    if (!R || count <= 0)
        return 0;
    int i = std::clamp(hint, 0, count - 1);
    if (x > R[i].x) {
        while (i >= 0 && x > R[i].x)
            --i;
        if (i < 0) {
            report("Slices::get_ridge_point opps! missed the ridgeline!!");
            return 0;
        }
        return i;
    }
    while (i + 1 < count && R[i + 1].x >= x)
        ++i;
    if (i + 1 >= count) {
        report("Slices::get_ridge_point opps! missed the ridgeline!!");
        return count - 1;
    }
    return i;
}

int Slices::clip_triangle(const HySliceVertex tri[3])
{
    visible_count_ = 0;
    visible_in_image_ = false;
    const double xmin = std::min({tri[0].x, tri[1].x, tri[2].x});
    const double xmax = std::max({tri[0].x, tri[1].x, tri[2].x});
    const double ymin = std::min({tri[0].y, tri[1].y, tri[2].y});
    const double ymax = std::max({tri[0].y, tri[1].y, tri[2].y});
    const HyRidgePoint* R = ridge1;
    auto whole = [&]() {
        for (int k = 0; k < 3; ++k)
            visible_[k] = tri[k];
        visible_count_ = 3;
        return 1;
    };
    // Clips `region` by the triangle `t` (in the same coordinates) and keeps what is left as the visible
    // part; a triangle left whole is kept as itself.
    auto keep_clipped = [&](const HySliceVertex* region, int c, const HySliceVertex t[3], bool in_image) {
        const double area = triangle_area(t);
        if (area == 0.0 || !(area == area))
            return 0;
        const double sign = area > 0.0 ? 1.0 : -1.0;
        constexpr int kCap = 4 * HY_MAX_POINTS;
        const HySliceVertex* src = region;
        HySliceVertex* dst = scratch_a_;
        for (int e = 0; e < 3 && c > 0; ++e) {
            const HySliceVertex& p0 = t[e];
            const HySliceVertex& p1 = t[(e + 1) % 3];
            c = hy_clip_half_plane(src, c, p0.x, p0.y, p1.x, p1.y, sign, dst, kCap);
            if (c < 0) {
                std::fprintf(stderr, "nRidgePoly > HY_MAX_POINTS %d\n", kCap);
                std::fflush(stderr);
                return 0;
            }
            src = dst;
            dst = dst == scratch_a_ ? scratch_b_ : scratch_a_;
        }
        if (c < 3)
            return 0;
        const double kept = std::fabs(hy_polygon_area(src, c));
        if (kept == 0.0)
            return 0;
        // Nothing was cut away: keep the triangle itself, so that no vertex lies inside one of its edges
        // (such a vertex would leave the edge once mapped through the lens).
        if (std::fabs(kept - std::fabs(area)) <= 1e-12 * std::fabs(area))
            return whole();
        if (c > HY_MAX_POINTS) {
            std::fprintf(stderr, "nRidgePoly > HY_MAX_POINTS %d\n", c);
            std::fflush(stderr);
            return 0;
        }
        for (int k = 0; k < c; ++k)
            visible_[k] = src[k];
        visible_count_ = c;
        visible_in_image_ = in_image;
        return 1;
    };
    if (ridge_count < 2 || xmax < R[ridge_count - 1].x || xmin > R[0].x)
        return whole();
    const int i1 = get_ridge_point(xmax, 0);
    const int i2 = get_ridge_point(xmin, i1);
    const int lo = i1;
    const int hi = std::min(std::max(i2 + 1, lo + 1), ridge_count - 1);
    // The line to cut against: the ridgeline over the triangle, raised by what the band has drawn there
    // so far (nearer on the same lines of sight: the band is drawn outward from the eye's foot).
    const HyRidgePoint* L = R + lo;
    int nl = hi - lo + 1;
    const int nb = band_part(xmin, xmax, part_, kLocalCap);
    if (nb < 0 || (nb > 0 && (nl = hy_upper_envelope(R + lo, nl, part_, nb, local_, kLocalCap)) < 0)) {
        std::fprintf(stderr, "nRidgePoly > HY_MAX_POINTS %d\n", kLocalCap);
        std::fflush(stderr);
        return 0;
    }
    if (nb > 0)
        L = local_;
    const int size = nl + 2;
    if (size >= HY_MAX_POINTS) {
        std::fprintf(stderr, "nRidgePoly > HY_MAX_POINTS %d\n", size);
        std::fflush(stderr);
        return 0;
    }
    int below = 0;
    double top = ymax, ridge_top = -std::numeric_limits<double>::infinity();
    int m = 0;
    for (int k = 0; k < nl; ++k) {
        region_[m++] = vertex_of(L[k]);
        if (L[k].y < ymax)
            ++below;
        top = std::max(top, L[k].y);
        ridge_top = std::max(ridge_top, L[k].y);
    }
    if (below == 0)
        return 0;
    // The ridgeline over the triangle lies below its lowest corner: nothing to cut.
    if (ridge_top <= ymin)
        return whole();
    // The ridgeline's own ends (x at +-1e8) and the fresh depth (-1e8) are no geometry: they are moved
    // next to the triangle so that the numbers stay small. Real ridgeline vertices keep their exact
    // places (their straight connections are the edges drawn before).
    const double margin = 1.0 + 0.25 * (xmax - xmin + ymax - ymin);
    {
        constexpr double kFake = 1e7;
        if (m > 1 && region_[0].x > kFake) {
            const HySliceVertex& a = region_[0];
            const HySliceVertex& b = region_[1];
            const double xr = std::max(xmax + margin, b.x);
            if (a.x > b.x)
                region_[0].y = a.y + (xr - a.x) * (b.y - a.y) / (b.x - a.x);
            region_[0].x = xr;
        }
        if (m > 1 && region_[m - 1].x < -kFake) {
            const HySliceVertex& a = region_[m - 2];
            const HySliceVertex& b = region_[m - 1];
            const double xl = std::min(xmin - margin, a.x);
            if (a.x > b.x)
                region_[m - 1].y = a.y + (xl - a.x) * (b.y - a.y) / (b.x - a.x);
            region_[m - 1].x = xl;
        }
        // Not below straight down (1000), where the lens mapping would fold the region over, and not
        // far to the side: a long edge would bend across the triangle once mapped.
        const double depth = std::max(ymin - margin, 0.5 * (ymin - 1000.0));
        for (int k = 0; k < m; ++k)
            if (region_[k].y < -kFake) {
                region_[k].y = depth;
                region_[k].x = std::clamp(region_[k].x, xmin - margin, xmax + margin);
            }
    }
    // The closing corners stay well clear of the triangle, also once bent by the lens mapping, but close
    // to it in azimuth: near the nadir a wide closing edge would sag into the triangle in the picture.
    const double left = xmin - margin, right = xmax + margin;
    region_[m++] = HySliceVertex{left, top + margin, kHyEmptyId, kHyEmptyId, kHyEmptyId, nullptr, nullptr, nullptr};
    region_[m++] = HySliceVertex{right, top + margin, kHyEmptyId, kHyEmptyId, kHyEmptyId, nullptr, nullptr, nullptr};

    // The region above the ridgeline is not convex, the triangle is: clip the region by the triangle.
    // Where the lens mapping can take them, both go to the picture first: the ridgeline's vertices are
    // grid points whose straight connections in the picture are the edges already drawn, so the cut
    // then meets those edges exactly (straight lines in angular codes bend in the picture).
    visible_in_image_ = false;
    if (lens_map && clip_in_image) {
        HySliceVertex t_img[3] = {tri[0], tri[1], tri[2]};
        bool ok = map_polygon(t_img, 3) != 0;
        for (int k = 0; k < m && ok; ++k) {
            region_img_[k] = region_[k];
            ok = map_polygon(&region_img_[k], 1) != 0;
            // A point the envelope made goes where the images of its two segments meet.
            if (ok && k < nl && L[k].made && region_[k].x == L[k].x && region_[k].y == L[k].y) {
                HySliceVertex e[4];
                bool seg_ok = true;
                for (int q = 0; q < 4 && seg_ok; ++q) {
                    e[q] = HySliceVertex{L[k].seg[2 * q], L[k].seg[2 * q + 1], 0, 0, 0, nullptr, nullptr, nullptr};
                    seg_ok = map_polygon(&e[q], 1) != 0;
                }
                if (seg_ok) {
                    const double d1x = e[1].x - e[0].x, d1y = e[1].y - e[0].y;
                    const double d2x = e[3].x - e[2].x, d2y = e[3].y - e[2].y;
                    const double den = d1x * d2y - d1y * d2x;
                    const double scale = std::fabs(d1x) + std::fabs(d1y) + std::fabs(d2x) + std::fabs(d2y);
                    if (std::fabs(den) > 1e-9 * scale * scale) {
                        const double t = ((e[2].x - e[0].x) * d2y - (e[2].y - e[0].y) * d2x) / den;
                        const double u = ((e[2].x - e[0].x) * d1y - (e[2].y - e[0].y) * d1x) / den;
                        const double nx = e[0].x + t * d1x, ny = e[0].y + t * d1y;
                        // The meeting point is trusted where it lies on both edges (the second is a whole
                        // line when it stands for the vertical through a point read inside a segment):
                        // near the eye the angular codes bend the picture by more than a pixel.
                        const bool vertical = L[k].seg[4] == L[k].seg[6];
                        constexpr double kSlack = 1e-6;
                        if (t >= -kSlack && t <= 1.0 + kSlack && (vertical || (u >= -kSlack && u <= 1.0 + kSlack))) {
                            region_img_[k].x = nx;
                            region_img_[k].y = ny;
                        }
                    }
                }
            }
        }
        if (ok)
            return keep_clipped(region_img_, m, t_img, true);
        // Something lies behind the eye: cut in angular codes instead.
    }
    return keep_clipped(region_, m, tri, false);
}

void Slices::merge_outline(const HyRidgePoint* outline, int count)
{
    // Leave out empty entries at the end (points outside the grid when not every point is used).
    while (count > 0 && outline[count - 1].id == kHyEmptyId)
        --count;
    if (count < 1)
        return;
    if (count > 4 * n - 1) {
        report("ridge array too small ");
        std::printf("Array Error\n");
        std::fflush(stdout);
        return;
    }
    const HyRidgePoint* R = ridge1;
    if (outline[0].x < R[ridge_count - 1].x || R[0].x < outline[count - 1].x) {
        ridge1[0] = HyRidgePoint{kRidgeFar, 0.0, kHyEmptyId, kHyEmptyId, kHyEmptyId};
        ridge1[1] = HyRidgePoint{-kRidgeFar, 0.0, kHyEmptyId, kHyEmptyId, kHyEmptyId};
        ridge_count = 2;
        return;
    }
    const int merged = hy_ridge_envelope(ridge1, ridge_count, outline, count, ridge2, 4 * n);
    if (merged < 2) {
        report("ridge array too small ");
        std::printf("Array Error\n");
        std::fflush(stdout);
        return;
    }
    std::swap(ridge1, ridge2);
    ridge_count = merged;
}

void Slices::add_to_band(const HySliceVertex tri[3])
{
    // The triangle's upper edges in decreasing x: from its right to its left corner, through the middle
    // corner when that stands above the bottom edge between them.
    HyRidgePoint c[3];
    const double sx = band_mirror ? -1.0 : 1.0;
    for (int k = 0; k < 3; ++k)
        c[k] = HyRidgePoint{sx * tri[k].x, tri[k].y, tri[k].id, tri[k].col, tri[k].row};
    if (c[0].x < c[1].x)
        std::swap(c[0], c[1]);
    if (c[1].x < c[2].x)
        std::swap(c[1], c[2]);
    if (c[0].x < c[1].x)
        std::swap(c[0], c[1]);
    int m = 3;
    const double dx = c[2].x - c[0].x;
    if (dx != 0.0 && c[1].y <= c[0].y + (c[1].x - c[0].x) * (c[2].y - c[0].y) / dx) {
        c[1] = c[2];
        m = 2;
    }
    if (!(c[0].x == c[0].x) || !(c[m - 1].y == c[m - 1].y))
        return;
    // Disjoint from the band outline so far (a triangle left out between): the outline must not bridge
    // the gap, so it goes to the ridgeline first.
    if (band_count > 0 && (c[m - 1].x > band[0].x || c[0].x < band[band_count - 1].x))
        flush_band();
    if (band_count == 0) {
        for (int k = 0; k < m; ++k)
            band[k] = c[k];
        band_count = m;
        return;
    }
    // Triangles come by decreasing x: only the outline's tail from its last point right of the triangle
    // is merged again (strictly right, so that the segment arriving at the triangle takes part).
    int from = band_count - 1;
    while (from > 0 && band[from].x <= c[0].x)
        --from;
    const int merged = hy_upper_envelope(band + from, band_count - from, c, m, band_tmp, band_capacity - from);
    if (merged < 0) {
        // No room left: the band so far goes to the ridgeline, the triangle starts a new band outline.
        flush_band();
        for (int k = 0; k < m; ++k)
            band[k] = c[k];
        band_count = m;
        return;
    }
    std::copy(band_tmp, band_tmp + merged, band + from);
    band_count = from + merged;
}

void Slices::flush_band()
{
    if (band_mirror) {
        std::reverse(band, band + band_count);
        for (int k = 0; k < band_count; ++k)
            mirror_x(band[k]);
    }
    if (band_count > 0)
        merge_outline(band, band_count);
    band_count = 0;
}

int Slices::band_part(double xmin, double xmax, HyRidgePoint* out, int capacity) const
{
    if (band_count == 0)
        return 0;
    // The range in the stored coordinates; the triangle lies near the outline's tail.
    const double a = band_mirror ? -xmax : xmin, b = band_mirror ? -xmin : xmax;
    const HyRidgePoint* B = band;
    if (B[0].x < a || B[band_count - 1].x > b)
        return 0;
    int last = band_count - 1;
    while (last > 0 && B[last - 1].x <= a)
        --last;
    int first = last;
    while (first > 0 && B[first].x < b)
        --first;
    const int count = last - first + 1;
    if (count > capacity)
        return -1;
    for (int k = 0; k < count; ++k) {
        if (band_mirror) {
            out[k] = B[last - k];
            mirror_x(out[k]);
        } else {
            out[k] = B[first + k];
        }
    }
    return count;
}

int Slices::map_polygon(HySliceVertex* poly, int count)
{
    for (int k = 0; k < count; ++k) {
        poly[k].y *= side;
        if (lens_map) {
            double r, c;
            if (!view.project_direction_code(poly[k].y, poly[k].x, heading, r, c))
                return 0;
            poly[k].x = c;
            poly[k].y = r;
        }
    }
    for (int k = 0; k < count; ++k) {
        poly[k].next = &poly[(k + 1) % count];
        poly[k].prev = &poly[(k + count - 1) % count];
        poly[k].first = &poly[0];
    }
    return 1;
}

void Slices::draw_cell_triangle(const HyRidgePoint* a, const HyRidgePoint* b, const HyRidgePoint* c,
                                bool first_band, bool far)
{
    HySliceVertex tri[3] = {vertex_of(*a), vertex_of(*b), vertex_of(*c)};
    if (full_walk_) {
        // Keep a triangle that straddles the azimuth seam behind the eye on one side of it.
        if (tri[0].x > kSeamLimit) {
            for (int k = 1; k < 3; ++k)
                if (tri[k].x < -kSeamLimit)
                    tri[k].x += kSeamShift;
        } else if (tri[0].x < -kSeamLimit) {
            for (int k = 1; k < 3; ++k)
                if (tri[k].x > kSeamLimit)
                    tri[k].x -= kSeamShift;
        }
    }
    if (triangle_area(tri) <= 0.0 && !first_band)
        return;
    if (!clip_triangle(tri))
        return;
    if (collect_band)
        add_to_band(tri);
    for (int k = 0; k < 3; ++k)
        tri_[k] = tri[k];
    if ((!visible_in_image_ && !map_polygon(visible_, visible_count_)) || !map_polygon(tri_, 3))
        return;
    ++triangles_drawn;
    if (far)
        optics->draw_far_polygon(info_, visible_, visible_count_, tri_, pixel_size_, side);
    else
        optics->draw_triangle(info_, visible_, visible_count_, tri_, pixel_size_, side);
}

namespace {

inline bool usable(const HyRidgePoint* p) { return p && p->id != kHyEmptyId; }

// Which of a cell's two triangles can be drawn: 1 both, 2 only the second, 3 only the first, 6 none.
inline int cell_code(bool first_ok, bool second_ok)
{
    if (first_ok && second_ok)
        return 1;
    if (!first_ok && second_ok)
        return 2;
    if (first_ok)
        return 3;
    return 6;
}

} // namespace

void Slices::draw_band(int inner, int outer, bool first_band)
{
    const int D = ring_d[outer];
    const int s = ring_s[outer];
    const int D1 = ring_d[inner];
    const HyRidgePoint* A = slice[inner];
    const HyRidgePoint* B = slice[outer];
    auto in_pt = [&](int k, int v) -> const HyRidgePoint* {
        const int idx = ring_index(inner, k, v);
        return idx >= 0 ? &A[idx] : nullptr;
    };
    auto out_pt = [&](int k, int v) -> const HyRidgePoint* {
        const int idx = ring_index(outer, k, v);
        return idx >= 0 ? &B[idx] : nullptr;
    };
    const double eye_i = view.x / cell, eye_j = view.y / cell;
    // A cell's two triangles (p, q, r) and (p, r, t) share the diagonal p -> r. A line of sight crosses
    // the diagonal toward the side its direction turns to from the diagonal's: the triangle on the other
    // side is met first and is drawn first.
    auto two_triangles = [&](const HyRidgePoint* p, const HyRidgePoint* q, const HyRidgePoint* r,
                             const HyRidgePoint* t) {
        const int code = cell_code(usable(p) && usable(q) && usable(r), usable(p) && usable(r) && usable(t));
        bool q_first = true;
        if (usable(p) && usable(q) && usable(r)) {
            const double dx = r->col - p->col, dy = r->row - p->row;
            const double turn = dx * (p->row - eye_j) - dy * (p->col - eye_i);
            const double q_side = dx * (q->row - p->row) - dy * (q->col - p->col);
            q_first = !((turn > 0.0) == (q_side > 0.0));
        }
        if (q_first && code % 2 == 1)
            draw_cell_triangle(p, q, r, first_band, false);
        if (code % 3 != 0)
            draw_cell_triangle(p, r, t, first_band, false);
        if (!q_first && code % 2 == 1)
            draw_cell_triangle(p, q, r, first_band, false);
    };
    // Cell at side coordinate v: inner (k, v), (k, v + s) under outer (k, v), (k, v + s).
    auto side_cell = [&](int k, int v) {
        const HyRidgePoint* a0 = in_pt(k, v);
        two_triangles(a0, out_pt(k, v), out_pt(k, v + s), in_pt(k, v + s));
    };
    if (D1 != D - s || D <= 0)
        return;
    // The eye's place along each side, in cells from the ring's centre (sides count counter-clockwise
    // from the east column).
    const double ex = eye_i - cam_i, ey = eye_j - cam_j;
    for (int k = first_side; k <= last_side && D1 > 0; ++k) {
        // Lines of sight cross a side's cells moving away from the eye's foot on that side: its cells are
        // drawn from the foot outward, first along the walk, then back against it.
        const double foot = (k & 3) == 0 ? ey : (k & 3) == 1 ? -ex : (k & 3) == 2 ? -ey : ex;
        const int v0 = int(std::clamp(std::floor(foot / s), double(-D1 / s), double(D1 / s - 1))) * s;
        band_mirror = false;
        for (int v = v0; v < D1; v += s)
            side_cell(k, v);
        flush_band();
        band_mirror = true;
        for (int v = v0 - s; v >= -D1; v -= s)
            side_cell(k, v);
        flush_band();
        band_mirror = false;
    }
    // The corner cells, one inner point under three outer ones, lie farthest out.
    for (int k = first_side; k <= last_side; ++k) {
        two_triangles(in_pt(k, D1), out_pt(k, D1), out_pt(k, D), out_pt(k + 1, -D1));
    }
}

void Slices::closing_pass()
{
    const int last = rows_walked & 1;
    const int other = 1 - last;
    const int count = slice_count[last];
    HyRidgePoint* H = slice[other];
    const HyRidgePoint* S = slice[last];
    for (int k = 0; k < count; ++k) {
        H[k] = S[k];
        if (S[k].id == kHyEmptyId)
            continue;
        H[k].y = side * horizon_dip;
        H[k].id = S[k].id + 1000;
        H[k].col = S[k].col + 1000;
        H[k].row = S[k].row + 1000;
    }
    slice_count[other] = count;
    for (int k = 0; k + 1 < count; ++k) {
        const HyRidgePoint* a0 = &S[k];
        const HyRidgePoint* a1 = &S[k + 1];
        const HyRidgePoint* b0 = &H[k];
        const HyRidgePoint* b1 = &H[k + 1];
        const int code = cell_code(usable(a0) && usable(b0) && usable(b1), usable(a0) && usable(b1) && usable(a1));
        if (code % 2 == 1)
            draw_cell_triangle(a0, b0, b1, false, true);
        if (code % 3 != 0)
            draw_cell_triangle(a0, b1, a1, false, true);
    }
}

void Slices::run(const HyViewGeometry& view_, HyPixelBuffer* buffer, double pixel_size)
{
    view = view_;
    info_.width = view.columns;
    info_.height = view.rows;
    info_.buffer = buffer;
    info_.view = &view;
    pixel_size_ = pixel_size;
    stopped = false;
    triangles_drawn = 0;
    if (!ridge1 || !slice[0] || !slice[1])
        return;
    // The first ring, built as its outer neighbour needs it.
    {
        int D, s, Dp, sp;
        double blend;
        optics->row_distance(first_row, D, s, blend);
        optics->row_distance(first_row + 1, Dp, sp, blend);
        if (source)
            source->difference_step = std::max(1, sub_steps * s);
        build_ring(first_row & 1, D, s, sp != s);
    }
    reset_ridgeline();
    rows_walked = first_row;
    for (int r = first_row + 1; r < end_row; ++r) {
        if (!optics->report_progress(double(r) / double(end_row))) {
            stopped = true;
            break;
        }
        build_row(r);
        // The band around the eye's own cell fans out from its corner: in angular codes its triangles
        // wrap round the nadir and would stand for nothing, so the ridgeline starts with the next band.
        collect_band = !(r == 1 && first_row == 0);
        band_count = 0;
        draw_band((r - 1) & 1, r & 1, r == first_row + 1);
        flush_band();
        rows_walked = r;
    }
    collect_band = false; // nothing lies beyond the band to the horizon
    if (optics->to_horizon && !stopped && side == 1 && rows_walked >= last_row)
        closing_pass();
}
