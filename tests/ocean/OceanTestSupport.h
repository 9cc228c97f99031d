// Set-up the ocean tests share: array checks, refused allocations, captured diagnostics, temporary
// files, and the independent oracles (bilinear interpolation, direct DFT, time derivatives).
#pragma once

#include "ocean/HyOceanData.h"
#include "platform/HyMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <numeric>
#include <string>
#include <unistd.h>
#include <vector>

namespace oceantest {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// Largest magnitude of n values; not a number when one of them is not (never taken for flat).
template <class T> double max_abs(const T* v, std::size_t n)
{
    double m = 0.0;
    for (std::size_t i = 0; i < n && !std::isnan(m); ++i)
        m = std::max(std::fabs(double(v[i])), m);
    return m;
}
template <class T> double max_abs(const std::vector<T>& v) { return max_abs(v.data(), v.size()); }

template <class T> bool all_finite(const T* v, std::size_t n)
{
    return std::all_of(v, v + n, [](T x) { return std::isfinite(x); });
}
template <class T> bool all_finite(const std::vector<T>& v) { return all_finite(v.data(), v.size()); }

// A record of an n x n lattice of spacing d, the rest at its defaults.
template <class R> R lattice(int n, double d)
{
    R r;
    r.nx = r.ny = n;
    r.dx = r.dy = d;
    return r;
}

// The array an element binds: nx x ny heights and the transform's spare floats, all zero.
struct Field {
    int nx, ny;
    std::vector<float> array;
    Field(int nx_, int ny_) : nx(nx_), ny(ny_), array(std::size_t(nx_ + 2) * std::size_t(ny_), 0.0f) {}
    float h(int i, int j) const { return array[std::size_t(j) * std::size_t(nx) + std::size_t(i)]; }
};

// Bilinear interpolation of node(i, j) at grid coordinates (gx, gy), corners in the order
// (i0, j0), (i0, j0+1), (i0+1, j0), (i0+1, j0+1).
template <class Node> double bilinear(double gx, double gy, Node node)
{
    const int i0 = int(std::floor(gx)), j0 = int(std::floor(gy));
    const double fx = gx - i0, fy = gy - j0;
    return (1 - fx) * (1 - fy) * node(i0, j0) + (1 - fx) * fy * node(i0, j0 + 1) +
           fx * (1 - fy) * node(i0 + 1, j0) + fx * fy * node(i0 + 1, j0 + 1);
}

// Host memory that grants a set number of blocks, refuses blocks above a size, and counts refusals.
struct Ration {
    int grants = 0;
    int refusals = 0;
    std::size_t largest = static_cast<std::size_t>(-1);
};
inline Ration g_ration;

inline int rationed_hook(int op, void** cell, std::size_t bytes, std::uintptr_t)
{
    if (op == hymem::kHookAllocate) {
        if (g_ration.grants <= 0 || bytes > g_ration.largest) {
            ++g_ration.refusals;
            return 0;
        }
        --g_ration.grants;
        *cell = std::malloc(bytes);
        return *cell != nullptr;
    }
    std::free(*cell);
    return 1;
}

// While alive, the allocator grants `grants` blocks of at most `largest` bytes. off() pauses it while
// the blocks it served can still go back through it; on() resumes it.
struct Rationed {
    explicit Rationed(int grants, std::size_t largest = static_cast<std::size_t>(-1))
    {
        g_ration = {grants, 0, largest};
        hymem::install_hook(rationed_hook, hymem::make_tag('T', 'E', 'S', 'T'), true, 0);
    }
    ~Rationed() { hymem::install_hook(nullptr, 0, false, 0); }
    Rationed(const Rationed&) = delete;
    Rationed& operator=(const Rationed&) = delete;
    void off() { hymem::set_hook_on(false); }
    void on() { hymem::set_hook_on(true); }
};

// While alive, the allocator refuses every block of at least `from` bytes (0: every block). Blocks
// served meanwhile must be freed before it goes.
struct RefusedAllocations : Rationed {
    explicit RefusedAllocations(std::size_t from = 0)
        : Rationed(from ? std::numeric_limits<int>::max() : 0, from - 1) {}
};

// What a call printed on the two streams.
struct Printed {
    std::string err, out;
};

template <class F> Printed printed(F&& f)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    f();
    // Braced initialisation runs in order: stderr is read first.
    return {testing::internal::GetCapturedStderr(), testing::internal::GetCapturedStdout()};
}

