#include "platform/Draw2D.h"

#include <algorithm>

namespace {

// Products of two coordinate spans overflow 64 bits for far-off ends; the line keeps them exact.
__extension__ typedef __int128 wide_int;

// floor(a / b) for b > 0.
wide_int floor_div(wide_int a, wide_int b)
{
    wide_int q = a / b;
    if ((a % b) != 0 && a < 0)
        --q;
    return q;
}

std::uint8_t blend_byte(unsigned src, unsigned dst, unsigned alpha)
{
    return static_cast<std::uint8_t>((src * alpha + dst * (255u - alpha) + 127u) / 255u);
}

} // namespace

HyOffscreen::HyOffscreen(std::uint8_t* top_row, std::int64_t row_step, std::int32_t width, std::int32_t height)
{
    const std::int64_t span = row_step < 0 ? -row_step : row_step;
    if (!top_row || width <= 0 || height <= 0 || span < std::int64_t(width) * 4)
        return;
    pixels_ = top_row;
    row_step_ = row_step;
    width_ = width;
    height_ = height;
}

std::uint8_t* HyOffscreen::pixel(std::int64_t column, std::int64_t row) const
{
    if (!pixels_ || column < 0 || row < 0 || column >= width_ || row >= height_)
        return nullptr;
    return pixels_ + row * row_step_ + column * 4;
}

void HyOffscreen::put_pixel(std::int64_t column, std::int64_t row)
{
    if (std::uint8_t* p = pixel(column, row)) {
        p[0] = pen_.blue;
        p[1] = pen_.green;
        p[2] = pen_.red;
        p[3] = 255;
    }
}

void HyOffscreen::line(std::int64_t c0, std::int64_t r0, std::int64_t c1, std::int64_t r1)
{
    if (!pixels_)
        return;
    const wide_int dc = wide_int(c1) - c0, dr = wide_int(r1) - r0;
    const wide_int adc = dc < 0 ? -dc : dc, adr = dr < 0 ? -dr : dr;
    const int sc = dc < 0 ? -1 : 1, sr = dr < 0 ? -1 : 1;
    if (adc == 0 && adr == 0) {
        put_pixel(c0, r0);
        return;
    }
    // Walk the major axis; step i of it lies at major0 + s * i, and the minor coordinate there is
    // minor0 + s' * floor((2 i |d_minor| + |d_major|) / (2 |d_major|)). Only the steps whose major
    // coordinate falls inside the buffer are visited, so the work is bounded by the buffer's size.
    const bool column_major = adc >= adr;
    const wide_int major0 = column_major ? c0 : r0;
    const wide_int minor0 = column_major ? r0 : c0;
    const wide_int amajor = column_major ? adc : adr;
    const wide_int aminor = column_major ? adr : adc;
    const int smajor = column_major ? sc : sr;
    const int sminor = column_major ? sr : sc;
    const wide_int major_limit = column_major ? width_ : height_;
    const wide_int minor_limit = column_major ? height_ : width_;

    // i range for which 0 <= major0 + smajor * i < major_limit.
    wide_int lo, hi;
    if (smajor > 0) {
        lo = -major0;
        hi = major_limit - 1 - major0;
    } else {
        lo = major0 - (major_limit - 1);
        hi = major0;
    }
    lo = std::max<wide_int>(lo, 0);
    hi = std::min<wide_int>(hi, amajor);
    for (wide_int i = lo; i <= hi; ++i) {
        const wide_int m = floor_div(2 * i * aminor + amajor, 2 * amajor);
        const wide_int minor = minor0 + sminor * m;
        if (minor < 0 || minor >= minor_limit)
            continue;
        const wide_int major = major0 + smajor * i;
        if (column_major)
            put_pixel(std::int64_t(major), std::int64_t(minor));
        else
            put_pixel(std::int64_t(minor), std::int64_t(major));
    }
}

void HyOffscreen::fill_rect(std::int64_t c0, std::int64_t r0, std::int64_t c1, std::int64_t r1)
{
    if (!pixels_)
        return;
    const std::int64_t left = std::max<std::int64_t>(std::min(c0, c1), 0);
    const std::int64_t right = std::min<std::int64_t>(std::max(c0, c1), width_ - 1);
    const std::int64_t top = std::max<std::int64_t>(std::min(r0, r1), 0);
    const std::int64_t bottom = std::min<std::int64_t>(std::max(r0, r1), height_ - 1);
    for (std::int64_t r = top; r <= bottom; ++r)
        for (std::int64_t c = left; c <= right; ++c)
            put_pixel(c, r);
}

void HyOffscreen::polyline(const HyPoint2D* points, int count, bool closed)
{
    if (!points || count <= 0)
        return;
    if (count == 1) {
        put_pixel(points[0].column, points[0].row);
        return;
    }
    for (int k = 0; k + 1 < count; ++k)
        line(points[k].column, points[k].row, points[k + 1].column, points[k + 1].row);
    if (closed)
        line(points[count - 1].column, points[count - 1].row, points[0].column, points[0].row);
}

void HyOffscreen::blend_pixel(std::int64_t column, std::int64_t row, const HyPenColour& colour, std::uint8_t alpha)
{
    if (std::uint8_t* p = pixel(column, row))
        blend(p, colour, alpha);
}

void HyOffscreen::blend(std::uint8_t* p, const HyPenColour& colour, std::uint8_t alpha)
{
    p[0] = blend_byte(colour.blue, p[0], alpha);
    p[1] = blend_byte(colour.green, p[1], alpha);
    p[2] = blend_byte(colour.red, p[2], alpha);
    p[3] = static_cast<std::uint8_t>(alpha + (p[3] * (255u - alpha) + 127u) / 255u);
}

void HyOffscreen::fill_alpha(std::uint8_t alpha)
{
    if (!pixels_)
        return;
    for (std::int32_t r = 0; r < height_; ++r) {
        std::uint8_t* p = pixels_ + r * row_step_;
        for (std::int32_t c = 0; c < width_; ++c)
            p[4 * c + 3] = alpha;
    }
}

void HyOffscreen::clear(const HyPenColour& colour, std::uint8_t alpha)
{
    if (!pixels_)
        return;
    for (std::int32_t r = 0; r < height_; ++r) {
        std::uint8_t* p = pixels_ + r * row_step_;
        for (std::int32_t c = 0; c < width_; ++c) {
            p[4 * c + 0] = colour.blue;
            p[4 * c + 1] = colour.green;
            p[4 * c + 2] = colour.red;
            p[4 * c + 3] = alpha;
        }
    }
}
