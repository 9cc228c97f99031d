#include "optics/HyTexture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void report(const char* what)
{
    std::fprintf(stderr, "HyTexture::build_texture: %s\n", what);
}

// Level l > 0 from level l - 1: plain 2 x 2 box averages inside; the last column and row may stand for a
// partial block of the base image, so they average the in-bounds base pixels instead of the (already
// rounded, partially padded) level above.
void build_level(HyTexture* t, int l, int k)
{
    const int w = t->level_width[l], h = t->level_height[l];
    const int pw = t->level_width[l - 1];
    const int w0 = t->level_width[0], h0 = t->level_height[0];
    const int f = t->factor[l];
    const std::uint8_t* prev = t->planes[l - 1][k];
    const std::uint8_t* base = t->planes[0][k];
    std::uint8_t* out = t->planes[l][k];
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            double avg;
            if (i < w - 1 && j < h - 1) {
                const std::uint8_t* r0 = prev + std::size_t(2 * j) * pw + 2 * i;
                const std::uint8_t* r1 = r0 + pw;
                avg = (double(r0[0]) + r0[1] + r1[0] + r1[1]) / 4.0;
            } else {
                const int x0 = f * i, y0 = f * j;
                const int x1 = std::min(x0 + f, w0), y1 = std::min(y0 + f, h0);
                double sum = 0.0;
                for (int y = y0; y < y1; ++y) {
                    const std::uint8_t* row = base + std::size_t(y) * w0;
                    for (int x = x0; x < x1; ++x)
                        sum += row[x];
                }
                const int n = (x1 - x0) * (y1 - y0);
                avg = (n > 0) ? sum / n : 0.0;
            }
            out[std::size_t(j) * w + i] = std::uint8_t(int(avg + 0.499));
        }
    }
}

// Bilinear sample of every channel of level l at (u, v) metres from the centre; neighbours past the
// level's edge carry no weight.
void bilinear(const HyTexture* t, int l, double u, double v, double* out)
{
    const int w = t->level_width[l], h = t->level_height[l];
    double px = (t->half_width + u) * t->pixels_per_metre_x[l];
    double py = (t->half_height + v) * t->pixels_per_metre_y[l];
    if (t->tile) {
        px -= (w >= 2) ? std::floor(px / w) * w : std::floor(px);
        py -= (h >= 2) ? std::floor(py / h) * h : std::floor(py);
    }
    px = std::clamp(px - 0.5, 0.0, double(w - 1));
    py = std::clamp(py - 0.5, 0.0, double(h - 1));
    if (!(px == px))
        px = 0.0; // NaN position
    if (!(py == py))
        py = 0.0;
    const int i = int(std::floor(px)), j = int(std::floor(py));
    const double fx = px - i, fy = py - j;
    const bool has_x = i + 1 < w, has_y = j + 1 < h;
    const double w00 = (1 - fx) * (1 - fy);
    const double w10 = has_x ? fx * (1 - fy) : 0.0;
    const double w01 = has_y ? (1 - fx) * fy : 0.0;
    const double w11 = (has_x && has_y) ? fx * fy : 0.0;
    const std::size_t o = std::size_t(j) * w + i;
    for (int k = 0; k < t->channels; ++k) {
        const std::uint8_t* p = t->planes[l][k];
        double s = w00 * p[o];
        if (has_x)
            s += w10 * p[o + 1];
        if (has_y)
            s += w01 * p[o + w];
        if (has_x && has_y)
            s += w11 * p[o + w + 1];
        out[k] = s;
    }
}

} // namespace

HyTexture::~HyTexture() { release_texture(this); }

void release_texture(HyTexture* t)
{
    if (!t)
        return;
    for (int l = 0; l < kHyTextureMaxLevels; ++l)
        for (int k = 0; k < kHyTextureMaxChannels; ++k)
            if (t->planes[l][k]) {
                hymem::release(t->planes[l][k]);
                t->planes[l][k] = nullptr;
            }
    t->ready = 0;
    t->levels = 0;
}

void set_footprint_scale(HyTexture* t, double value)
{
    if (t)
        t->footprint_scale = value;
}

