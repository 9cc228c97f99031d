#include "optics/HySurfaceOptics.h"

#include "ocean/HyGrid.h"
#include "platform/HyThreadPool.h"
#include "render/HyCamera.h"
#include "render/HyPixelBuffer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kHalfPi = 1.57079632675;
constexpr int kMaxCells = 1 << 28;

int cells_of(double distance, double step)
{
    const double v = distance / step;
    if (!(v > 0.0))
        return 0;
    return int(std::min(v, double(kMaxCells)));
}

// All three corners on the far side of one image edge.
bool beside_image(const HyImageInfo& info, const HySliceVertex t[3])
{
    const double W = info.width, H = info.height;
    return (t[0].x < 0 && t[1].x < 0 && t[2].x < 0) || (t[0].x > W && t[1].x > W && t[2].x > W) ||
           (t[0].y < 0 && t[1].y < 0 && t[2].y < 0) || (t[0].y > H && t[1].y > H && t[2].y > H);
}

} // namespace

HySurfaceOptics::HySurfaceOptics(const HySurfaceOpticsParams& params)
{
    step = params.base_step > 0.0 && std::isfinite(params.base_step) ? params.base_step : 1.0;
    inv_step = 1.0 / step;
    max_cells = std::max(1, cells_of(params.max_distance, step));
    fine_cells = std::min(cells_of(params.double_distance, step), max_cells);
    to_horizon = params.to_horizon;
    source = params.height_source;
}

HySurfaceOptics::~HySurfaceOptics() = default;

void HySurfaceOptics::shade_point(const double*, const double*, const HySurfaceView&, double, int, double colour[3])
{
    colour[0] = colour[1] = colour[2] = 1.0;
}

double HySurfaceOptics::surface_height(double x, double y) const { return source ? source->get_height(x, y) : 0.0; }

int HySurfaceOptics::report_progress(double) { return 1; }

void HySurfaceOptics::row_distance(int row, int& distance, int& row_step, double& blend) const
{
    const int N = fine_cells;
    const int half = N / 2;
    if (row <= N || half == 0) {
        distance = std::max(0, row);
        row_step = 1;
        blend = 0.0;
        return;
    }
    const int k = row - N - 1;
    const int q = std::min(k / half, 27);
    const int m = k % half;
    row_step = 1 << (q + 1);
    const long long d = (long long)(m + 1 + half) * row_step;
    distance = int(std::min<long long>(d, 1LL << 30));
    blend = double(m) / double(half);
}

int HySurfaceOptics::row_for_distance(double distance) const
{
    const int N = fine_cells;
    const int half = N / 2;
    if (half < 1)
        return int(std::clamp(distance, 0.0, double(kMaxCells)));
    if (distance < N)
        return distance < 0.0 ? 0 : int(std::floor(distance)) + 1;
    // Band q holds distances (m + 1 + half) * 2^(q+1), m = 0 .. half - 1.
    for (int q = 0; q < 28; ++q) {
        const double s = double(1 << (q + 1));
        if (2.0 * half * s > distance) {
            const double need = std::floor(distance / s - 1.0 - half) + 1.0;
            const int m = int(std::clamp(need, 0.0, double(half - 1)));
            return N + 1 + q * half + m;
        }
    }
    return N + 1 + 28 * half;
}

double HySurfaceOptics::horizon_dip(const double position[3], double azimuth) const
{
    if (!source || source->curvature != 1 || !(source->curvature_radius > 0.0))
        return 0.0;
    const double R = source->curvature_radius;
    const double d = std::sin(azimuth) * position[1] + std::cos(azimuth) * position[0];
    const double h = R + position[2];
    const double under = h * h - R * R;
    if (!(under >= 0.0) || h == 0.0)
        return 0.0;
    const double arg = (std::fabs(d) - std::sqrt(under)) / (d * d / h + h);
    return std::acos(std::clamp(arg, -1.0, 1.0)) - kHalfPi;
}

int HySurfaceOptics::grid_position(const double p[2], const HySliceVertex t[3], double& gx, double& gy) const
{
    const double x0 = t[0].x, y0 = t[0].y;
    const double e1x = t[1].x - x0, e1y = t[1].y - y0;
    const double e2x = t[2].x - x0, e2y = t[2].y - y0;
    const double det = e1x * e2y - e2x * e1y;
    if (det == 0.0 || !std::isfinite(det))
        return 0;
    const double px = p[0] - x0, py = p[1] - y0;
    const double w1 = (px * e2y - e2x * py) / det;
    const double w2 = (e1x * py - px * e1y) / det;
    const double w0 = 1.0 - w1 - w2;
    gx = w0 * t[0].col + w1 * t[1].col + w2 * t[2].col;
    gy = w0 * t[0].row + w1 * t[1].row + w2 * t[2].row;
    return 1;
}

