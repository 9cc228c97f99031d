#include "host/ImageMaps.h"

#include "ocean/HyOceanSurface.h"
#include "optics/HyTexture.h"
#include "platform/HyMemory.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The surface takes displacement arrays of at most this many nodes a side.
constexpr std::int32_t kMaxDisplacementSide = 8192;
constexpr double kMaxBlurAmount = 1000.0;

double smoothstep01(double t)
{
    if (t <= 0.0)
        return 0.0;
    if (t >= 1.0)
        return 1.0;
    return t * t * (3.0 - 2.0 * t);
}

bool finite_nonzero(double v)
{
    return std::isfinite(v) && v != 0.0;
}

void report(const char* text)
{
    std::fprintf(stderr, "%s\n", text);
}

void report_out_of_memory(const char* where)
{
    std::fprintf(stderr, "%s\n", where);
    std::fprintf(stdout, "Out of Memory\n");
}

} // namespace

std::int32_t texture_kind_of_map_type(std::int32_t type)
{
    switch (type) {
    case kMapTextureOn:
    case kMapDisplaceTextureOn:
        return kTextureOnSurface;
    case kMapTextureAbove:
    case kMapDisplaceTextureAbove:
        return kTextureAboveSurface;
    case kMapTextureBelow:
    case kMapDisplaceTextureBelow:
        return kTextureBelowSurface;
    default:
        return kTextureNone;
    }
}

bool map_type_displaces(std::int32_t type)
{
    return type == kMapDisplacement || type == kMapDisplaceTextureOn || type == kMapDisplaceTextureAbove ||
           type == kMapDisplaceTextureBelow;
}

void rgb_to_hls(double red, double green, double blue, double& hue, double& lightness, double& saturation)
{
    const double mx = std::max(red, std::max(green, blue));
    const double mn = std::min(red, std::min(green, blue));
    lightness = (mx + mn) / 2.0;
    if (mx == mn) {
        hue = 0.0;
        saturation = 0.0;
        return;
    }
    const double span = mx - mn;
    saturation = lightness < 0.5 ? span / (mx + mn) : span / (2.0 - mx - mn);
    double h;
    if (red == mx)
        h = (green - blue) / span;
    else if (green == mx)
        h = (blue - red) / span + 2.0;
    else
        h = (red - green) / span + 4.0;
    h /= 6.0;
    if (h < 0.0)
        h += 1.0;
    hue = h;
}

double displacement_channel_value(std::int32_t channel, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                  std::uint8_t alpha)
{
    switch (channel) {
    case kDisplaceRed:
        return red / 127.0 - 1.0;
    case kDisplaceGreen:
        return green / 127.0 - 1.0;
    case kDisplaceBlue:
        return blue / 127.0 - 1.0;
    case kDisplaceAlpha:
        return alpha / 127.0 - 1.0;
    case kDisplaceLuminance: {
        const double l = (117.0 * red + 204.0 * green + 64.0 * blue) / (385.0 * 255.0) * (alpha / 255.0);
        return 2.0 * l - 1.0;
    }
    case kDisplaceLightness:
    case kDisplaceHue:
    case kDisplaceSaturation: {
        double h = 0, l = 0, s = 0;
        rgb_to_hls(red / 255.0, green / 255.0, blue / 255.0, h, l, s);
        const double c = channel == kDisplaceLightness ? l : (channel == kDisplaceHue ? h : s);
        return 2.0 * c - 1.0;
    }
    default:
        return 0.0;
    }
}

int make_blur_kernel(double amount, double* weights)
{
    if (!(amount > 0.0))
        return 0;
    amount = std::min(amount, kMaxBlurAmount);
    const double r = amount + 1.0;
    const int taps = static_cast<int>(std::floor(r)) + 1;
    weights[0] = 1.0;
    double sum = 1.0;
    for (int k = 1; k <= taps; ++k) {
        weights[k] = smoothstep01((r - k) / r);
        sum += 2.0 * weights[k];
    }
    for (int k = 0; k <= taps; ++k)
        weights[k] /= sum;
    return taps;
}

