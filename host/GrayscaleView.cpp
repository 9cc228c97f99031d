#include "host/GrayscaleView.h"

#include "host/ImageMaps.h"
#include "ocean/HyOceanSurface.h"
#include "optics/HyTexture.h"
#include "platform/HyThreadPool.h"
#include "render/HyCamera.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMarkerLimit = 1099511627776.0; // 2^40

const HyPenColour kRed{255, 0, 0};
const HyPenColour kYellow{255, 255, 0};
const HyPenColour kBlue{0, 0, 255};
const HyPenColour kGreen{0, 255, 0};
constexpr std::uint8_t kTintAlpha = 70;

std::int64_t trunc_limited(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<std::int64_t>(std::clamp(v, -kMarkerLimit, kMarkerLimit));
}

bool usable_scale(double s)
{
    return std::isfinite(s) && s > 0.0;
}

// Outline through four corners given in the order (-w/2, +h/2), (-w/2, -h/2), (+w/2, +h/2),
// (+w/2, -h/2): walking 0, 1, 3, 2 goes round the rectangle instead of across it.
void draw_outline(HyOffscreen& view, const double corners[4][2], std::int32_t width, std::int32_t height, double sx,
                  double sy)
{
    static constexpr int kOrder[4] = {0, 1, 3, 2};
    HyPoint2D points[4];
    for (int k = 0; k < 4; ++k)
        points[k] = grayscale_marker_point(corners[kOrder[k]][0], corners[kOrder[k]][1], width, height, sx, sy);
    view.polyline(points, 4, true);
}

void draw_markers(HyOffscreen& view, HyOceanSurface* surface, const GrayscaleViewParams& p,
                  const CImageMaps* maps)
{
    const std::int32_t width = view.width(), height = view.height();
    const double sx = p.metres_per_pixel_x, sy = p.metres_per_pixel_y;

    // The camera: a square and the two edges of its horizontal field of view, as compass bearings.
    const HyPoint2D at = grayscale_marker_point(p.camera_x, p.camera_y, width, height, sx, sy);
    const std::int64_t half = trunc_limited(4.0 / sx);
    const std::int64_t length = trunc_limited(30.0 / sy);
    view.set_pen(kRed);
    view.fill_rect(at.column - half, at.row - half, at.column + half, at.row + half);
    const double heading = 450.0 - p.camera_pan * 180.0 / kPi;
    const double half_fov = p.horizontal_fov * 180.0 / kPi / 2.0;
    for (const double bearing : {heading + half_fov, heading - half_fov}) {
        const HyPoint2D end = grayscale_compass_end(at, bearing, length);
        view.line(at.column, at.row, end.column, end.row);
    }

    if (!maps)
        return;
    for (int i = 0; i < kImageMapCount; ++i) {
        const ImageMapState& m = maps->map(i);
        double c[4][2];
        if (m.displacement_id != 0 && surface) {
            std::uint32_t id = m.displacement_id;
            if (!surface->get_element_corners(id, c[0][0], c[0][1], c[1][0], c[1][1], c[2][0], c[2][1], c[3][0],
                                              c[3][1]))
                continue;
            view.set_pen(m.texture ? kYellow : kBlue);
            draw_outline(view, c, width, height, sx, sy);
        } else if (m.texture) {
            if (!texture_corners(maps->group(m.texture_kind), m.texture_id, c))
                continue;
            view.set_pen(kGreen);
            draw_outline(view, c, width, height, sx, sy);
        }
    }
}

} // namespace

std::uint8_t grayscale_level(double height, double colour_min, double colour_max)
{
    const double v = (height - colour_min) * 255.0 / (colour_max - colour_min);
    if (std::isnan(v))
        return 0;
    // Clamping before the fixed-point step keeps it inside 32 bits without changing the result.
    const double limited = std::clamp(v, -2.0, 257.0);
    const long long fixed = std::llround(limited * 65536.0);
    const long long level = fixed >> 16; // arithmetic shift: floors negative values too
    return static_cast<std::uint8_t>(std::clamp<long long>(level, 0, 255));
}

void grayscale_pixel_centre(std::int32_t column, std::int32_t row_from_bottom, std::int32_t width,
                            std::int32_t height, double sx, double sy, double& x, double& y)
{
    x = (column + 0.5 - width / 2.0) * sx;
    y = (row_from_bottom + 0.5 - height / 2.0) * sy;
}

HyPoint2D grayscale_marker_point(double x, double y, std::int32_t width, std::int32_t height, double sx, double sy)
{
    const double x0 = 0.5 - width / 2.0 * sx;
    const double y0 = 0.5 - height / 2.0 * sy;
    HyPoint2D p;
    p.column = trunc_limited((x - x0) / sx) + 1;
    p.row = std::int64_t(height) - trunc_limited((y - y0) / sy) - 3;
    return p;
}

HyPoint2D grayscale_compass_end(const HyPoint2D& from, double compass_degrees, std::int64_t length)
{
    double a = compass_degrees - 90.0;
    if (std::isfinite(a)) {
        a = std::fmod(a, 360.0);
        if (a > 180.0)
            a -= 360.0;
        else if (a < -180.0)
            a += 360.0;
    } else {
        a = 0.0;
    }
    const double r = a * kPi / 180.0;
    HyPoint2D end;
    end.column = from.column + trunc_limited(std::cos(r) * double(length));
    end.row = from.row + trunc_limited(std::sin(r) * double(length));
    return end;
}

std::int32_t render_grayscale_view(CImage32& output, HyOceanSurface* surface,
                                   const HyRenderData_Camera* camera, const GrayscaleViewParams& p,
                                   const CImageMaps* maps)
{
    if (!output.pixels || output.width <= 0 || output.height <= 0)
        return 0;
    if (std::int64_t(output.rowBytes) < 4 * std::int64_t(output.width))
        return 2;
    const std::int32_t width = output.width, height = output.height;
    const double sx = std::isfinite(p.metres_per_pixel_x) ? p.metres_per_pixel_x : 0.0;
    const double sy = std::isfinite(p.metres_per_pixel_y) ? p.metres_per_pixel_y : 0.0;
    const bool tint = p.render_mode == 1 && camera;

    // Rows are independent (height queries only read the surface), so bands of rows go to the
    // process's threads. Rows are counted from the bottom so that the row index grows with y.
    constexpr std::int64_t kRowsPerBand = 8;
    hyplat::parallel_for(height, kRowsPerBand, [&](std::int64_t first, std::int64_t last) {
        for (std::int32_t row = std::int32_t(first); row < std::int32_t(last); ++row) {
            std::uint8_t* px = output.row_from_bottom(row);
            for (std::int32_t column = 0; column < width; ++column, px += 4) {
                double x = 0, y = 0;
                grayscale_pixel_centre(column, row, width, height, sx, sy, x, y);
                const double h = surface ? surface->get_height(x, y) : 0.0;
                const std::uint8_t g = grayscale_level(h, p.colour_min, p.colour_max);
                px[0] = g;
                px[1] = g;
                px[2] = g;
                px[3] = 255;
                if (tint) {
                    int cc = 0, cr = 0;
                    if (camera->sea_level_to_pixel(x, y, cc, cr))
                        HyOffscreen::blend(px, kRed, kTintAlpha);
                }
            }
        }
    });

    HyOffscreen view(output.row_from_top(0), output.step_down(), width, height);

    // A zero zoom shows one point of the sea everywhere; there is nowhere to put markers then.
    if (p.render_mode == 1 && usable_scale(sx) && usable_scale(sy))
        draw_markers(view, surface, p, maps);
    view.fill_alpha(255);
    return 0;
}
