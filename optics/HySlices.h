// Slices: hidden-surface removal for the wave height field by a floating horizon in angular space.
//
// The grid is walked in square rings (slices) around the camera's grid cell, from near to far. Each
// ring point is projected to angular codes: x = 1000 x azimuth relative to the camera heading
// (decreasing as the ring is walked counter-clockwise), y = 1000 x sine of the elevation seen from the
// eye, times the side (+1 eye above the water, -1 below, so that "visible" always means "above").
// The cells between two rings become triangles; each is clipped against the ridgeline (the upper
// envelope of everything drawn so far) and only the part above it is mapped to the image and drawn.
// Every drawn triangle raises the ridgeline, its slanted edges between the rings included (they can
// stand above both ring outlines). Within a band the order matters, as lines of sight cross a band
// over several cells: each side's cells are drawn from the eye's foot on that side outward, the two
// triangles of a cell in the order a line of sight meets them, the corner cells last; the band's
// triangles gather in a band outline that the next triangles of the same half side are cut against,
// and that joins the ridgeline once the half side is done. Nearer crests thus hide what lies behind
// them without a depth buffer.
//
// Arrays (all from the tagged allocator, once per frame):
//   ridgeline 1 and 2: 4n HyRidgePoint each, used alternately; points in decreasing x.
//   band outline and its merge space: 8n HyRidgePoint each.
//   slice buffers 0 and 1: 2n HyRidgePoint each, selected by ring (row) parity; walk order, unused
//   entries hold the empty marker (identifier, column, row -99999999, coordinates -99999999.0).
#pragma once

#include "platform/HyMemory.h"
#include "render/HyCamera.h"

#include <cstdint>

class HyGrid;
class HyPixelBuffer;
class HySurfaceOptics;

// Capacity of the polygon holding the visible part of one triangle.
constexpr int HY_MAX_POINTS = 50;

constexpr std::int32_t kHyEmptyId = -99999999;
constexpr double kHyEmptyCoord = -99999999.0;

// A ridgeline or slice point: angular codes x, y, an identifier and the grid column and row.
struct HyRidgePoint {
    double x;
    double y;
    std::int32_t id;
    std::int32_t col;
    std::int32_t row;
    // A point the envelope made (a crossing of two lines, or a line's value where only the other line
    // has a vertex) also keeps the two segments it lies on, in angular codes: a0, a1, b0, b1 as x, y
    // pairs. In the picture it goes where the images of the two segments meet, which is where the
    // edges drawn before meet (straight lines in angular codes bend in the picture).
    std::int32_t made = 0;
    double seg[8] = {};
};

// A screen vertex shared with the surface optics: screen x, y (angular codes while clipping, pixel
// column and row after the lens mapping), identifier, grid column and row, and the links of a circular
// polygon list.
struct HySliceVertex {
    double x;
    double y;
    std::int32_t id;
    std::int32_t col;
    std::int32_t row;
    HySliceVertex* next;
    HySliceVertex* prev;
    HySliceVertex* first;
};

// What the pixel work needs of the frame: window size, output buffer and the view.
struct HyImageInfo {
    int width = 0;
    int height = 0;
    HyPixelBuffer* buffer = nullptr;
    const HyViewGeometry* view = nullptr;
};

// Linear interpolation of y at x along a polyline in decreasing x (points (x, y, ...)), searching from
// *hint outward; the hint is clamped to 0..count-2 and updated to the segment used. Outside the
// polyline the end segments are extrapolated. Fewer than 2 points report and give 0.0.
double HyInterp_help8(double x, const HyRidgePoint* polyline, int count, int* hint);

// Upper envelope of `ridge` (spanning the image) and `outline`, both in decreasing x: the higher of the
// two wherever the outline is defined (crossings inserted), the ridge outside the outline's x range.
// Writes at most `capacity` points; returns the count, or -1 when they do not fit (nothing is promised
// about `out` then).
int hy_ridge_envelope(const HyRidgePoint* ridge, int ridge_count, const HyRidgePoint* outline,
                      int outline_count, HyRidgePoint* out, int capacity);
