// An 8-bit image the host owns and lends to the plug-in as a layer world.
//
// Pixels are PF_Pixel in the host's memory order (alpha, red, green, blue), rows top to bottom,
// row r at data + r * rowbytes; rowbytes = width * 4 + row_padding (padding bytes belong to no pixel).
// The storage carries guard bands before the first and after the last row, so a write outside the
// image is detected (guards_intact) instead of silently corrupting host memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sdk/AE_Effect.h"

namespace hostkit {

class World {
public:
    World() = default;
    World(int width, int height, int row_padding = 0);

    // Reallocates; the pixels become opaque black and the guards are re-armed.
    void resize(int width, int height, int row_padding = 0);

    int width() const { return def_.width; }
    int height() const { return def_.height; }
    int rowbytes() const { return def_.rowbytes; }
    bool empty() const { return def_.data == nullptr; }

    PF_Pixel* row(int y);
    const PF_Pixel* row(int y) const;
    PF_Pixel& at(int x, int y) { return row(y)[x]; }
    const PF_Pixel& at(int x, int y) const { return row(y)[x]; }

    void fill(PF_Pixel p);
    // Sets every byte of the rows (padding included) to `byte`, e.g. to see what the plug-in wrote.
    void fill_bytes(std::uint8_t byte);

    // The description handed to the plug-in. It points into this object: keep the World alive and
    // unmoved while the plug-in may use it.
    PF_LayerDef& def() { return def_; }
    const PF_LayerDef& def() const { return def_; }

    bool guards_intact() const;
    // A cheap fingerprint of the pixel rows (padding excluded), to check that an input stayed unchanged.
    std::uint64_t checksum() const;

    World(const World&) = delete;
    World& operator=(const World&) = delete;
    World(World&& other) noexcept;
    World& operator=(World&& other) noexcept;

private:
    static constexpr std::size_t kGuardBytes = 64;
    static constexpr std::uint8_t kGuardByte = 0xE7;

    std::vector<std::uint8_t> storage_;
    PF_LayerDef def_{};
};

} // namespace hostkit