int build_texture(HyTexture* t, const HyTextureDesc* d)
{
    if (!t || !d) {
        report("no texture or descriptor");
        return 0;
    }
    release_texture(t);
    int present = 0;
    const int nch = d->channels;
    if (nch > 0 && nch <= kHyTextureMaxChannels)
        for (int k = 0; k < nch; ++k)
            present += d->planes[k] ? 1 : 0;
    if (nch <= 0 || nch > kHyTextureMaxChannels || present == 0) {
        std::printf("base image not allocated\n");
        return 0;
    }
    if (present < nch) {
        std::printf("base image not alloated\n");
        return 0;
    }
    if (d->width_px <= 0 || d->height_px <= 0) {
        report("image has no pixels");
        return 0;
    }
    if (!(d->width_m > 0.0) || !(d->height_m > 0.0) || !std::isfinite(d->width_m) || !std::isfinite(d->height_m)) {
        report("texture size in metres must be positive");
        return 0;
    }

    t->width_m = d->width_m;
    t->height_m = d->height_m;
    t->half_width = d->width_m * 0.5;
    t->half_height = d->height_m * 0.5;
    t->width_px = d->width_px;
    t->height_px = d->height_px;
    t->build_pyramid = d->build_pyramid;
    t->tile = d->tile;
    t->channels = nch;

    int levels = 1;
    if (d->build_pyramid) {
        int m = std::min(d->width_px, d->height_px);
        if (m >= 3)
            while (m > 2) {
                m /= 2;
                ++levels;
            }
    }
    levels = std::min(levels, kHyTextureMaxLevels);
    t->levels = levels;
    const double mx0 = d->width_m / d->width_px, my0 = d->height_m / d->height_px;
    for (int l = 0; l < levels; ++l) {
        const int f = 1 << l;
        t->factor[l] = f;
        t->level_width[l] = d->width_px / f + (d->width_px % f ? 1 : 0);
        t->level_height[l] = d->height_px / f + (d->height_px % f ? 1 : 0);
        t->metres_per_pixel_x[l] = mx0 * f;
        t->metres_per_pixel_y[l] = my0 * f;
        t->pixels_per_metre_x[l] = 1.0 / t->metres_per_pixel_x[l];
        t->pixels_per_metre_y[l] = 1.0 / t->metres_per_pixel_y[l];
    }

    for (int l = 0; l < levels; ++l) {
        const std::size_t n = std::size_t(t->level_width[l]) * std::size_t(t->level_height[l]);
        for (int k = 0; k < nch; ++k) {
            t->planes[l][k] = hymem::allocate_array<std::uint8_t>(n);
            if (!t->planes[l][k]) {
                std::printf("unable to allocate texture memory \n");
                release_texture(t);
                return 0;
            }
        }
    }
    const std::size_t n0 = std::size_t(d->width_px) * std::size_t(d->height_px);
    for (int k = 0; k < nch; ++k)
        std::memcpy(t->planes[0][k], d->planes[k], n0);
    for (int l = 1; l < levels; ++l)
        for (int k = 0; k < nch; ++k)
            build_level(t, l, k);
    t->ready = 1;
    return 1;
}

void sample_texture(const HyTexture* t, double* values, double u, double v, double footprint)
{
    if (!t)
        return;
    for (int k = 0; k < t->channels; ++k)
        values[k] = 0.0;
    if (!t->ready || t->levels < 1)
        return;
    if (!t->tile && (std::fabs(u) > t->half_width || std::fabs(v) > t->half_height))
        return;
    if (!std::isfinite(u) || !std::isfinite(v))
        return;

    const double fp = t->footprint_scale * footprint;
    const double m = std::max(fp * t->pixels_per_metre_x[0], fp * t->pixels_per_metre_y[0]);
    const int last = t->levels - 1;
    double a[kHyTextureMaxChannels];
    if (!(m > 1.0) || last == 0) {
        bilinear(t, 0, u, v, values);
    } else if (m >= t->factor[last]) {
        bilinear(t, last, u, v, values);
    } else {
        int l = 0;
        while (l + 1 < last && !(m <= t->factor[l + 1]))
            ++l;
        const double f0 = t->factor[l], f1 = t->factor[l + 1];
        const double w = (f1 - m) / (f1 - f0);
        bilinear(t, l, u, v, a);
        bilinear(t, l + 1, u, v, values);
        for (int k = 0; k < t->channels; ++k)
            values[k] = w * a[k] + (1.0 - w) * values[k];
    }
    const double s = t->value_scale / 255.0;
    for (int k = 0; k < t->channels; ++k)
        values[k] *= s;
}