int HySurfaceOptics::pixel_point(const HySliceVertex* piece, int count, const HySliceVertex triangle[3],
                                 const HyViewGeometry& view, double& depth, double& x, double& y, double& z,
                                 double normal[3])
{
    if (count < 1)
        return 0;
    double p[2] = {0.0, 0.0};
    for (int k = 0; k < count; ++k) {
        p[0] += piece[k].x;
        p[1] += piece[k].y;
    }
    p[0] /= count;
    p[1] /= count;
    double gx, gy;
    if (!grid_position(p, triangle, gx, gy))
        return 0;
    x = step * gx;
    y = step * gy;
    z = surface_height(x, y);
    const double dx = x - view.x, dy = y - view.y, dz = z - view.z;
    depth = double(float(dx * dx + dy * dy + dz * dz));
    double sx = 0.0, sy = 0.0;
    if (source)
        source->get_slope_at(x, y, sx, sy);
    const double norm = std::sqrt(sx * sx + sy * sy + 1.0);
    if (!(norm > 0.0) || !std::isfinite(norm)) {
        normal[0] = 0.0;
        normal[1] = 0.0;
        normal[2] = 1.0;
    } else {
        normal[0] = -sx / norm;
        normal[1] = -sy / norm;
        normal[2] = 1.0 / norm;
    }
    return 1;
}

// The walk's visible polygons waiting for their pixel work. They are drawn in bands of picture rows:
// each band lists the polygons that reach it in the order they came, so a pixel gathers its pieces in
// that order whichever thread draws the band.
struct HySurfaceOptics::PixelQueue {
    static constexpr int kBandRows = 4;
    static constexpr int kPolygons = 4096;
    static constexpr int kVertices = 16 * kPolygons;
    static constexpr int kEntries = 1 << 16;
    // Pixels (by bounding box) queued before they are drawn: enough to keep every thread busy, little
    // enough that a stop request between rings is answered within a few milliseconds.
    static constexpr std::int64_t kPixelBudget = std::int64_t(1) << 16;
    struct Polygon {
        std::int32_t first; // into vertices
        std::int32_t count;
        std::int32_t far;
        HySliceVertex triangle[3];
    };
    Polygon* polygons = nullptr;
    HySliceVertex* vertices = nullptr;
    std::int32_t* row_first = nullptr; // picture rows each polygon can touch
    std::int32_t* row_last = nullptr;
    std::int32_t* entries = nullptr;    // polygon indices grouped by band
    std::int32_t* band_start = nullptr; // bands + 1 offsets into entries
    int bands = 0;
    int polygon_count = 0;
    int vertex_count = 0;
    int entry_count = 0;
    std::int64_t pixels = 0;
    int difference_step = 1; // the height source's slope step the queued polygons were handed over with
    HyImageInfo info;

    bool allocate(int height)
    {
        bands = (std::max(height, 1) + kBandRows - 1) / kBandRows;
        polygons = hymem::allocate_array<Polygon>(kPolygons);
        vertices = hymem::allocate_array<HySliceVertex>(kVertices);
        row_first = hymem::allocate_array<std::int32_t>(kPolygons);
        row_last = hymem::allocate_array<std::int32_t>(kPolygons);
        entries = hymem::allocate_array<std::int32_t>(kEntries);
        band_start = hymem::allocate_array<std::int32_t>(std::size_t(bands) + 1);
        return polygons && vertices && row_first && row_last && entries && band_start;
    }
    void release()
    {
        hymem::release(polygons);
        hymem::release(vertices);
        hymem::release(row_first);
        hymem::release(row_last);
        hymem::release(entries);
        hymem::release(band_start);
    }
};

