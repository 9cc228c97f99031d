// Headless drawing for the effect's own windows: a bitmap in memory and the drawing roles the view
// toolkit needs (fill, frame, line, text, bitmap, clip). Windows draw into a bitmap; a front end shows
// it or writes it to a file.
//
// HyBitmap layout: `height` rows of `width` pixels, row 0 at the top, each pixel one 32-bit word
// 0xAARRGGBB; no padding between rows.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace hyplat {

struct HyRect {
    int left = 0, top = 0, right = 0, bottom = 0; // [left, right) x [top, bottom)
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    HyRect intersect(const HyRect& o) const;
};

struct HyColour {
    std::uint8_t red = 0, green = 0, blue = 0;
    std::uint32_t word() const { return 0xFF000000u | std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | blue; }
};

class HyBitmap {
public:
    HyBitmap() = default;
    HyBitmap(int width, int height, std::uint32_t fill = 0xFF000000u);
    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ <= 0 || height_ <= 0; }
    std::uint32_t at(int x, int y) const { return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)]; }
    std::uint32_t& at(int x, int y) { return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)]; }
    const std::vector<std::uint32_t>& pixels() const { return pixels_; }

    // Parses an XPM picture (the C array form, one character per pixel, colours as #RRGGBB or None);
    // an empty bitmap when the text is not one.
    static HyBitmap FromXpm(const char* const* lines, int line_count);

private:
    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

// The built-in font: 5 x 7 glyphs (with two rows of descenders) in 6 x 11 pixel cells, printable ASCII;
// any other code point draws as "?".
constexpr int kTextCellWidth = 6;
constexpr int kTextLineHeight = 11;
int text_width(std::string_view utf8);
// The code point of UTF-8 text at byte i, moving i past it (a malformed sequence gives U+FFFD).
std::uint32_t next_code_point(std::string_view utf8, std::size_t& i);

class HyGraphics {
public:
    explicit HyGraphics(HyBitmap& target);
    // Drawing is limited to the clip rectangle (initially the whole bitmap) and the bitmap.
    void set_clip(const HyRect& r);
    HyRect clip() const { return clip_; }
    void fill(const HyRect& r, HyColour c);
    void frame(const HyRect& r, HyColour c);
    void line(int x0, int y0, int x1, int y1, HyColour c);
    // Text with the top of its line box at y; \n starts a new line.
    void text(int x, int y, std::string_view utf8, HyColour c);
    // Text centred on (cx, cy), one line.
    void text_centred(int cx, int cy, std::string_view utf8, HyColour c);
    // Copies a bitmap (or its part `source`) with its top-left at (x, y); pixels with alpha 0 are skipped.
    void bitmap(int x, int y, const HyBitmap& b);
    void bitmap(int x, int y, const HyBitmap& b, const HyRect& source);

private:
    void put(int x, int y, std::uint32_t word);
    HyBitmap& target_;
    HyRect clip_;
};

} // namespace hyplat
