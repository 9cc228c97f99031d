// A 32-bit image handed between the render command and the effect.
//
// Layout: `height` rows of `width` pixels, 4 bytes each; memory row m starts at pixels + m * rowBytes
// (rowBytes >= 4 * width, padding allowed). bottomUp says which picture row memory row 0 holds: the
// top one (0, as host worlds store them) or the bottom one (1).
// Byte order inside the effect is blue, green, red, alpha; the host's is alpha, red, green, blue, and
// the render command reverses the four bytes of each pixel on the way in and out.
//
// Row order lives here and nowhere else: everything that reads or writes an image by picture row (the
// top view, the plane writer, image-map layers, the off-screen the markers are drawn on) asks these
// helpers for the memory row instead of looking at bottomUp itself.
#pragma once

#include <cstddef>
#include <cstdint>

struct CImage32 {
    std::uint8_t* pixels = nullptr;
    std::int32_t rowBytes = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bitsPerPixel = 32;
    std::int32_t bytesPerPixel = 4;
    std::int32_t bottomUp = 0; // 1: the first row in memory is the bottom row

    // Memory row holding the picture row `row` counted from the bottom edge (0 = bottom row). This is
    // the order of the camera's planes and of y in the top view: larger rows are further up.
    std::int32_t memory_row_from_bottom(std::int32_t row) const { return bottomUp ? row : height - 1 - row; }

    // First byte of the picture row `row` counted from the bottom; a plane writer fills plane row j
    // (bottom to top) into row_from_bottom(j).
    std::uint8_t* row_from_bottom(std::int32_t row) const
    {
        return pixels + std::ptrdiff_t(memory_row_from_bottom(row)) * rowBytes;
    }

    // First byte of the picture row `row` counted from the top edge (0 = top row).
    std::uint8_t* row_from_top(std::int32_t row) const { return row_from_bottom(height - 1 - row); }

    // Bytes from a picture row to the one just below it: negative when memory runs bottom up. With
    // row_from_top(0) it wraps the image for drawing in picture coordinates (row 0 at the top).
    std::ptrdiff_t step_down() const { return bottomUp ? -std::ptrdiff_t(rowBytes) : std::ptrdiff_t(rowBytes); }
};
