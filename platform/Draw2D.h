// Small headless 2-D drawing layer: an off-screen that wraps an existing 32-bit pixel buffer and draws
// pen-coloured lines, filled rectangles and closed outlines into it, plus a translucent blend.
//
// Buffer layout: `height` rows of `width` pixels, 4 bytes each, bytes blue, green, red, alpha in memory
// order. Drawing coordinates are (column, row) with column 0 at the left and row 0 at the TOP of the
// picture; picture row r starts at top_row + r * row_step. The step is negative for memory that runs
// bottom up, so the off-screen never decides row order itself: whoever owns the buffer's layout hands
// in its top row and step (|row_step| >= 4 * width, padding is never touched). Everything outside the
// buffer is clipped silently; nothing here allocates.
#pragma once

#include <cstdint>

struct HyPenColour {
    std::uint8_t red = 0, green = 0, blue = 0;
};

struct HyPoint2D {
    std::int64_t column = 0;
    std::int64_t row = 0;
};

class HyOffscreen {
public:
    // An off-screen over no pixels draws nothing. A buffer whose row step cannot hold its width, or
    // with a negative size, is treated as empty too (`valid` says which).
    HyOffscreen(std::uint8_t* top_row, std::int64_t row_step, std::int32_t width, std::int32_t height);

    bool valid() const { return pixels_ != nullptr; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // The pen paints opaque pixels: red, green, blue from the colour and alpha 255.
    void set_pen(const HyPenColour& colour) { pen_ = colour; }
    HyPenColour pen() const { return pen_; }

    // Address of pixel (column, row), or null outside the buffer.
    std::uint8_t* pixel(std::int64_t column, std::int64_t row) const;

    void put_pixel(std::int64_t column, std::int64_t row);
    // Line from (c0, r0) to (c1, r1), both ends included. Bresenham: one pixel per step along the major
    // axis, the minor coordinate the nearest to the exact line with halves rounded away from the start.
    // Clipping never changes which pixels of the full line are painted, however far off the ends are.
    void line(std::int64_t c0, std::int64_t r0, std::int64_t c1, std::int64_t r1);
    // Every pixel of the rectangle between both corners, inclusive, in either order.
    void fill_rect(std::int64_t c0, std::int64_t r0, std::int64_t c1, std::int64_t r1);
    // Lines through the points in order; `closed` joins the last point back to the first.
    void polyline(const HyPoint2D* points, int count, bool closed);

    // Source-over blend of (red, green, blue) with coverage `alpha` (0..255) into one pixel: each colour
    // byte becomes (src * alpha + dst * (255 - alpha) + 127) / 255, and the pixel's alpha
    // alpha + dst_alpha * (255 - alpha) / 255 (rounded the same way).
    void blend_pixel(std::int64_t column, std::int64_t row, const HyPenColour& colour, std::uint8_t alpha);
    // The same blend into a pixel the caller addresses itself.
    static void blend(std::uint8_t* pixel, const HyPenColour& colour, std::uint8_t alpha);
    // Sets the alpha byte of every pixel.
    void fill_alpha(std::uint8_t alpha);
    // Sets every pixel to (red, green, blue, alpha).
    void clear(const HyPenColour& colour, std::uint8_t alpha);

private:
    std::uint8_t* pixels_ = nullptr;
    std::int64_t row_step_ = 0;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    HyPenColour pen_;
};