// Upper envelope of two polylines in decreasing x over the union of their x ranges (where only one is
// defined, that one); same result convention. Where the ranges leave a gap the result bridges it.
int hy_upper_envelope(const HyRidgePoint* a, int a_count, const HyRidgePoint* b, int b_count, HyRidgePoint* out,
                      int capacity);

// Clips polygon `in` (n vertices, any shape, consistent orientation) to the half-plane left of the
// directed line p0 -> p1 when `sign` is +1 (right of it when -1). Returns the new count, or -1 when the
// result would exceed `capacity`.
int hy_clip_half_plane(const HySliceVertex* in, int n, double p0x, double p0y, double p1x, double p1y,
                       double sign, HySliceVertex* out, int capacity);
// Clips to the axis-aligned strip lo <= (x when axis 0, y when axis 1) <= hi; same result convention.
int hy_clip_strip(const HySliceVertex* in, int n, int axis, double lo, double hi, HySliceVertex* out,
                  int capacity);
// Signed area (counter-clockwise positive) of a polygon.
double hy_polygon_area(const HySliceVertex* poly, int n);
// Widens [lowest, highest] to the zenith angles of rays through `steps` + 1 evenly spaced points on
// each edge of the view's image plane: a rolled view can have its extremes inside an edge.
void hy_widen_zenith_range_by_edges(const HyViewGeometry& view, int steps, double& lowest, double& highest);

class Slices : public HyAllocated {
public:
    // Sets the fields and computes the row range; nothing is allocated yet.
    Slices(HyGrid* source, HySurfaceOptics* optics, const HyViewGeometry& view, int side);
    ~Slices();
    Slices(const Slices&) = delete;
    Slices& operator=(const Slices&) = delete;

    // The four arrays; 1, or 0 after the message (everything freed).
    int allocate();
    // The walk: rings from the first row out, triangles clipped, mapped and drawn, ridgeline raised,
    // then the closing pass to the horizon.
    void run(const HyViewGeometry& view, HyPixelBuffer* buffer, double pixel_size);

    // Index i of the ridgeline segment with x_i >= x >= x_(i+1), searched from the hint.
    int get_ridge_point(double x, int hint) const;

    // Rings and their triangles, exposed for checks and for the surface optics.
    // Builds the slice of `row` (regular or transition as its neighbours need) into buffer `parity`.
    void build_row(int row);
    // A regular (transition = false) or transition ring at distance d with step s into buffer `parity`.
    void build_ring(int parity, int d, int s, bool transition);
    // Clips one triangle (angular codes) against the ridgeline: 1 with the visible polygon in
    // visible_ / visible_count_, 0 when nothing shows (or on capacity overflow).
    int clip_triangle(const HySliceVertex tri[3]);
    // Raises the ridgeline by an outline in decreasing x (a ring, or the envelope of a band's drawn
    // triangles). An outline beside the ridgeline's span resets it to level ground.
    void merge_outline(const HyRidgePoint* outline, int count);
    void reset_ridgeline();
    // The band outline: the upper envelope, in angular codes, of the triangles drawn so far on the
    // current half side of the band. Each drawn triangle's upper edges go in as it is drawn, and the
    // next triangles are cut against them too; `flush_band` hands the outline to the ridgeline.
    void add_to_band(const HySliceVertex tri[3]);
    void flush_band();
    // The band outline's points over [xmin, xmax] (and the one beyond each end), in decreasing x; the
    // count, or -1 when more than `capacity`.
    int band_part(double xmin, double xmax, HyRidgePoint* out, int capacity) const;