Hy2DTextureGroup::Hy2DTextureGroup(int ch, int cap)
    : channels(std::clamp(ch, 1, kHyTextureMaxChannels)), capacity(std::clamp(cap, 1, kHyTextureGroupCapacity))
{
    for (int i = 0; i < kHyTextureGroupCapacity; ++i)
        cos_angle[i] = 1.0;
}

Hy2DTextureGroup::~Hy2DTextureGroup() = default;

int add_texture(Hy2DTextureGroup* g, HyTexture* t, double cx, double cy, double angle)
{
    if (!g || !t || g->count >= g->capacity)
        return 0;
    const int i = g->count;
    g->ids[i] = ++g->last_id;
    g->textures[i] = t;
    g->centre_x[i] = cx;
    g->centre_y[i] = cy;
    g->angle[i] = angle;
    g->cos_angle[i] = std::cos(angle);
    g->sin_angle[i] = std::sin(angle);
    g->count = i + 1;
    return g->ids[i];
}

namespace {
int find_placed(const Hy2DTextureGroup* g, int id)
{
    if (!g || id == 0)
        return -1;
    for (int i = 0; i < g->count; ++i)
        if (g->ids[i] == id)
            return i;
    return -1;
}
} // namespace

int remove_texture(Hy2DTextureGroup* g, int id)
{
    const int i = find_placed(g, id);
    if (i < 0)
        return 0;
    for (int j = i; j + 1 < g->count; ++j) {
        g->ids[j] = g->ids[j + 1];
        g->textures[j] = g->textures[j + 1];
        g->centre_x[j] = g->centre_x[j + 1];
        g->centre_y[j] = g->centre_y[j + 1];
        g->angle[j] = g->angle[j + 1];
        g->cos_angle[j] = g->cos_angle[j + 1];
        g->sin_angle[j] = g->sin_angle[j + 1];
    }
    const int e = --g->count;
    g->ids[e] = 0;
    g->textures[e] = nullptr;
    g->centre_x[e] = g->centre_y[e] = g->angle[e] = 0.0;
    g->cos_angle[e] = 1.0;
    g->sin_angle[e] = 0.0;
    return 1;
}

int texture_count(const Hy2DTextureGroup* g) { return g ? g->count : 0; }

int texture_corners(const Hy2DTextureGroup* g, int id, double corners[4][2])
{
    const int i = find_placed(g, id);
    if (i < 0)
        return 0;
    const double hw = g->textures[i]->half_width, hh = g->textures[i]->half_height;
    const double local[4][2] = {{-hw, hh}, {-hw, -hh}, {hw, hh}, {hw, -hh}};
    const double c = g->cos_angle[i], s = g->sin_angle[i];
    for (int k = 0; k < 4; ++k) {
        corners[k][0] = g->centre_x[i] + local[k][0] * c - local[k][1] * s;
        corners[k][1] = g->centre_y[i] + local[k][0] * s + local[k][1] * c;
    }
    return 1;
}

void sample_group(const Hy2DTextureGroup* g, double* values, double x, double y)
{
    if (!g)
        return;
    sample_group(g, values, x, y, g->default_footprint);
}

void sample_group(const Hy2DTextureGroup* g, double* values, double x, double y, double footprint)
{
    if (!g)
        return;
    for (int k = 0; k < g->channels; ++k)
        values[k] = 0.0;
    double s[kHyTextureMaxChannels];
    for (int i = 0; i < g->count; ++i) {
        const HyTexture* t = g->textures[i];
        if (!t)
            continue;
        // Into the texture's own frame: rotate the offset back by the placement angle.
        const double dx = x - g->centre_x[i], dy = y - g->centre_y[i];
        const double c = g->cos_angle[i], sn = g->sin_angle[i];
        sample_texture(t, s, c * dx + sn * dy, c * dy - sn * dx, footprint);
        const int n = std::min(g->channels, t->channels);
        for (int k = 0; k < n; ++k)
            values[k] += s[k];
    }
}
