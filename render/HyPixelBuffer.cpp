#include "render/HyPixelBuffer.h"

#include "platform/HyThreadPool.h"

#include <cstddef>

HyPixelBuffer::HyPixelBuffer(std::uint32_t rows_, std::uint32_t columns_, float* red, float* green, float* blue)
    : rows(rows_), columns(columns_)
{
    colour_planes[0] = red;
    colour_planes[1] = green;
    colour_planes[2] = blue;
}

HyPixelBuffer::~HyPixelBuffer() { release(); }

float** HyPixelBuffer::make_plane(float value, bool& ok)
{
    if (!ok)
        return nullptr;
    const std::size_t count = std::size_t(rows) * columns;
    float** table = hymem::allocate_array<float*>(rows);
    float* block = hymem::allocate_array<float>(count);
    if (!table || !block) {
        hymem::release(table);
        hymem::release(block);
        ok = false;
        return nullptr;
    }
    hyplat::parallel_fill(block, std::int64_t(count), value);
    for (std::uint32_t r = 0; r < rows; ++r)
        table[r] = block + std::size_t(r) * columns;
    return table;
}

void HyPixelBuffer::free_plane(float**& plane)
{
    if (!plane)
        return;
    hymem::release(plane[0]);
    hymem::release(plane);
    plane = nullptr;
}

int HyPixelBuffer::allocate()
{
    release();
    if (rows == 0 || columns == 0)
        return 1;
    if (std::size_t(rows) * columns / columns != rows)
        return 0;
    bool ok = true;
    work_depth = make_plane(kFarDepth, ok);
    distance_squared = make_plane(kFarDepth, ok);
    work_weight = make_plane(0.0f, ok);
    coverage = make_plane(0.0f, ok);
    for (int k = 0; k < channel_count; ++k)
        channels[k] = make_plane(0.0f, ok);
    if (!ok) {
        release();
        return 0;
    }
    return 1;
}

void HyPixelBuffer::release()
{
    free_plane(work_depth);
    free_plane(distance_squared);
    free_plane(work_weight);
    free_plane(coverage);
    for (int k = 0; k < kChannels; ++k)
        free_plane(channels[k]);
}

bool HyPixelBuffer::accepts(int r, int c, double d) const
{
    if (d < double(near_limit_at(r, c)))
        return false;
    if (coverage[r][c] < 1.0f)
        return true;
    return d < double(distance_squared[r][c]);
}

void HyPixelBuffer::accumulate(int r, int c, const double colour[3], double d, double w)
{
    if (d < double(near_limit_at(r, c)))
        return;
    float& W = work_weight[r][c];
    float& D = work_depth[r][c];
    const double Wd = W, Dd = D;
    if (Wd == 0.0) {
        W = float(w);
        D = float(d);
        for (int k = 0; k < channel_count; ++k)
            channels[k][r][c] += float(colour[k]);
        return;
    }
    if (Dd > d) {
        // The piece is nearer: it takes its share in front of what the pixel gathered so far.
        if (w + Wd < 1.0) {
            D = float((Dd * Wd + d * w) / (w + Wd));
            W = float(Wd + w);
            for (int k = 0; k < channel_count; ++k)
                channels[k][r][c] += float(colour[k]);
        } else {
            const double keep = (1.0 - w) / Wd;
            for (int k = 0; k < channel_count; ++k)
                channels[k][r][c] = float(colour[k] + keep * channels[k][r][c]);
            W = 1.0f;
            D = float((1.0 - w) * Dd + w * d);
        }
    } else if (Wd < 1.0) {
        // Farther: it only fills what is still open.
        if (w + Wd > 1.0) {
            const double share = (1.0 - Wd) / w;
            for (int k = 0; k < channel_count; ++k)
                channels[k][r][c] += float(share * colour[k]);
            D = float((1.0 - Wd) * d + Wd * Dd);
            W = 1.0f;
        } else {
            for (int k = 0; k < channel_count; ++k)
                channels[k][r][c] += float(colour[k]);
            D = float((w * d + Wd * Dd) / (w + Wd));
            W = float(Wd + w);
        }
    }
}

void HyPixelBuffer::flush()
{
    if (!work_weight)
        return;
    // Rows are independent: they go to the thread pool.
    hyplat::parallel_for(rows, 8, [&](std::int64_t first, std::int64_t end) { flush_rows(int(first), int(end)); });
}

void HyPixelBuffer::flush_rows(int first, int end)
{
    for (std::uint32_t r = std::uint32_t(first); r < std::uint32_t(end); ++r) {
        for (std::uint32_t c = 0; c < columns; ++c) {
            const double W = work_weight[r][c];
            if (W > 0.0 || channels[0][r][c] > 0.0f) {
                const double K = coverage[r][c];
                const std::size_t at = std::size_t(r) * columns + c;
                if (distance_squared[r][c] > work_depth[r][c]) {
                    distance_squared[r][c] = work_depth[r][c];
                    coverage[r][c] = float((1.0 - W) * K + W);
                    for (int k = 0; k < channel_count; ++k)
                        if (colour_planes[k])
                            colour_planes[k][at] = float((1.0 - W) * colour_planes[k][at] + channels[k][r][c]);
                } else if (K < 1.0) {
                    coverage[r][c] = float(W * (1.0 - K) + K);
                    for (int k = 0; k < channel_count; ++k)
                        if (colour_planes[k])
                            colour_planes[k][at] = float(colour_planes[k][at] + (1.0 - K) * channels[k][r][c]);
                }
            }
            work_depth[r][c] = kFarDepth;
            work_weight[r][c] = 0.0f;
            for (int k = 0; k < channel_count; ++k)
                channels[k][r][c] = 0.0f;
        }
    }
}
