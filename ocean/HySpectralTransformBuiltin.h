// Internal to the spectral transform: the built-in mixed-radix plans. Tables and scratch are caller
// memory (float arrays of the sizes table_floats/scratch_floats give), so a plan allocates nothing.
#pragma once

#include <cstddef>

namespace hyfft {

// Complex transform of length n over V interleaved lanes (element e, lane b at floats 2*(e*V + b)).
struct ComplexPlan {
    static constexpr int kMaxFactors = 40;
    static std::size_t table_floats(int n);
    // 1 on success; uses table_floats(n) floats at `tables`.
    int build(int n, float* tables);
    // Runs the passes ping-ponging between a (input) and b; returns the array holding the result.
    // sign +1: exp(+2*pi*i*...), -1: exp(-2*pi*i*...). No normalisation.
    float* execute(int sign, int V, float* a, float* b) const;

    int n = 0;
    int nfactors = 0;
    int factors[kMaxFactors] = {};
    const float* twiddle[kMaxFactors] = {};
    const float* roots[kMaxFactors] = {};
};

// Two-dimensional real transform on the half-spectrum layout of HySpectralTransform.h.
struct Plan2d {
    static std::size_t table_floats(int nx, int ny);
    static std::size_t scratch_floats(int nx, int ny);
    int build(int nx, int ny, float* tables);
    void inverse(float* data, float* scratch) const;
    void forward(float* data, float* scratch) const;

    int nx = 0, ny = 0, ncols = 0;
    bool even = true;
    ComplexPlan columns;  // length ny, over ncols lanes
    ComplexPlan rows;     // length nx/2 (even nx) or nx (odd nx)
    const float* half_twiddle = nullptr;  // exp(+2*pi*i*k/nx), k = 0..nx/2

private:
    // Rows are transformed kRowBlock at a time as the lanes of one batched transform.
    static constexpr int kRowBlock = 8;
    // Columns are transformed kColumnBlock at a time in a contiguous buffer that stays in cache.
    static constexpr int kColumnBlock = 64;
    void columns_pass(float* data, int sign, float* buf_a, float* buf_b) const;
    void inverse_rows(const float* in, int count, float* out, float* buf_a, float* buf_b) const;
    void forward_rows(const float* in, int count, float* out, float* buf_a, float* buf_b) const;
};

} // namespace hyfft