namespace {

// Rows of picture a visible polygon can touch and its bounding box's width; false when it draws
// nothing.
bool polygon_rows(const HyImageInfo& info, const HySliceVertex* visible, int count, const HySliceVertex triangle[3],
                  int& first, int& last, double* width = nullptr)
{
    if (count < 3 || !info.buffer || !info.view || info.width <= 0 || info.height <= 0)
        return false;
    // A triangle wholly beside the image draws nothing, whatever its visible part.
    if (beside_image(info, triangle))
        return false;
    double xmin = visible[0].x, xmax = xmin, ymin = visible[0].y, ymax = ymin;
    for (int k = 1; k < count; ++k) {
        xmin = std::min(xmin, visible[k].x);
        xmax = std::max(xmax, visible[k].x);
        ymin = std::min(ymin, visible[k].y);
        ymax = std::max(ymax, visible[k].y);
    }
    if (!(xmax >= 0.0) || !(ymax >= 0.0) || !(xmin <= info.width) || !(ymin <= info.height))
        return false;
    first = int(std::clamp(ymin, 0.0, double(info.height - 1)));
    last = int(std::clamp(ymax, 0.0, double(info.height - 1)));
    if (width)
        *width = std::clamp(xmax, 0.0, double(info.width)) - std::clamp(xmin, 0.0, double(info.width)) + 1.0;
    return true;
}

} // namespace

void HySurfaceOptics::draw_triangle(const HyImageInfo& info, const HySliceVertex* visible, int count,
                                    const HySliceVertex triangle[3], double, int)
{
    draw_or_queue(info, visible, count, triangle, false);
}

void HySurfaceOptics::draw_far_polygon(const HyImageInfo& info, const HySliceVertex* visible, int count,
                                       const HySliceVertex triangle[3], double, int)
{
    draw_or_queue(info, visible, count, triangle, true);
}

void HySurfaceOptics::draw_or_queue(const HyImageInfo& info, const HySliceVertex* visible, int count,
                                    const HySliceVertex triangle[3], bool far)
{
    PixelQueue* q = queue_;
    int first = 0, last = 0;
    double width = 0.0;
    if (!polygon_rows(info, visible, count, triangle, first, last, &width))
        return;
    if (q == nullptr || info.height > q->bands * PixelQueue::kBandRows) {
        pieces_shaded += scan_rows(info, visible, count, triangle, far, first, last, strip_, piece_);
        return;
    }
    const int spans = last / PixelQueue::kBandRows - first / PixelQueue::kBandRows + 1;
    // The slope step belongs to the ring being walked; polygons of one batch share it.
    const int step_now = source ? source->difference_step : 1;
    if (q->polygon_count > 0 &&
        (q->polygon_count == PixelQueue::kPolygons || q->vertex_count + count > PixelQueue::kVertices ||
         q->entry_count + spans > PixelQueue::kEntries || q->difference_step != step_now ||
         q->info.buffer != info.buffer || q->info.view != info.view))
        draw_queued();
    q->difference_step = step_now;
    q->info = info;
    const int i = q->polygon_count++;
    PixelQueue::Polygon& p = q->polygons[i];
    p.first = q->vertex_count;
    p.count = count;
    p.far = far ? 1 : 0;
    for (int k = 0; k < 3; ++k)
        p.triangle[k] = triangle[k];
    for (int k = 0; k < count; ++k)
        q->vertices[q->vertex_count++] = visible[k];
    q->row_first[i] = first;
    q->row_last[i] = last;
    q->entry_count += spans;
    q->pixels += std::int64_t(width * (last - first + 1));
    if (q->pixels >= PixelQueue::kPixelBudget)
        draw_queued();
}

void HySurfaceOptics::draw_queued()
{
    PixelQueue* q = queue_;
    if (q == nullptr || q->polygon_count == 0)
        return;
    // Group the polygons by band (a counting sort keeps their order within each band).
    constexpr int kRows = PixelQueue::kBandRows;
    std::int32_t* start = q->band_start;
    std::fill(start, start + q->bands + 1, 0);
    for (int i = 0; i < q->polygon_count; ++i)
        for (int b = q->row_first[i] / kRows; b <= q->row_last[i] / kRows; ++b)
            ++start[b + 1];
    for (int b = 0; b < q->bands; ++b)
        start[b + 1] += start[b];
    for (int i = 0; i < q->polygon_count; ++i)
        for (int b = q->row_first[i] / kRows; b <= q->row_last[i] / kRows; ++b)
            q->entries[start[b]++] = i;
    for (int b = q->bands; b > 0; --b)
        start[b] = start[b - 1];
    start[0] = 0;

    const int saved_step = source ? source->difference_step : 1;
    if (source)
        source->difference_step = q->difference_step;
    std::atomic<std::int64_t> shaded{0};
    hyplat::parallel_for(q->bands, 1, [&](std::int64_t first_band, std::int64_t end_band) {
        HySliceVertex strip[kScratch], piece[kScratch];
        std::int64_t n = 0;
        for (std::int64_t b = first_band; b < end_band; ++b) {
            const int row_begin = int(b) * kRows, row_end = std::min(q->info.height, row_begin + kRows);
            for (int e = start[b]; e < start[b + 1]; ++e) {
                const int i = q->entries[e];
                const PixelQueue::Polygon& p = q->polygons[i];
                n += scan_rows(q->info, q->vertices + p.first, p.count, p.triangle, p.far != 0,
                               std::max(q->row_first[i], row_begin), std::min(q->row_last[i], row_end - 1), strip,
                               piece);
            }
        }
        shaded += n;
    });
    pieces_shaded += shaded.load();
    if (source)
        source->difference_step = saved_step;
    q->polygon_count = 0;
    q->vertex_count = 0;
    q->entry_count = 0;
    q->pixels = 0;
}

