// Image-map preparation: turns the layers picked as image maps into, for one frame, displacement
// elements of the ocean surface and/or textures in the three texture groups (on, above and below the
// surface). Nothing here knows the effect class; the render driver hands in each map's settings in
// engine units, the frame's downsample factors and the layer, and keeps a CImageMaps between the
// preparation and its clean-up at the end of the frame.
//
// Layers are CImage32 records: 4 bytes per pixel, blue, green, red, alpha in memory order, rows top to
// bottom in memory unless bottomUp is set. Every array built here runs "from the bottom of the layer
// up": row 0 of a displacement array or texture plane is the layer's bottom row, column 0 its left
// column (before mirroring).
//
// Result codes are the effect's internal error codes: 0 ok, 1 out of memory (or a displacement the
// surface refused).
#pragma once

#include "host/CImage32.h"

#include <cstddef>
#include <cstdint>

class HyOceanSurface;
class Hy2DTextureGroup;
struct HyTexture;

constexpr int kImageMapCount = 3;
constexpr int kImageMapMaxBlurTaps = 1002; // largest offset of the blur kernel (blur amount 1000)

// "Map is:" (1-based).
enum : std::int32_t {
    kMapDisplacement = 1,
    kMapTextureOn = 2,
    kMapTextureAbove = 3,
    kMapTextureBelow = 4,
    kMapDisplaceTextureOn = 5,
    kMapDisplaceTextureAbove = 6,
    kMapDisplaceTextureBelow = 7,
};

// "Displace on:" (1-based).
enum : std::int32_t {
    kDisplaceRed = 1,
    kDisplaceGreen = 2,
    kDisplaceBlue = 3,
    kDisplaceAlpha = 4,
    kDisplaceLuminance = 5,
    kDisplaceLightness = 6,
    kDisplaceHue = 7,
    kDisplaceSaturation = 8,
};

// "Layout:" (1-based).
enum : std::int32_t {
    kLayoutNormal = 1,
    kLayoutTile = 2,
    kLayoutStretch = 3,
};

// Texture kinds: the group a texture goes to.
enum : std::int32_t {
    kTextureNone = 0,
    kTextureOnSurface = 1,
    kTextureAboveSurface = 2,
    kTextureBelowSurface = 3,
};

// One map's settings in engine units (the image-map group of the settings record).
struct ImageMapParams {
    std::int32_t type = kMapDisplacement;
    std::int32_t channel = kDisplaceAlpha;
    double intensity = 1.0;
    double centre_x = 50.0, centre_y = 0.0; // metres
    double scale_x = 0.2;                   // value of "Scale X"
    double scale_y = 0.2;                   // value of "Scale Y"
    double angle = 0.0;                     // radians
    double blur = 0.0;                      // "Blur Amount"
    std::int32_t layout = kLayoutNormal;
};

// What every map of a frame shares.
struct ImageMapFrame {
    double downsample_x = 1.0; // horizontal downsample factor of the render (1 at full size)
    double downsample_y = 1.0;
    double max_distance = 3000.0; // metres, for "Stretch to Max distance"
    double camera_x = 0.0;        // metres, for "Stretch to Max distance"
};

// What the frame built for one map, kept for the markers of the grayscale view and for clean-up.
struct ImageMapState {
    std::uint32_t displacement_id = 0; // element id on the surface, 0 for none
    std::int32_t texture_id = 0;       // id in the group of texture_kind, 0 for none
    std::int32_t texture_kind = kTextureNone;
    HyTexture* texture = nullptr;      // owned until clean-up
};

// Texture kind of a "Map is:" value: 2, 5 on the surface; 3, 6 above; 4, 7 below; else none.
std::int32_t texture_kind_of_map_type(std::int32_t type);
bool map_type_displaces(std::int32_t type);

// Channel values in about -1..1 (before the intensity) of one pixel given as bytes.
double displacement_channel_value(std::int32_t channel, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                  std::uint8_t alpha);
// The standard conversion of red, green, blue in 0..1 to hue (0..1), lightness and saturation.
void rgb_to_hls(double red, double green, double blue, double& hue, double& lightness, double& saturation);