// What a call printed while every block of at least `from` bytes was refused.
template <class F> Printed printed_refused(std::size_t from, F&& f)
{
    RefusedAllocations refuse(from);
    return printed(f);
}

// A file name in the temporary directory, unique to this process; the file goes with it.
struct TempFile : std::string {
    explicit TempFile(const std::string& name)
        : std::string(std::filesystem::temp_directory_path() /
                      ("seavast_h3_" + std::to_string(::getpid()) + "_" + name)) {}
    ~TempFile() { std::remove(c_str()); }
};

// The bytes of a file (none when it cannot be read).
inline std::vector<unsigned char> file_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

using cplx = std::complex<double>;

// Direct two-dimensional DFT in double precision of nx x ny values stored row by row:
// out[ky*nx + kx] = sum over (x, y) of in[y*nx + x] * exp(sign * 2 pi i (kx x/nx + ky y/ny)).
inline std::vector<cplx> naive_dft(const std::vector<cplx>& in, int nx, int ny, double sign)
{
    std::vector<cplx> out(in.size());
    for (int ky = 0; ky < ny; ++ky)
        for (int kx = 0; kx < nx; ++kx) {
            cplx s = 0;
            for (int y = 0; y < ny; ++y)
                for (int x = 0; x < nx; ++x)
                    s += in[std::size_t(y) * nx + x] *
                         std::polar(1.0, sign * 2 * M_PI * (double(kx) * x / nx + double(ky) * y / ny));
            out[std::size_t(ky) * nx + kx] = s;
        }
    return out;
}

// The nx x ny spectrum of a real field from its nx/2 + 1 stored columns: F[-k] = conj(F[k]).
inline std::vector<cplx> full_spectrum(const std::vector<cplx>& half, int nx, int ny)
{
    const int ncols = nx / 2 + 1;
    std::vector<cplx> full(std::size_t(nx) * ny);
    for (int ky = 0; ky < ny; ++ky)
        for (int kx = 0; kx < nx; ++kx)
            full[std::size_t(ky) * nx + kx] =
                kx < ncols ? half[std::size_t(ky) * ncols + kx]
                           : std::conj(half[std::size_t((ny - ky) % ny) * ncols + nx - kx]);
    return full;
}

// Largest difference of a from b against the largest magnitude in b; not a number (failing any
// bound) when b is all zero or a difference is not a number.
template <class A, class B> double relative_error(const A* a, const B* b, std::size_t n)
{
    double worst = 0, peak = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double d = std::fabs(double(a[k]) - double(b[k]));
        if (std::isnan(d))
            return d;
        worst = std::max(worst, d);
        peak = std::max(peak, std::fabs(double(b[k])));
    }
    return worst / peak;
}

// A periodic element's filtered field without footprint is the second time derivative of its
// heights, and its potential's time derivative is -g times the heights (central differences at t, to
// 1%). `heights`: the element's bound nx x ny array; `filtered`: (nx + 2)*ny floats to fill.
inline void expect_time_derivatives(HyOcean_data& e, const float* heights, int nx, int ny, double t,
                                    float* filtered)
{
    const std::size_t n = std::size_t(nx) * std::size_t(ny);
    const double d = 0.01;
    auto heights_at = [&](double time) {
        e.evolve_to_time(time);
        e.transform_to_heights();
        return std::vector<double>(heights, heights + n);
    };
    const auto h0 = heights_at(t), hm = heights_at(t - d), hp = heights_at(t + d);
    e.evolve_filtered_to_time(filtered, t, 0.0, 0.0, 0.0);
    std::vector<double> second(n), fall(n), rate(n);
    for (std::size_t k = 0; k < n; ++k) {
        second[k] = (hp[k] - 2 * h0[k] + hm[k]) / (d * d);
        fall[k] = -9.81 * h0[k];
    }
    EXPECT_LT(relative_error(filtered, second.data(), n), 0.01);

    auto potential_at = [&](double time) {
        const Printed said = printed([&] { e.upgrade_potential_field(time); });
        EXPECT_EQ(said.out, "upgrading potential field \n");
        return std::vector<double>(heights, heights + n);
    };
    const auto pm = potential_at(t - d), pp = potential_at(t + d);
    for (std::size_t k = 0; k < n; ++k)
        rate[k] = (pp[k] - pm[k]) / (2 * d);
    EXPECT_LT(relative_error(rate.data(), fall.data(), n), 0.01);
}

} // namespace oceantest