    // Fields, in order.
    HyGrid* source = nullptr;
    HySurfaceOptics* optics = nullptr;
    std::int32_t sub_steps = 1;   // height-source samples per cell
    std::int32_t n = 0;           // half-width: slice buffers hold 2n points, ridgelines 4n
    std::int32_t use_all = 1;     // 1: every walked point is used, inside the grid or not
    std::int32_t side = 1;        // +1 eye above the water, -1 below
    std::int32_t near_visible = 0; // the water right under the eye shows in the image
    std::int32_t lens_map = 1;    // polygons go through the camera's lens function before pixel work
    std::int32_t ridge_count = 0;
    std::int32_t slice_count[2] = {0, 0};
    double horizon_dip = 0.0;     // angular y of the horizon (0 on a flat earth)
    HyRidgePoint* ridge1 = nullptr;
    HyRidgePoint* ridge2 = nullptr;
    HyRidgePoint* slice[2] = {nullptr, nullptr};
    HyRidgePoint* band = nullptr;     // band outline, band_capacity points
    HyRidgePoint* band_tmp = nullptr; // where a triangle's edges and the band outline's tail are merged
    std::int32_t band_count = 0;
    std::int32_t band_capacity = 0;
    bool collect_band = true;         // whether drawn triangles raise the ridgeline
    // The band outline is kept with x negated while a half side is walked toward increasing x, so that
    // new triangles always join its tail.
    bool band_mirror = false;
    double azimuth_first = 0.0;   // world azimuths (east = 0, counter-clockwise) bounding the image
    double azimuth_last = 0.0;
    std::int32_t first_side = 0;  // ring sides 0..3 face east, north, west, south; last may exceed 3
    std::int32_t last_side = 3;
    std::int32_t side_points = 0;
    std::int32_t cam_i = 0, cam_j = 0; // the camera's grid cell
    std::int32_t first_row = 0, end_row = 0;

    // Derived per frame.
    HyViewGeometry view;
    double heading = 0.0;         // azimuth offset of the angular codes (the camera's b angle)
    double cell = 1.0;            // base step, metres
    std::int32_t last_row = 0;    // the row of the maximum distance
    std::int32_t rows_walked = 0; // last row drawn by `run`
    bool stopped = false;
    std::int32_t triangles_drawn = 0;
    std::int32_t ring_start[2] = {0, 0}; // perimeter index of each buffer's first point
    std::int32_t ring_d[2] = {0, 0};     // ring distance and step of each buffer
    std::int32_t ring_s[2] = {1, 1};
    std::int32_t ring_full[2] = {0, 0};  // 1: all four sides, closed by a copy of the first point

    // The visible polygon of the last clip and the pools the clipping works in.
    HySliceVertex visible_[HY_MAX_POINTS];
    int visible_count_ = 0;
    bool visible_in_image_ = false; // the cut was made in the picture: visible_ holds pixel coordinates
    // 1: a partly hidden triangle is cut in the picture (exact against the edges already drawn);
    // 0: in angular codes, then mapped.
    int clip_in_image = 1;

private:
    void compute_row_range();
    void compute_sides();
    // Angular codes of grid point (i, j) at height h, y already multiplied by the side.
    void project(double i, double j, double h, double& x, double& y) const;
    double height_at(std::int64_t i, std::int64_t j) const;
    // Index in buffer `parity` of the ring point at unwrapped side k, side coordinate v; -1 if absent.
    int ring_index(int parity, int k, int v) const;
    void draw_band(int inner, int outer, bool first_band);
    void draw_cell_triangle(const HyRidgePoint* a, const HyRidgePoint* b, const HyRidgePoint* c,
                            bool first_band, bool far);
    void closing_pass();
    int map_polygon(HySliceVertex* poly, int count);

    static constexpr int kLocalCap = 4 * HY_MAX_POINTS;
    HyRidgePoint part_[kLocalCap];  // the band outline over one triangle
    HyRidgePoint local_[kLocalCap]; // the ridgeline over one triangle raised by that
    HySliceVertex region_[4 * HY_MAX_POINTS];
    HySliceVertex region_img_[4 * HY_MAX_POINTS];
    HySliceVertex scratch_a_[4 * HY_MAX_POINTS];
    HySliceVertex scratch_b_[4 * HY_MAX_POINTS];
    HySliceVertex tri_[3];
    HyImageInfo info_;
    bool full_walk_ = false; // all four sides, closed: the seam behind the eye is crossed
    double pixel_size_ = 1.0;
};