// Blur kernel for a blur amount (clamped to 0..1000): weights[0] the centre, weights[k] offset +-k, for
// k = 0..taps; the centre plus both sides sum to 1. Returns taps (the largest offset), or 0 for no blur.
// `weights` holds at least kImageMapMaxBlurTaps + 1 values.
int make_blur_kernel(double amount, double* weights);
// Bytes of scratch that blur_array needs for an nx x ny array and a kernel of `taps`.
std::size_t blur_scratch_bytes(std::int32_t nx, std::int32_t ny, int taps);
// Separable blur of an nx x ny float array (node (i, j) at j * stride + i) over rows, then columns; taps
// beyond an end take the end sample. `scratch`: blur_scratch_bytes(nx, ny, taps) bytes, aligned for
// doubles (as the tagged allocator's blocks are).
void blur_array(float* values, std::int32_t nx, std::int32_t ny, std::int64_t stride, const double* weights,
                int taps, void* scratch);
// Same, taking its scratch from the tagged allocator; false when that fails (values untouched).
bool blur_array(float* values, std::int32_t nx, std::int32_t ny, std::int64_t stride, double amount);

// Fills an nx x ny array (node (i, j) at j * stride + i, nx = layer width, ny = layer height) with the
// channel value times the intensity, rows from the bottom of the layer up, mirrored left to right when
// mirror_x and top to bottom when mirror_y.
void fill_displacement_values(const CImage32& layer, std::int32_t channel, double intensity, bool mirror_x,
                              bool mirror_y, float* values, std::int64_t stride);
// Three byte planes of width x height (no padding), red, green and blue premultiplied by alpha as
// value * alpha * 256 / 65280 (integer division), rows from the bottom of the layer up, mirrored as above.
void fill_texture_planes(const CImage32& layer, bool mirror_x, bool mirror_y, std::uint8_t* red,
                         std::uint8_t* green, std::uint8_t* blue);

// True when the record has pixels to read: a pointer, width and height above 0, row bytes >= 4 * width.
bool layer_usable(const CImage32* layer);

// The three maps of one frame and the texture groups they created. Keep it from PrepareDisplacements to
// CleanUp; CleanUp leaves it empty again. Not copyable (it owns textures and groups).
class CImageMaps {
public:
    CImageMaps() = default;
    ~CImageMaps(); // frees textures and groups still held (the surface's elements need CleanUp)
    CImageMaps(const CImageMaps&) = delete;
    CImageMaps& operator=(const CImageMaps&) = delete;

    // One map's displacement element: nothing for a map without a usable layer, of a type that does not
    // displace, with a zero scale, or a layer under 2 x 2 or over 8192 pixels on a side (these say so
    // on the error stream). Returns 0, or 1 when the surface refuses the element or memory runs out.
    std::int32_t PrepareDisplacement(int index, const ImageMapParams& params, const ImageMapFrame& frame,
                                     const CImage32* layer, HyOceanSurface* surface);
    // One map's texture: nothing for a map without a usable layer, of type 1, or with a zero extent; a
    // texture the texture object or its group refuses is dropped. Returns 0, or 1 when memory runs out.
    std::int32_t PrepareTexture(int index, const ImageMapParams& params, const ImageMapFrame& frame,
                                const CImage32* layer);
    // All three maps in order; layers[i] may be null. Stops at the first failure and returns it; what was
    // built stays recorded, so the caller's CleanUp removes it.
    std::int32_t PrepareDisplacements(const ImageMapParams params[kImageMapCount], const ImageMapFrame& frame,
                                      const CImage32* const layers[kImageMapCount], HyOceanSurface* surface);
    std::int32_t PrepareTextures(const ImageMapParams params[kImageMapCount], const ImageMapFrame& frame,
                                 const CImage32* const layers[kImageMapCount]);

    // Removes every displacement element from the surface (null: forgets the ids), removes every
    // texture from its group and frees it, deletes the three groups.
    void CleanUp(HyOceanSurface* surface);

    const ImageMapState& map(int index) const { return maps_[index]; }
    // Group of a texture kind (1..3), null when none was created this frame.
    Hy2DTextureGroup* group(std::int32_t kind) const;
    Hy2DTextureGroup* on_surface() const { return groups_[0]; }
    Hy2DTextureGroup* above_surface() const { return groups_[1]; }
    Hy2DTextureGroup* below_surface() const { return groups_[2]; }

private:
    void release_textures();
    ImageMapState maps_[kImageMapCount];
    Hy2DTextureGroup* groups_[3] = {nullptr, nullptr, nullptr};
};