std::int64_t HySurfaceOptics::scan_rows(const HyImageInfo& info, const HySliceVertex* visible, int count,
                                        const HySliceVertex triangle[3], bool far, int iy0, int iy1,
                                        HySliceVertex* strip, HySliceVertex* piece)
{
    HyPixelBuffer& buffer = *info.buffer;
    const HyViewGeometry& view = *info.view;
    const double R = source && source->curvature == 1 ? source->curvature_radius : 0.0;
    HySurfaceView sv;
    sv.eye[0] = view.x;
    sv.eye[1] = view.y;
    sv.eye[2] = view.z;
    std::int64_t shaded = 0;
    for (int iy = iy0; iy <= iy1; ++iy) {
        // Cut the polygon to the pixel row once, then each pixel of the row from that strip.
        const int ns = hy_clip_strip(visible, count, 1, double(iy), double(iy + 1), strip, kScratch);
        if (ns < 3)
            continue;
        double sx0 = strip[0].x, sx1 = sx0;
        for (int k = 1; k < ns; ++k) {
            sx0 = std::min(sx0, strip[k].x);
            sx1 = std::max(sx1, strip[k].x);
        }
        if (sx1 < 0.0 || sx0 > info.width)
            continue;
        const int ix0 = int(std::clamp(sx0, 0.0, double(info.width - 1)));
        const int ix1 = int(std::clamp(sx1, 0.0, double(info.width - 1)));
        for (int ix = ix0; ix <= ix1; ++ix) {
            const int np = hy_clip_strip(strip, ns, 0, double(ix), double(ix + 1), piece, kScratch);
            if (np < 3)
                continue;
            const double a = std::fabs(hy_polygon_area(piece, np));
            if (!(a > 0.0))
                continue;
            double mx = 0.0, my = 0.0;
            for (int k = 0; k < np; ++k) {
                mx += piece[k].x;
                my += piece[k].y;
            }
            mx /= np;
            my /= np;
            view.subpixel_direction(my, mx, sv.direction[0], sv.direction[1], sv.direction[2]);
            double depth, point[3], normal[3];
            if (far) {
                // Where the pixel's ray meets mean sea level (or the sphere in curved-earth mode).
                const double dz = std::clamp(sv.direction[2], -1.0, 1.0);
                const double zen = std::acos(dz);
                const double phi = std::atan2(sv.direction[1], sv.direction[0]);
                const double t = std::tan(zen - kHalfPi);
                double h = view.z;
                double d0 = 0.0;
                if (R > 0.0) {
                    h += (view.x * view.x + view.y * view.y) * 0.5 / R;
                    d0 = std::tan(horizon_dip(sv.eye, phi));
                }
                if (h < 0.0 || !(t > d0))
                    continue;
                double D;
                if (R > 0.0) {
                    const double disc = t * t * R * R - 2.0 * R * h;
                    if (disc < 0.0)
                        continue;
                    D = std::fabs(t) * R - std::sqrt(disc);
                } else {
                    D = t == 0.0 ? 1e8 : std::fabs(h / t);
                }
                point[0] = view.x + D * std::cos(phi);
                point[1] = view.y + D * std::sin(phi);
                point[2] = surface_height(point[0], point[1]);
                const double ex = point[0] - view.x, ey = point[1] - view.y, ez = point[2] - view.z;
                depth = double(float(ex * ex + ey * ey + ez * ez));
                normal[0] = 0.0;
                normal[1] = 0.0;
                normal[2] = 1.0;
            } else {
                if (!pixel_point(piece, np, triangle, view, depth, point[0], point[1], point[2], normal))
                    continue;
            }
            if (!buffer.accepts(iy, ix, depth))
                continue;
            double colour[3];
            shade_point(point, normal, sv, depth, side == 1 ? 1 : 0, colour);
            colour[0] *= a;
            colour[1] *= a;
            colour[2] *= a;
            buffer.accumulate(iy, ix, colour, depth, a);
            ++shaded;
        }
    }
    return shaded;
}

