// A 32-bit image handed between the render command and the effect.
//
// Layout: `height` rows of `width` pixels, 4 bytes each; row r starts at pixels + r * rowBytes
// (rowBytes >= 4 * width, padding allowed). Rows run top to bottom unless bottomUp is set.
// Byte order inside the effect is blue, green, red, alpha; the host's is alpha, red, green, blue, and
// the render command reverses the four bytes of each pixel on the way in and out.
#pragma once

#include <cstdint>

struct CImage32 {
    std::uint8_t* pixels = nullptr;
    std::int32_t rowBytes = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bitsPerPixel = 32;
    std::int32_t bytesPerPixel = 4;
    std::int32_t bottomUp = 0; // 1: the first row in memory is the bottom row
};