namespace {

// Columns filtered together: a block of them is copied side by side so that the column pass reads
// memory in order instead of one cache line per sample.
constexpr int kColumnBlock = 16;

// Filters one row in place. The row is first copied into `padded` with `taps` copies of each end sample
// on either side, so that taps beyond an end read the end sample. The sums run tap by tap across the
// row (in `sum`) so that the inner loop has no dependency from one sample to the next.
void blur_row(float* values, std::int32_t count, const double* weights, int taps, double* sum, float* padded)
{
    padded += taps;
    for (std::int32_t i = 0; i < count; ++i)
        padded[i] = values[i];
    for (int k = 1; k <= taps; ++k) {
        padded[-k] = padded[0];
        padded[count - 1 + k] = padded[count - 1];
    }
    for (std::int32_t i = 0; i < count; ++i)
        sum[i] = weights[0] * padded[i];
    for (int k = 1; k <= taps; ++k) {
        const double w = weights[k];
        const float* below = padded - k;
        const float* above = padded + k;
        for (std::int32_t i = 0; i < count; ++i)
            sum[i] += w * (double(below[i]) + double(above[i]));
    }
    for (std::int32_t i = 0; i < count; ++i)
        values[i] = static_cast<float>(sum[i]);
}

// Filters columns first..first + width - 1 (width <= kColumnBlock) in place, with the same end rule.
// scratch: (ny + 2 * taps) rows of kColumnBlock floats.
void blur_columns(float* values, std::int32_t first, int width, std::int32_t ny, std::int64_t stride,
                  const double* weights, int taps, float* scratch)
{
    float* padded = scratch + std::int64_t(taps) * kColumnBlock;
    for (std::int32_t j = 0; j < ny; ++j) {
        const float* src = values + j * stride + first;
        for (int b = 0; b < width; ++b)
            padded[std::int64_t(j) * kColumnBlock + b] = src[b];
    }
    for (int k = 1; k <= taps; ++k) {
        for (int b = 0; b < width; ++b) {
            padded[-std::int64_t(k) * kColumnBlock + b] = padded[b];
            padded[std::int64_t(ny - 1 + k) * kColumnBlock + b] = padded[std::int64_t(ny - 1) * kColumnBlock + b];
        }
    }
    for (std::int32_t j = 0; j < ny; ++j) {
        const float* p = padded + std::int64_t(j) * kColumnBlock;
        double sum[kColumnBlock];
        for (int b = 0; b < kColumnBlock; ++b)
            sum[b] = weights[0] * p[b];
        for (int k = 1; k <= taps; ++k) {
            const float* below = p - std::int64_t(k) * kColumnBlock;
            const float* above = p + std::int64_t(k) * kColumnBlock;
            for (int b = 0; b < kColumnBlock; ++b)
                sum[b] += weights[k] * (double(below[b]) + double(above[b]));
        }
        float* dst = values + j * stride + first;
        for (int b = 0; b < width; ++b)
            dst[b] = static_cast<float>(sum[b]);
    }
}

} // namespace

std::size_t blur_scratch_bytes(std::int32_t nx, std::int32_t ny, int taps)
{
    const std::size_t t = std::size_t(taps > 0 ? taps : 0);
    const std::size_t w = std::size_t(nx > 0 ? nx : 0), h = std::size_t(ny > 0 ? ny : 0);
    const std::size_t rows = w * sizeof(double) + (w + 2 * t) * sizeof(float);
    const std::size_t columns = (h + 2 * t) * kColumnBlock * sizeof(float);
    return std::max(rows, columns);
}

void blur_array(float* values, std::int32_t nx, std::int32_t ny, std::int64_t stride, const double* weights,
                int taps, void* scratch)
{
    if (!values || nx <= 0 || ny <= 0 || taps <= 0 || !scratch)
        return;
    // Row pass: nx double sums, then the padded row. Column pass: the padded block of columns.
    double* sums = static_cast<double*>(scratch);
    float* padded = reinterpret_cast<float*>(sums + nx);
    for (std::int32_t j = 0; j < ny; ++j)
        blur_row(values + j * stride, nx, weights, taps, sums, padded);
    float* block = static_cast<float*>(scratch);
    // The block's unused lanes are summed too; keep them finite. They are never written back.
    for (std::size_t k = 0, n = (std::size_t(ny) + 2 * std::size_t(taps)) * kColumnBlock; k < n; ++k)
        block[k] = 0.0f;
    for (std::int32_t i = 0; i < nx; i += kColumnBlock)
        blur_columns(values, i, std::min<std::int32_t>(kColumnBlock, nx - i), ny, stride, weights, taps, block);
}