int HySurfaceOptics::walk_surface(const HyViewGeometry& view, HyPixelBuffer& buffer)
{
    pieces_shaded = 0;
    triangles_drawn = 0;
    if (!source)
        return 0;
    // 1. Height range of the sea.
    source->get_height_range(lowest, highest);
    // 2. Which side of the water the eye is on.
    side = view.z > source->get_height(view.x, view.y) ? 1 : -1;
    // 3. Nothing to draw when every ray leaves the water's height band on the eye's side.
    double zmin = 3.1415926535, zmax = 0.0;
    view.zenith_range(zmin, zmax);
    hy_widen_zenith_range_by_edges(view, 16, zmin, zmax);
    if ((view.z > highest && zmax < kHalfPi) || (view.z < lowest && zmin > kHalfPi))
        return side;
    // 4. The walk.
    Slices* slices = new Slices(source, this, view, side);
    if (!slices) {
        std::printf("Out of Memory\n");
        std::fflush(stdout);
        return 0;
    }
    if (!slices->allocate()) {
        delete slices;
        return 0;
    }
    // The queue, when the pixel work runs on threads; without its arrays every polygon is drawn at once.
    PixelQueue queue;
    if (parallel_pixels && queue.allocate(view.rows))
        queue_ = &queue;
    const int saved_step = source->difference_step;
    slices->run(view, &buffer, view.max_step());
    // Before the slicer's view goes; a stopped frame is abandoned, its queue with it.
    if (slices->stopped)
        queue.polygon_count = 0;
    draw_queued();
    queue_ = nullptr;
    queue.release();
    source->difference_step = saved_step;
    triangles_drawn = slices->triangles_drawn;
    delete slices;
    return side;
}

void HySurfaceOptics::normalise_work(HyPixelBuffer& buffer)
{
    const int rows = int(buffer.rows), cols = int(buffer.columns);
    if (rows < 9 || !buffer.work_weight)
        return;
    float** w = buffer.work_weight;
    for (int r = 4; r <= rows - 5; ++r) {
        for (int c = 4; c <= cols - 5; ++c) {
            const float W = w[r][c];
            // A pixel inside covered water that a crack left short of full weight.
            const bool full = W > 1.0f || (W > 0.1f && w[r + 3][c + 3] != 0.0f && w[r + 3][c - 3] != 0.0f &&
                                            w[r - 3][c + 3] != 0.0f && w[r - 3][c - 3] != 0.0f);
            if (!full)
                continue;
            for (int k = 0; k < buffer.channel_count; ++k)
                buffer.channels[k][r][c] /= W;
            w[r][c] = 1.0f;
        }
    }
}

int HySurfaceOptics::draw_surface(const HyViewGeometry& view, HyPixelBuffer& buffer)
{
    const int side_seen = walk_surface(view, buffer);
    if (side_seen == 0)
        return 0;
    normalise_work(buffer);
    buffer.flush();
    return side_seen;
}

// ---------------------------------------------------------------------------------------------------

HySurfaceOceanOptics::HySurfaceOceanOptics(const HySurfaceOpticsParams& params, const HySurfaceOceanContext& ctx)
    : HySurfaceOptics(params), context(ctx)
{
}

HySurfaceOceanOptics::~HySurfaceOceanOptics() = default;

void HySurfaceOceanOptics::shade_point(const double point[3], const double normal[3], const HySurfaceView& view,
                                       double depth, int flag, double colour[3])
{
    colour[0] = colour[1] = colour[2] = 0.0;
    if (!context.scene)
        return;
    if (flag == 1)
        context.scene->shade_from_above(context, point, normal, view, depth, colour);
    else
        context.scene->shade_from_below(context, point, normal, view, depth, colour);
}

int HySurfaceOceanOptics::report_progress(double fraction)
{
    return context.scene ? context.scene->report_progress(fraction) : 1;
}
