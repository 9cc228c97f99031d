// HyPixelBuffer: the per-pixel hand-over buffer between the scene and the surface optics.
//
// The surface optics cuts the visible water into pixel pieces (the part of one screen triangle inside
// one pixel) and hands each piece here with its colour, already multiplied by its area w (0..1), and
// its squared distance d from the eye. Pieces gather in the work planes; `flush` then lays the work
// over or under what the final planes already hold.
//
// Plane layout: every plane is `rows` x `columns` floats in one block, row major, row 0 (the bottom of
// the picture, as in the camera's planes) first, stride = columns, no padding; the plane's row table
// holds `rows` pointers, row r pointing at element r * columns of the block. The colour planes are the
// camera's own (same layout); the buffer writes them but does not own them.
#pragma once

#include "platform/HyMemory.h"

#include <cstdint>

class HyPixelBuffer : public HyAllocated {
public:
    static constexpr int kChannels = 3;
    static constexpr float kFarDepth = 1e16f; // "nothing seen yet" squared distance

    // No allocation here: call `allocate`. The colour planes are the camera's red, green, blue.
    HyPixelBuffer(std::uint32_t rows, std::uint32_t columns, float* red, float* green, float* blue);
    ~HyPixelBuffer();
    HyPixelBuffer(const HyPixelBuffer&) = delete;
    HyPixelBuffer& operator=(const HyPixelBuffer&) = delete;

    // Allocates the four planes, the channel planes and their row tables in one step and sets the
    // initial values (depths 1e16, weights and colours 0). 1 on success; 0 when any block cannot be had
    // (nothing is kept). A buffer without pixels allocates nothing and succeeds.
    int allocate();
    void release();

    // Whether a piece at squared distance d can still show at pixel (r, c): never nearer than the near
    // limit; always while the pixel is not fully covered; else only in front of what it shows.
    bool accepts(int r, int c, double d) const;
    // Gathers one piece: colour premultiplied by its weight w, squared distance d.
    void accumulate(int r, int c, const double colour[3], double d, double w);
    // Lays the work over (nearer) or under (farther) the final planes, then clears the work.
    void flush();

    // The nearest squared distance a piece may have at (r, c).
    float near_limit_at(int r, int c) const
    {
        return near_limit_on ? 0.95f * near_limit_plane[r][c] : near_limit;
    }

    std::uint32_t rows = 0;    // window height
    std::uint32_t columns = 0; // window width
    std::uint32_t valid = 1;
    float** work_depth = nullptr;       // coverage-weighted squared distance of the work; 1e16
    float** distance_squared = nullptr; // final squared distance from the eye to the water; 1e16
    float** work_weight = nullptr;      // summed coverage of the work, at most 1; 0
    float** coverage = nullptr;         // final covered fraction 0..1; 0
    std::int32_t channel_count = kChannels;
    float** channels[kChannels] = {};   // work colour per channel, premultiplied by coverage; 0
    float* colour_planes[kChannels] = {}; // the camera's final colour planes, premultiplied
    // Near limit: with the flag set, 0.95 x the plane's value at the pixel, else `near_limit`. All three
    // are 0 after construction, so every piece passes.
    std::uint32_t near_limit_on = 0;
    float near_limit = 0.0f;
    float** near_limit_plane = nullptr; // not owned

private:
    void flush_rows(int first, int end);
    float** make_plane(float value, bool& ok);
    void free_plane(float**& plane);
};
