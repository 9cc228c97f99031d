// FFTW backend of HySpectralTransform (single precision). Plans are made once per size and
// direction, shared by every transform object and kept for the life of the process; FFTW's planner
// is not thread-safe, so plan creation runs under a lock (execution is thread-safe).
#include "ocean/HySpectralTransform.h"

#include <cstdio>
#include <cstring>

#if SEAVAST_WITH_FFTW

#include <fftw3.h>
#include <mutex>

namespace {

struct CachedPlan {
    int nx = 0, ny = 0, sign = 0;
    fftwf_plan plan = nullptr;
};

constexpr int kMaxPlans = 64;
std::mutex g_plan_mutex;
CachedPlan g_plans[kMaxPlans];
int g_plan_count = 0;

fftwf_plan make_plan(int nx, int ny, int sign)
{
    const std::size_t floats = 2 * static_cast<std::size_t>(nx / 2 + 1) * ny;
    float* buffer = fftwf_alloc_real(floats);
    if (!buffer)
        return nullptr;
    // FFTW_ESTIMATE leaves the buffer alone, plans in microseconds and always picks the same
    // algorithm, so a sea is bit-for-bit the same in every session; measured planning would cost
    // seconds at 2048 x 2048 on the first frame.
    fftwf_plan p = sign > 0
        ? fftwf_plan_dft_c2r_2d(ny, nx, reinterpret_cast<fftwf_complex*>(buffer), buffer, FFTW_ESTIMATE)
        : fftwf_plan_dft_r2c_2d(ny, nx, buffer, reinterpret_cast<fftwf_complex*>(buffer), FFTW_ESTIMATE);
    fftwf_free(buffer);
    return p;
}

// In-place plan on the half-spectrum layout: rows of 2*(nx/2 + 1) floats. It can run on any array
// whose SIMD alignment matches that of a fresh FFTW block (fftwf_alignment_of == 0). When the cache
// is full the plan is made for this call only (*temporary = true) and destroyed with release_plan.
fftwf_plan find_plan(int nx, int ny, int sign, bool* temporary)
{
    std::lock_guard<std::mutex> lock(g_plan_mutex);
    *temporary = false;
    for (int k = 0; k < g_plan_count; ++k)
        if (g_plans[k].nx == nx && g_plans[k].ny == ny && g_plans[k].sign == sign)
            return g_plans[k].plan;
    fftwf_plan p = make_plan(nx, ny, sign);
    if (!p)
        return nullptr;
    if (g_plan_count >= kMaxPlans) {
        *temporary = true;
        return p;
    }
    g_plans[g_plan_count].nx = nx;
    g_plans[g_plan_count].ny = ny;
    g_plans[g_plan_count].sign = sign;
    g_plans[g_plan_count].plan = p;
    ++g_plan_count;
    return p;
}

void release_plan(fftwf_plan p)
{
    std::lock_guard<std::mutex> lock(g_plan_mutex);
    fftwf_destroy_plan(p);
}

// Destroys a one-call plan when the scope ends, on every path.
struct TemporaryPlan {
    fftwf_plan plan;
    bool temporary;
    ~TemporaryPlan()
    {
        if (temporary && plan)
            release_plan(plan);
    }
};

inline void execute(fftwf_plan p, int sign, float* a)
{
    if (sign > 0)
        fftwf_execute_dft_c2r(p, reinterpret_cast<fftwf_complex*>(a), a);
    else
        fftwf_execute_dft_r2c(p, a, reinterpret_cast<fftwf_complex*>(a));
}

} // namespace

int HySpectralTransform::run_fftw(float* data, int nx, int ny, int sign)
{
    bool temporary = false;
    fftwf_plan p = find_plan(nx, ny, sign, &temporary);
    if (!p) {
        // FFTW could not plan this size: the built-in transform gives the same result.
        return run_builtin(data, nx, ny, sign);
    }
    const TemporaryPlan guard{p, temporary};
    const std::size_t row = 2 * static_cast<std::size_t>(nx / 2 + 1);  // floats per spectral row
    const std::size_t rows = static_cast<std::size_t>(ny);
    const std::size_t nxs = static_cast<std::size_t>(nx);
    if (fftwf_alignment_of(data) == 0) {
        // The array itself suits the plan: transform in place, then close or open the row padding.
        if (sign > 0) {
            execute(p, sign, data);
            for (std::size_t j = 1; j < rows; ++j)
                std::memmove(data + j * nxs, data + j * row, nxs * sizeof(float));
        } else {
            for (std::size_t j = rows; j-- > 1;)
                std::memmove(data + j * row, data + j * nxs, nxs * sizeof(float));
            execute(p, sign, data);
        }
        return 1;
    }
    // Misaligned array (the tagged allocator's header offsets blocks by 8 bytes): run in an aligned
    // scratch copy so FFTW keeps its vector code paths.
    float* work = scratch_floats(row * rows, 64);
    if (!work) {
        report_no_memory("HySpectralTransform: unable to allocate work space for %d x %d", nx, ny);
        return 0;
    }
    if (sign > 0) {
        std::memcpy(work, data, row * rows * sizeof(float));
        execute(p, sign, work);
        for (std::size_t j = 0; j < rows; ++j)
            std::memcpy(data + j * nxs, work + j * row, nxs * sizeof(float));
    } else {
        for (std::size_t j = 0; j < rows; ++j)
            std::memcpy(work + j * row, data + j * nxs, nxs * sizeof(float));
        execute(p, sign, work);
        std::memcpy(data, work, row * rows * sizeof(float));
    }
    return 1;
}

#else

int HySpectralTransform::run_fftw(float* data, int nx, int ny, int sign)
{
    // Not reachable through the public interface (the fftw backend is unavailable in this build).
    return run_builtin(data, nx, ny, sign);
}

#endif
