// Surface optics: the wave surface turned into image pixels with exact pixel coverage.
//
// The ridgeline slicer (HySlices.h) walks the grid away from the eye and hands every visible piece
// of a screen triangle here. Each piece is cut into pixel pieces (the polygon clipped to one pixel
// square, its area the coverage it adds); for each pixel piece the surface point and normal seen
// through it are found, shaded, and gathered in the scene's HyPixelBuffer weighted by the area.
// HySurfaceOceanOptics supplies the shading of the sea through the scene's point-shading routines.
#pragma once

#include "optics/HySlices.h"
#include "platform/HyMemory.h"

#include <cstdint>

class HyGrid;
class HyPixelBuffer;
class HyViewGeometry;
class HyOceanOptics;
class HyAirFlatOptics;
class Hy2DTextureGroup;

// What the scene hands the surface optics for one frame, in this order.
struct HySurfaceOpticsParams {
    HyGrid* height_source = nullptr; // the ocean's composed height grid (a HyGridMulti)
    double base_step = 1.0;          // grid cell size, metres
    double max_distance = 1000.0;    // walk out to here, metres
    double double_distance = 100.0;  // unit steps up to here, doubling steps beyond
    std::uint32_t to_horizon = 0;    // 1: also draw the band from the last ring to the horizon
};

// Per-pixel view data handed to the shading: the eye point and the unit direction from the eye
// through the pixel piece.
struct HySurfaceView {
    double eye[3];
    double direction[3];
};

class HySurfaceShading;

// The twelve context entries handed back unchanged to the scene's point shading.
struct HySurfaceOceanContext {
    HyOceanOptics* ocean_optics = nullptr;
    HySurfaceShading* scene = nullptr;
    HyAirFlatOptics* air_optics = nullptr; // null without air
    Hy2DTextureGroup* texture_above = nullptr;
    Hy2DTextureGroup* texture_below = nullptr;
    Hy2DTextureGroup* texture_on = nullptr;
    double upwelling_r = 0.0;
    double upwelling_g = 0.0;
    double upwelling_b = 0.0;
    const double* transmission_r = nullptr; // one factor per light
    const double* transmission_g = nullptr;
    const double* transmission_b = nullptr;
};

// Implemented by the scene renderer: the two point-shading routines of the realistic modes and the
// progress hook. Colours are three doubles, not yet multiplied by coverage.
class HySurfaceShading {
public:
    virtual ~HySurfaceShading() = default;
    // Water point (x, y, z) seen from above the surface along view.direction, unit normal n,
    // squared distance `depth` from the eye.
    virtual void shade_from_above(const HySurfaceOceanContext& context, const double point[3],
                                  const double normal[3], const HySurfaceView& view, double depth,
                                  double colour[3]) = 0;
    // The same seen from under the water.
    virtual void shade_from_below(const HySurfaceOceanContext& context, const double point[3],
                                  const double normal[3], const HySurfaceView& view, double depth,
                                  double colour[3]) = 0;
    // Fraction done in (0, 1]; 0 asks the drawing to stop.
    virtual int report_progress(double fraction) = 0;
};

class HySurfaceOptics : public HyAllocated {
public:
    explicit HySurfaceOptics(const HySurfaceOpticsParams& params);

