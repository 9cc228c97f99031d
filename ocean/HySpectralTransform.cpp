#include "ocean/HySpectralTransform.h"

#include "ocean/HySpectralTransformBuiltin.h"

#include <atomic>
#include <cstdint>
#include <cstdio>

// Built-in tables for one size, kept by the transform object between calls.
struct HyBuiltinPlan {
    int nx = 0, ny = 0;
    void* block = nullptr;  // tagged block holding the tables
    hyfft::Plan2d plan;
};

namespace {

#if SEAVAST_WITH_FFTW
constexpr bool kHaveFftw = true;
#else
constexpr bool kHaveFftw = false;
#endif

#if SEAVAST_TRANSFORM_BUILTIN
constexpr bool kPreferBuiltin = true;
#else
constexpr bool kPreferBuiltin = false;
#endif

std::atomic<int> g_default_backend{kHaveFftw && !kPreferBuiltin ? static_cast<int>(HyTransformBackend::fftw)
                                                                : static_cast<int>(HyTransformBackend::builtin)};

// Largest transform accepted: far above the 2048 x 2048 lattices and 4096 x 2048 wake arrays in use,
// and small enough that every index fits a 32-bit int.
constexpr std::int64_t kMaxValues = std::int64_t(1) << 28;

bool valid_size(int nx, int ny)
{
    if (nx < 1 || ny < 1)
        return false;
    return static_cast<std::int64_t>(nx + 2) * ny <= kMaxValues;
}

void release_plan(HyBuiltinPlan* p)
{
    if (!p)
        return;
    hymem::release(p->block);
    p->block = nullptr;
    p->~HyBuiltinPlan();
    hymem::release(p);
}

} // namespace

bool HySpectralTransform::backend_available(HyTransformBackend backend)
{
    switch (backend) {
    case HyTransformBackend::automatic:
    case HyTransformBackend::builtin: return true;
    case HyTransformBackend::fftw: return kHaveFftw;
    }
    return false;
}

void HySpectralTransform::set_default_backend(HyTransformBackend backend)
{
    if (backend == HyTransformBackend::automatic)
        backend = kHaveFftw ? HyTransformBackend::fftw : HyTransformBackend::builtin;
    if (backend_available(backend))
        g_default_backend.store(static_cast<int>(backend));
}

HyTransformBackend HySpectralTransform::default_backend()
{
    return static_cast<HyTransformBackend>(g_default_backend.load());
}

HySpectralTransform::HySpectralTransform(HyTransformBackend backend)
{
    if (backend == HyTransformBackend::automatic || !backend_available(backend))
        backend = default_backend();
    resolved = backend;
}

HySpectralTransform::~HySpectralTransform() { release_scratch(); }

void HySpectralTransform::release_scratch()
{
    hymem::release(scratch_block);
    scratch_block = nullptr;
    scratch = nullptr;
    scratch_count = 0;
    release_plan(plan);
    plan = nullptr;
}

void HySpectralTransform::report_no_memory(const char* format, int nx, int ny)
{
    std::fputs("Out of Memory\n", stdout);
    std::fflush(stdout);
    std::fprintf(stderr, format, nx, ny);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

float* HySpectralTransform::scratch_floats(std::size_t count, std::size_t alignment)
{
    if (scratch && scratch_count >= count &&
        reinterpret_cast<std::uintptr_t>(scratch) % alignment == 0)
        return scratch;
    hymem::release(scratch_block);
    scratch = nullptr;
    scratch_count = 0;
    scratch_block = hymem::allocate(count * sizeof(float) + alignment);
    if (!scratch_block)
        return nullptr;
    const std::uintptr_t p = reinterpret_cast<std::uintptr_t>(scratch_block);
    scratch = reinterpret_cast<float*>((p + alignment - 1) / alignment * alignment);
    scratch_count = count;
    return scratch;
}

int HySpectralTransform::inverse(float* data, int nx, int ny) { return run(data, nx, ny, +1); }

int HySpectralTransform::forward(float* data, int nx, int ny) { return run(data, nx, ny, -1); }

int HySpectralTransform::run(float* data, int nx, int ny, int sign)
{
    if (!data || !valid_size(nx, ny)) {
        std::fprintf(stderr, "HySpectralTransform: cannot transform a %d x %d array\n", nx, ny);
        std::fflush(stderr);
        return 0;
    }
    if (resolved == HyTransformBackend::fftw)
        return run_fftw(data, nx, ny, sign);
    return run_builtin(data, nx, ny, sign);
}

int HySpectralTransform::run_builtin(float* data, int nx, int ny, int sign)
{
    if (!plan || plan->nx != nx || plan->ny != ny) {
        release_plan(plan);
        plan = nullptr;
        void* mem = hymem::allocate(sizeof(HyBuiltinPlan));
        if (mem) {
            HyBuiltinPlan* p = new (mem) HyBuiltinPlan;
            p->block = hymem::allocate(hyfft::Plan2d::table_floats(nx, ny) * sizeof(float));
            if (p->block && p->plan.build(nx, ny, static_cast<float*>(p->block))) {
                p->nx = nx;
                p->ny = ny;
                plan = p;
            } else {
                release_plan(p);
            }
        }
        if (!plan) {
            report_no_memory("HySpectralTransform: unable to prepare a %d x %d transform", nx, ny);
            return 0;
        }
    }
    float* work = scratch_floats(hyfft::Plan2d::scratch_floats(nx, ny), 64);
    if (!work) {
        report_no_memory("HySpectralTransform: unable to allocate work space for %d x %d", nx, ny);
        return 0;
    }
    if (sign > 0)
        plan->plan.inverse(data, work);
    else
        plan->plan.forward(data, work);
    return 1;
}

int hy_inverse_transform(float* data, int nx, int ny)
{
    HySpectralTransform t;
    return t.inverse(data, nx, ny);
}

int hy_forward_transform(float* data, int nx, int ny)
{
    HySpectralTransform t;
    return t.forward(data, nx, ny);
}
