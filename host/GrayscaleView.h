// The grayscale views of render modes 1 ("Grayscale [Icons]") and 2 ("Grayscale [No Icons]"): a top view
// of the composed sea heights centred on the world origin, written straight into the output image, with
// (mode 1) a red tint where the camera sees sea level and markers for the camera and the image maps.
//
// Geometry. sx, sy are metres per pixel (downsample factor x grayscale zoom). Pixel (column c, row j
// counted from the bottom) of a width x height view shows the world point at its centre,
//     x = (c + 0.5 - width / 2) * sx,   y = (j + 0.5 - height / 2) * sy,
// so larger y is further up. Markers are placed by the marker mapping: a point (x, y) falls on column
// trunc((x - x0) / sx) + 1 and row height - trunc((y - y0) / sy) - 3 from the top, with
// x0 = 0.5 - width / 2 * sx and y0 = 0.5 - height / 2 * sy. Both the heights and the markers reach
// memory through the output image's own row helpers (CImage32), so they agree in either memory order.
#pragma once

#include "host/CImage32.h"
#include "platform/Draw2D.h"

#include <cstdint>

class HyOceanSurface;
class HyRenderData_Camera;
class CImageMaps;

struct GrayscaleViewParams {
    std::int32_t render_mode = 1;    // 1: tint and markers; 2: heights only
    double metres_per_pixel_x = 1.0; // sx
    double metres_per_pixel_y = 1.0; // sy
    double colour_min = 0.0;         // "Color Min Scale": height shown black
    double colour_max = 1.0;         // "Color Max Scale": height shown white
    double camera_x = 0.0;           // where the camera marker goes, metres
    double camera_y = 0.0;
    double camera_pan = 0.0;         // the settings record's pan, radians (azimuth from east towards north)
    double horizontal_fov = 1.0;     // full angle, radians
};

// Gray level of a height: (height - min) * 255 / (max - min) through 16.16 fixed point (times 65536
// rounded to the nearest integer, halves away from zero, then shifted right by 16, which floors),
// clamped to 0..255. A range of zero width gives 255 above min and 0 at or below it.
std::uint8_t grayscale_level(double height, double colour_min, double colour_max);

// World point at the centre of pixel (column, row counted from the bottom).
void grayscale_pixel_centre(std::int32_t column, std::int32_t row_from_bottom, std::int32_t width,
                            std::int32_t height, double sx, double sy, double& x, double& y);

// Marker mapping of a world point (see above). Results are limited to +-2^40 so that absurd points
// stay representable; the drawing layer clips them.
HyPoint2D grayscale_marker_point(double x, double y, std::int32_t width, std::int32_t height, double sx,
                                 double sy);

// End of a marker line of `length` pixels from `from` towards compass angle `compass_degrees` (0 north,
// 90 east): (column + trunc(cos(a') * length), row + trunc(sin(a') * length)), a' = the angle - 90
// brought into -180..180, in degrees.
HyPoint2D grayscale_compass_end(const HyPoint2D& from, double compass_degrees, std::int64_t length);

// Draws the view into `output`. `camera` (for the tint) and `maps` (for their outlines) may be null.
// An output without pixels, or of 0 width or height, is left alone and gives 0; one whose row bytes
// cannot hold its width gives 2 (bad parameter block). Without a surface the view is of a flat sea.
// Nothing is allocated. Every output pixel ends with alpha 255.
std::int32_t render_grayscale_view(CImage32& output, HyOceanSurface* surface,
                                   const HyRenderData_Camera* camera, const GrayscaleViewParams& params,
                                   const CImageMaps* maps);
