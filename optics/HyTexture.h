// Image maps laid flat on, above or below the sea: a pyramid of box-filtered 8-bit levels per channel with
// a physical size in metres, sampled at a point of the sea plane with a footprint, and groups of placed
// (centred, rotated) textures whose samples add up.
//
// Pixel planes: one 8-bit plane per channel, row-major, `width` bytes per row, no padding, row 0 at the
// texture's -v edge (the bottom of the layer), column 0 at its -u edge. Pixel (i, j) is byte j * width + i.
#pragma once

#include <cstdint>

#include "platform/HyMemory.h"

constexpr int kHyTextureMaxChannels = 4;
constexpr int kHyTextureMaxLevels = 32;
constexpr int kHyTextureGroupCapacity = 10;

// What the render driver hands over to build one texture. The planes are borrowed (copied by the build).
struct HyTextureDesc {
    double width_m = 0.0;
    double height_m = 0.0;
    std::int32_t width_px = 0;
    std::int32_t height_px = 0;
    const std::uint8_t* planes[kHyTextureMaxChannels] = {nullptr, nullptr, nullptr, nullptr};
    std::int32_t build_pyramid = 1;
    std::int32_t tile = 0;
    std::int32_t channels = 3;
};

struct HyTexture : public HyAllocated {
    HyTexture() = default;
    HyTexture(const HyTexture&) = delete;
    HyTexture& operator=(const HyTexture&) = delete;
    ~HyTexture(); // releases the level planes

    std::int32_t ready = 0;
    double width_m = 0.0, height_m = 0.0;
    double half_width = 0.0, half_height = 0.0;
    // Level planes, level l and channel k: level_width[l] x level_height[l] bytes, layout as above.
    std::uint8_t* planes[kHyTextureMaxLevels][kHyTextureMaxChannels] = {};
    std::int32_t width_px = 0, height_px = 0;
    std::int32_t build_pyramid = 1;
    std::int32_t tile = 0;
    std::int32_t levels = 0;
    std::int32_t factor[kHyTextureMaxLevels] = {};       // 2^l
    std::int32_t level_width[kHyTextureMaxLevels] = {};  // ceil(width_px / 2^l)
    std::int32_t level_height[kHyTextureMaxLevels] = {}; // ceil(height_px / 2^l)
    double metres_per_pixel_x[kHyTextureMaxLevels] = {};
    double metres_per_pixel_y[kHyTextureMaxLevels] = {};
    double pixels_per_metre_x[kHyTextureMaxLevels] = {};
    double pixels_per_metre_y[kHyTextureMaxLevels] = {};
    std::int32_t channels = 0;
    double footprint_scale = 1.0; // from the map's blur amount
    double value_scale = 1.0;     // samples are multiplied by value_scale / 255
};

// A set of textures of one kind placed on the sea plane. The group does not own its textures.
class Hy2DTextureGroup : public HyAllocated {
public:
    // `capacity` is clamped to 1..10.
    explicit Hy2DTextureGroup(int channels = 3, int capacity = kHyTextureGroupCapacity);
    // 0.
    virtual ~Hy2DTextureGroup();

    std::int32_t channels;
    std::int32_t capacity;
    std::int32_t last_id = 0;
    std::int32_t count = 0;
    std::int32_t ids[kHyTextureGroupCapacity] = {};
    HyTexture* textures[kHyTextureGroupCapacity] = {};
    double centre_x[kHyTextureGroupCapacity] = {};
    double centre_y[kHyTextureGroupCapacity] = {};
    double angle[kHyTextureGroupCapacity] = {};
    double cos_angle[kHyTextureGroupCapacity];
    double sin_angle[kHyTextureGroupCapacity] = {};
    double default_footprint = 1.0; // metres
};

// Copies the descriptor, sets the half sizes and builds the pyramid. Returns 1, or 0 with a message
// (the texture is then left released and not ready).
int build_texture(HyTexture* texture, const HyTextureDesc* desc);
void set_footprint_scale(HyTexture* texture, double value);
// Frees every level plane; the texture is no longer ready.
void release_texture(HyTexture* texture);

// Places a texture centred at (cx, cy) metres, rotated by `angle` radians (counter-clockwise).
// Returns its new identifier, or 0 when the group is full (or the texture is null).
int add_texture(Hy2DTextureGroup* group, HyTexture* texture, double cx, double cy, double angle);
// Removes a placed texture, keeping the order of the others; 0 when no placed texture has that id.
int remove_texture(Hy2DTextureGroup* group, int id);
int texture_count(const Hy2DTextureGroup* group);
// Corners of a placed texture in world metres, in the order (-w/2, +h/2), (-w/2, -h/2), (+w/2, +h/2),
// (+w/2, -h/2) of its own frame; each corner is x, y. Returns 0 when no placed texture has that id.
int texture_corners(const Hy2DTextureGroup* group, int id, double corners[4][2]);
// Per channel (group channel count values) the sum of the samples of all placed textures at world (x, y),
// with the footprint in metres (the group's default footprint when omitted).
void sample_group(const Hy2DTextureGroup* group, double* values, double x, double y);
void sample_group(const Hy2DTextureGroup* group, double* values, double x, double y, double footprint);
// Per channel (texture channel count values) the filtered sample at (u, v) metres from the texture centre.
void sample_texture(const HyTexture* texture, double* values, double u, double v, double footprint);
