// HySpectralTransform: two-dimensional real discrete Fourier transforms, in place, on the layout the
// wave fields share with HyGrid arrays.
//
// Array: (nx + 2)*ny floats (any nx >= 1, ny >= 1; the wave fields use even nx).
//  - Spectral side: the half spectrum, ncols x ny complex values with ncols = nx/2 + 1, each complex
//    value two floats (real, imaginary); column i (kx = i, 0..nx/2) fastest, row j at
//    data[2*(j*ncols + i)]; rows 0..ny/2 carry ky = j, rows ny/2+1..ny-1 carry ky = j - ny.
//  - Real side: nx*ny values, node (x, y) at data[y*nx + x], contiguous (no row padding); the
//    tail of the array is left unspecified.
//  - inverse: real[x, y] = sum over the full spectrum of F[kx, ky] * exp(+2*pi*i*(kx*x/nx + ky*y/ny)),
//    where the columns kx > nx/2 are the conjugates the half spectrum implies. The half spectrum must
//    be that of a real field (columns 0 and nx/2 Hermitian along ky).
//  - forward: F[kx, ky] = sum over x, y of real[x, y] * exp(-2*pi*i*(kx*x/nx + ky*y/ny)).
//  - No normalisation: forward then inverse multiplies by nx*ny.
//
// Backends: FFTW single precision (when built with it: deterministic estimated plans made once per
// size and direction, shared by every transform object, created under a lock; arrays on a 64-byte
// boundary, as HyGrid arrays are, are transformed in place, others through an aligned copy; a size
// FFTW cannot plan runs on the built-in backend) and a built-in mixed-radix transform (radices 2, 3,
// 4, 5 and any other factor), which is what builds without FFTW use (SEAVAST_WITH_FFTW=OFF). The
// backend can be chosen per object, or for all `automatic` objects with set_default_backend (or
// the SEAVAST_TRANSFORM_BUILTIN build option).
//
// An object keeps its scratch buffers between calls (so a per-frame transform does not allocate);
// one object must not be used by two threads at once. All memory comes from the tagged allocator.
#pragma once

#include "platform/HyMemory.h"

#include <cstddef>

enum class HyTransformBackend : int {
    automatic = 0,  // the process default: FFTW when built with it, else built-in
    fftw = 1,
    builtin = 2,
};

struct HyBuiltinPlan;

class HySpectralTransform : public HyAllocated {
public:
    explicit HySpectralTransform(HyTransformBackend backend = HyTransformBackend::automatic);
    ~HySpectralTransform();
    HySpectralTransform(const HySpectralTransform&) = delete;
    HySpectralTransform& operator=(const HySpectralTransform&) = delete;

    // Half spectrum -> nx*ny real values (see above); 1 on success. Bad sizes or no memory:
    // one line on the standard error stream, data untouched, 0.
    int inverse(float* data, int nx, int ny);
    // nx*ny real values -> half spectrum; 1 on success, as inverse otherwise.
    int forward(float* data, int nx, int ny);

    // The backend this object runs (automatic resolved at construction).
    HyTransformBackend backend() const { return resolved; }
    // Frees the scratch buffers and built-in tables (they are rebuilt on the next call).
    void release_scratch();

    static bool backend_available(HyTransformBackend backend);
    // Backend that `automatic` objects created from now on use; an unavailable choice is ignored.
    static void set_default_backend(HyTransformBackend backend);
    static HyTransformBackend default_backend();

private:
    int run(float* data, int nx, int ny, int sign);
    int run_fftw(float* data, int nx, int ny, int sign);
    int run_builtin(float* data, int nx, int ny, int sign);
    float* scratch_floats(std::size_t count, std::size_t alignment);
    // "Out of Memory" on the standard output stream, then `format` (one %d for nx, one for ny, no
    // newline) as a line on the standard error stream.
    static void report_no_memory(const char* format, int nx, int ny);

    HyTransformBackend resolved;
    void* scratch_block = nullptr;  // tagged block holding the aligned scratch
    std::size_t scratch_count = 0;  // floats available at `scratch`
    float* scratch = nullptr;
    HyBuiltinPlan* plan = nullptr;  // built-in tables for the last size used
};

// One-shot helpers (create a transform object of the default backend for the call).
int hy_inverse_transform(float* data, int nx, int ny);
int hy_forward_transform(float* data, int nx, int ny);