bool blur_array(float* values, std::int32_t nx, std::int32_t ny, std::int64_t stride, double amount)
{
    double weights[kImageMapMaxBlurTaps + 1];
    const int taps = make_blur_kernel(amount, weights);
    if (taps == 0 || !values || nx <= 0 || ny <= 0)
        return true;
    void* scratch = hymem::allocate(blur_scratch_bytes(nx, ny, taps));
    if (!scratch)
        return false;
    blur_array(values, nx, ny, stride, weights, taps, scratch);
    hymem::release(scratch);
    return true;
}

bool layer_usable(const CImage32* layer)
{
    return layer && layer->pixels && layer->width > 0 && layer->height > 0 &&
           std::int64_t(layer->rowBytes) >= 4 * std::int64_t(layer->width);
}

void fill_displacement_values(const CImage32& layer, std::int32_t channel, double intensity, bool mirror_x,
                              bool mirror_y, float* values, std::int64_t stride)
{
    const std::int32_t w = layer.width, h = layer.height;
    // The four byte channels go through a table that already holds the intensity.
    float table[256];
    const bool by_table = channel >= kDisplaceRed && channel <= kDisplaceAlpha;
    if (by_table)
        for (int b = 0; b < 256; ++b)
            table[b] = static_cast<float>((b / 127.0 - 1.0) * intensity);
    // Byte offset of the channel inside a blue, green, red, alpha pixel.
    const int offset = channel == kDisplaceRed ? 2 : channel == kDisplaceGreen ? 1 : channel == kDisplaceBlue ? 0 : 3;
    for (std::int32_t j = 0; j < h; ++j) {
        const std::uint8_t* src = layer.row_from_bottom(j);
        float* dst = values + std::int64_t(mirror_y ? h - 1 - j : j) * stride;
        for (std::int32_t i = 0; i < w; ++i) {
            const std::uint8_t* p = src + 4 * std::int64_t(i);
            const std::int32_t di = mirror_x ? w - 1 - i : i;
            if (by_table)
                dst[di] = table[p[offset]];
            else
                dst[di] = static_cast<float>(displacement_channel_value(channel, p[2], p[1], p[0], p[3]) * intensity);
        }
    }
}

void fill_texture_planes(const CImage32& layer, bool mirror_x, bool mirror_y, std::uint8_t* red,
                         std::uint8_t* green, std::uint8_t* blue)
{
    const std::int32_t w = layer.width, h = layer.height;
    for (std::int32_t j = 0; j < h; ++j) {
        const std::uint8_t* src = layer.row_from_bottom(j);
        const std::int64_t base = std::int64_t(mirror_y ? h - 1 - j : j) * w;
        for (std::int32_t i = 0; i < w; ++i) {
            const std::uint8_t* p = src + 4 * std::int64_t(i);
            const std::int64_t at = base + (mirror_x ? w - 1 - i : i);
            const unsigned a256 = unsigned(p[3]) * 256u;
            red[at] = static_cast<std::uint8_t>(p[2] * a256 / 65280u);
            green[at] = static_cast<std::uint8_t>(p[1] * a256 / 65280u);
            blue[at] = static_cast<std::uint8_t>(p[0] * a256 / 65280u);
        }
    }
}

CImageMaps::~CImageMaps()
{
    release_textures();
}

Hy2DTextureGroup* CImageMaps::group(std::int32_t kind) const
{
    return kind >= 1 && kind <= 3 ? groups_[kind - 1] : nullptr;
}

