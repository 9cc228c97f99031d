#include "hostkit/World.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace hostkit {

World::World(int width, int height, int row_padding)
{
    resize(width, height, row_padding);
}

void World::resize(int width, int height, int row_padding)
{
    def_ = PF_LayerDef{};
    storage_.clear();
    if (width <= 0 || height <= 0)
        return;
    const std::size_t rowbytes = std::size_t(width) * sizeof(PF_Pixel) + std::size_t(std::max(row_padding, 0));
    storage_.assign(kGuardBytes + rowbytes * std::size_t(height) + kGuardBytes, kGuardByte);
    def_.world_flags = PF_WorldFlag_WRITEABLE;
    def_.data = reinterpret_cast<PF_PixelPtr>(storage_.data() + kGuardBytes);
    def_.rowbytes = A_long(rowbytes);
    def_.width = width;
    def_.height = height;
    def_.extent_hint = PF_Rect{0, 0, width, height};
    def_.pix_aspect_ratio = PF_RationalScale{1, 1};
    fill(PF_Pixel{255, 0, 0, 0});
}

PF_Pixel* World::row(int y)
{
    return reinterpret_cast<PF_Pixel*>(storage_.data() + kGuardBytes + std::size_t(y) * std::size_t(def_.rowbytes));
}

const PF_Pixel* World::row(int y) const
{
    return reinterpret_cast<const PF_Pixel*>(storage_.data() + kGuardBytes +
                                             std::size_t(y) * std::size_t(def_.rowbytes));
}

void World::fill(PF_Pixel p)
{
    for (int y = 0; y < height(); ++y)
        std::fill(row(y), row(y) + width(), p);
}

void World::fill_bytes(std::uint8_t byte)
{
    if (!storage_.empty())
        std::memset(storage_.data() + kGuardBytes, byte, std::size_t(def_.rowbytes) * std::size_t(height()));
}

bool World::guards_intact() const
{
    if (storage_.empty())
        return true;
    const auto is_guard = [](std::uint8_t b) { return b == kGuardByte; };
    return std::all_of(storage_.begin(), storage_.begin() + kGuardBytes, is_guard) &&
           std::all_of(storage_.end() - kGuardBytes, storage_.end(), is_guard);
}

std::uint64_t World::checksum() const
{
    // FNV-1a over the pixel bytes of every row.
    std::uint64_t h = 1469598103934665603ull;
    for (int y = 0; y < height(); ++y) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(row(y));
        for (std::size_t i = 0; i < std::size_t(width()) * sizeof(PF_Pixel); ++i)
            h = (h ^ p[i]) * 1099511628211ull;
    }
    return h;
}

World::World(World&& other) noexcept : storage_(std::move(other.storage_)), def_(other.def_)
{
    // A moved vector keeps its buffer, so the data pointer stays valid.
    other.def_ = PF_LayerDef{};
}

World& World::operator=(World&& other) noexcept
{
    if (this != &other) {
        storage_ = std::move(other.storage_);
        def_ = other.def_;
        other.def_ = PF_LayerDef{};
    }
    return *this;
}

} // namespace hostkit