    // Virtual operations, in their fixed order.
    virtual ~HySurfaceOptics();                                                               // 0
    // 1: colour of a water point. Here a stub giving white (1, 1, 1), so that the colour planes show
    // the coverage; `flag` 1 means the eye is above the water.
    virtual void shade_point(const double point[3], const double normal[3], const HySurfaceView& view,
                             double depth, int flag, double colour[3]);
    // 2: scan-converts one visible polygon (pixel coordinates) of `triangle` into pixel pieces.
    virtual void draw_triangle(const HyImageInfo& info, const HySliceVertex* visible, int count,
                               const HySliceVertex triangle[3], double pixel_size, int flag);
    // 3: draws the whole surface into the buffer, normalises the work planes and flushes them.
    // +1 when the eye is above the water, -1 below, 0 when the slicer cannot get its arrays.
    virtual int draw_surface(const HyViewGeometry& view, HyPixelBuffer& buffer);
    virtual double surface_height(double x, double y) const;                                   // 4
    // 5: as 2, with the point found where the pixel's ray meets mean sea level (the band to the
    // horizon).
    virtual void draw_far_polygon(const HyImageInfo& info, const HySliceVertex* visible, int count,
                                  const HySliceVertex triangle[3], double pixel_size, int flag);
    virtual void hook_6() {}                                                                   // 6
    virtual void hook_7() {}                                                                   // 7
    // 8: angle (radians, positive) by which the horizon lies below the horizontal seen from `position`
    // towards `azimuth`; 0 unless the height source is in curved-earth mode.
    virtual double horizon_dip(const double position[3], double azimuth) const;
    // 9: the surface point, squared distance and normal seen through a pixel piece; 0 when no grid
    // position can be found.
    virtual int pixel_point(const HySliceVertex* piece, int count, const HySliceVertex triangle[3],
                            const HyViewGeometry& view, double& depth, double& x, double& y, double& z,
                            double normal[3]);
    // 10: fractional grid column and row of a screen point by its barycentric weights in the triangle;
    // 0 when the weights cannot be formed.
    virtual int grid_position(const double point[2], const HySliceVertex triangle[3], double& gx,
                              double& gy) const;
    // 11: fraction done; 0 stops the drawing. Here always 1.
    virtual int report_progress(double fraction);

    // The parts of draw_surface: the walk alone (returns the side, or 0), and the normalisation of the
    // work planes (pixels 4 or more from every border whose weight is above 1, or above 0.1 with all
    // four diagonal neighbours at distance 3 covered, are scaled to weight 1).
    int walk_surface(const HyViewGeometry& view, HyPixelBuffer& buffer);
    static void normalise_work(HyPixelBuffer& buffer);

    // Ring (row) index to distance in cells, its step and blend fraction; and back.
    void row_distance(int row, int& distance, int& step, double& blend) const;
    int row_for_distance(double distance) const;

    // Counters of the last draw.
    std::int64_t pieces_shaded = 0;
    std::int64_t triangles_drawn = 0;

    // 1: the walk's pixel work runs on the process's threads. Visible polygons are queued as the slicer
    // hands them over and drawn in bands of picture rows, each band taking the polygons in their order,
    // so every pixel gathers the same pieces in the same order as when drawn at once: the picture does
    // not depend on the thread count. shade_point must then be safe to call from several threads.
    // 0: each polygon is drawn as it comes, on the caller.
    int parallel_pixels = 0;

    // Fields, in order.
    double highest = 0.0;
    double lowest = 0.0;
    std::int32_t max_cells = 0;  // cells to the maximum distance
    std::int32_t fine_cells = 0; // N: unit-step cells up to the double distance
    double step = 1.0;
    double inv_step = 1.0;
    std::uint32_t to_horizon = 0;
    HyGrid* source = nullptr;

    // The eye's side during a draw (+1 above, -1 below).
    int side = 1;

protected:
    static constexpr int kScratch = 4 * HY_MAX_POINTS;
    // Pixel walk shared by operations 2 and 5 over the picture rows iy0..iy1 of a polygon that draws
    // (within the rows it can touch), cutting in the caller's scratch arrays (kScratch vertices each);
    // returns the pieces shaded.
    std::int64_t scan_rows(const HyImageInfo& info, const HySliceVertex* visible, int count,
                           const HySliceVertex triangle[3], bool far, int iy0, int iy1, HySliceVertex* strip,
                           HySliceVertex* piece);
    // Operations 2 and 5: queue the polygon, or draw it now.
    void draw_or_queue(const HyImageInfo& info, const HySliceVertex* visible, int count,
                       const HySliceVertex triangle[3], bool far);
    // Draws every queued polygon, band by band on the process's threads, and empties the queue.
    void draw_queued();

    HySliceVertex strip_[kScratch];
    HySliceVertex piece_[kScratch];

private:
    struct PixelQueue;
    PixelQueue* queue_ = nullptr; // only while a walk with parallel pixel work runs
};

// The sea's surface optics: shading goes to the scene's point-shading routines with the context.
class HySurfaceOceanOptics : public HySurfaceOptics {
public:
    HySurfaceOceanOptics(const HySurfaceOpticsParams& params, const HySurfaceOceanContext& context);
    ~HySurfaceOceanOptics() override;

    void shade_point(const double point[3], const double normal[3], const HySurfaceView& view, double depth,
                     int flag, double colour[3]) override;
    int report_progress(double fraction) override;

    HySurfaceOceanContext context;
};