std::int32_t CImageMaps::PrepareDisplacement(int index, const ImageMapParams& params, const ImageMapFrame& frame,
                                             const CImage32* layer, HyOceanSurface* surface)
{
    if (index < 0 || index >= kImageMapCount)
        return 2;
    ImageMapState& state = maps_[index];
    if (state.displacement_id != 0 && surface)
        surface->remove_displacement_grid(state.displacement_id);
    state.displacement_id = 0;

    if (!layer_usable(layer) || !map_type_displaces(params.type))
        return 0;
    // A zero scale switches the map off in every layout, also where the layout replaces a spacing.
    if (!finite_nonzero(params.scale_x) || !finite_nonzero(params.scale_y))
        return 0;

    HyDisplacement_data d;
    d.nx = layer->width;
    d.ny = layer->height;
    d.dx = std::fabs(params.scale_y * frame.downsample_x);
    d.dy = std::fabs(params.scale_x * frame.downsample_y);
    d.centre_x = params.centre_x;
    d.centre_y = params.centre_y;
    d.angle = params.angle;
    d.periodic = params.layout == kLayoutTile ? 1 : 0;
    if (params.layout == kLayoutStretch) {
        d.dy = frame.max_distance * 0.5;
        d.centre_x = frame.max_distance * 0.5 + frame.camera_x;
    }
    if (!finite_nonzero(d.dx) || !finite_nonzero(d.dy))
        return 0;
    if (d.nx < 2 || d.ny < 2) {
        report("CImageMaps::PrepareDisplacement layer too small to displace (under 2 x 2 pixels), skipped ");
        return 0;
    }
    if (d.nx > kMaxDisplacementSide || d.ny > kMaxDisplacementSide) {
        report("CImageMaps::PrepareDisplacement layer too large to displace (over 8192 pixels a side), skipped ");
        return 0;
    }

    double weights[kImageMapMaxBlurTaps + 1];
    const int taps = make_blur_kernel(params.blur, weights);
    void* scratch = nullptr;
    if (taps > 0) {
        scratch = hymem::allocate(blur_scratch_bytes(d.nx, d.ny, taps));
        if (!scratch) {
            report_out_of_memory("CImageMaps::PrepareDisplacement unable to allocate blur buffer ");
            return 1;
        }
    }
    if (!surface) {
        hymem::release(scratch);
        report("CImageMaps::PrepareDisplacement no surface to displace ");
        return 1;
    }
    const std::uint32_t id = surface->add_new_displacement_grid(d);
    HyOcean_data* element = nullptr;
    float* array = nullptr;
    if (id != 0 && surface->get_bare_pointer(id, element) && element)
        array = element->get_height_array();
    if (!array) {
        if (id != 0)
            surface->remove_displacement_grid(id);
        hymem::release(scratch);
        report("CImageMaps::PrepareDisplacement the surface refused the displacement grid ");
        return 1;
    }
    // The grid's own array is the buffer: node (i, j) at j * nx + i, exactly the layout filled here.
    // Mirroring while filling equals mirroring after the blur, as the kernel is symmetric.
    fill_displacement_values(*layer, params.channel, params.intensity, params.scale_x < 0.0, params.scale_y < 0.0,
                             array, d.nx);
    if (taps > 0)
        blur_array(array, d.nx, d.ny, d.nx, weights, taps, scratch);
    hymem::release(scratch);
    state.displacement_id = id;
    return 0;
}

std::int32_t CImageMaps::PrepareTexture(int index, const ImageMapParams& params, const ImageMapFrame& frame,
                                        const CImage32* layer)
{
    if (index < 0 || index >= kImageMapCount)
        return 2;
    ImageMapState& state = maps_[index];
    if (state.texture) {
        remove_texture(group(state.texture_kind), state.texture_id);
        delete state.texture;
    }
    state.texture = nullptr;
    state.texture_id = 0;
    state.texture_kind = kTextureNone;

    const std::int32_t kind = texture_kind_of_map_type(params.type);
    if (kind == kTextureNone || !layer_usable(layer))
        return 0;
    if (!finite_nonzero(params.scale_x) || !finite_nonzero(params.scale_y))
        return 0;

    const std::int32_t w = layer->width, h = layer->height;
    double width_m = w * frame.downsample_x * std::fabs(params.scale_y);
    double height_m = h * frame.downsample_y * std::fabs(params.scale_x);
    double cx = params.centre_x, cy = params.centre_y;
    if (params.layout == kLayoutStretch) {
        height_m = frame.max_distance * frame.downsample_y;
        cx = frame.max_distance * 0.5 + frame.camera_x;
    }
    if (!finite_nonzero(width_m) || !finite_nonzero(height_m))
        return 0;

    const std::size_t plane = std::size_t(w) * std::size_t(h);
    std::uint8_t* planes = hymem::allocate_array<std::uint8_t>(3 * plane);
    if (!planes) {
        report_out_of_memory("CImageMaps::PrepareTexture unable to allocate texture planes ");
        return 1;
    }
    fill_texture_planes(*layer, params.scale_x < 0.0, params.scale_y < 0.0, planes, planes + plane,
                        planes + 2 * plane);

    HyTexture* texture = new HyTexture;
    if (!texture) {
        hymem::release(planes);
        report_out_of_memory("CImageMaps::PrepareTexture unable to allocate texture ");
        return 1;
    }
    HyTextureDesc desc;
    desc.width_m = std::fabs(width_m);
    desc.height_m = std::fabs(height_m);
    desc.width_px = w;
    desc.height_px = h;
    desc.planes[0] = planes;
    desc.planes[1] = planes + plane;
    desc.planes[2] = planes + 2 * plane;
    desc.build_pyramid = 1;
    desc.tile = params.layout == kLayoutTile ? 1 : 0;
    desc.channels = 3;
    const int built = build_texture(texture, &desc);
    hymem::release(planes); // the texture keeps its own copy
    if (!built) {
        delete texture;
        report("CImageMaps::PrepareTexture texture not built, the map adds no texture ");
        return 0;
    }
    set_footprint_scale(texture, params.blur);

    Hy2DTextureGroup*& g = groups_[kind - 1];
    if (!g) {
        g = new Hy2DTextureGroup(3, kImageMapCount);
        if (!g) {
            delete texture;
            report_out_of_memory("CImageMaps::PrepareTexture unable to allocate texture group ");
            return 1;
        }
    }
    const int id = add_texture(g, texture, cx, cy, params.angle);
    if (id == 0) {
        delete texture;
        report("CImageMaps::PrepareTexture texture group full, the map adds no texture ");
        return 0;
    }
    state.texture = texture;
    state.texture_id = id;
    state.texture_kind = kind;
    return 0;
}

std::int32_t CImageMaps::PrepareDisplacements(const ImageMapParams params[kImageMapCount],
                                              const ImageMapFrame& frame,
                                              const CImage32* const layers[kImageMapCount], HyOceanSurface* surface)
{
    for (int i = 0; i < kImageMapCount; ++i)
        if (const std::int32_t r = PrepareDisplacement(i, params[i], frame, layers[i], surface))
            return r;
    return 0;
}

std::int32_t CImageMaps::PrepareTextures(const ImageMapParams params[kImageMapCount], const ImageMapFrame& frame,
                                         const CImage32* const layers[kImageMapCount])
{
    for (int i = 0; i < kImageMapCount; ++i)
        if (const std::int32_t r = PrepareTexture(i, params[i], frame, layers[i]))
            return r;
    return 0;
}

void CImageMaps::release_textures()
{
    for (ImageMapState& m : maps_) {
        if (m.texture) {
            if (Hy2DTextureGroup* g = group(m.texture_kind))
                remove_texture(g, m.texture_id);
            delete m.texture;
        }
        m.texture = nullptr;
        m.texture_id = 0;
        m.texture_kind = kTextureNone;
    }
    for (Hy2DTextureGroup*& g : groups_) {
        delete g;
        g = nullptr;
    }
}

void CImageMaps::CleanUp(HyOceanSurface* surface)
{
    for (ImageMapState& m : maps_) {
        if (m.displacement_id != 0 && surface)
            surface->remove_displacement_grid(m.displacement_id);
        m.displacement_id = 0;
    }
    release_textures();
}
