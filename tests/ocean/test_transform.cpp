// Spectral transform: both backends against a naive double-precision DFT and against each other.
#include "ocean/HySpectralTransform.h"
#include "tests/ocean/OceanTestSupport.h"

#include <random>

namespace {

using namespace oceantest;

std::vector<HyTransformBackend> backends()
{
    std::vector<HyTransformBackend> b{HyTransformBackend::builtin};
    if (HySpectralTransform::backend_available(HyTransformBackend::fftw))
        b.push_back(HyTransformBackend::fftw);
    return b;
}

const char* name(HyTransformBackend b) { return b == HyTransformBackend::fftw ? "fftw" : "builtin"; }

// The stored half spectrum (interleaved, nx + 2 floats a row) of a random real field.
std::vector<float> random_real_spectrum(int nx, int ny, unsigned seed)
{
    std::vector<float> a(static_cast<std::size_t>(nx + 2) * ny, 0.0f);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::generate_n(a.begin(), std::size_t(nx) * ny, [&] { return u(rng); });
    EXPECT_EQ(HySpectralTransform(HyTransformBackend::builtin).forward(a.data(), nx, ny), 1);
    return a;
}

} // namespace

TEST(SpectralTransform, BothDirectionsMatchNaiveDftForEvenAndOddSizes)
{
    // Even and odd sizes, every radix, generic odd factors (7, 11, 13), degenerate single rows/columns,
    // then more sizes than the shared plan cache holds (later ones are planned for their call only).
    std::vector<std::pair<int, int>> sizes{{2, 2},   {4, 4},   {8, 2},  {6, 10},  {10, 6},  {12, 15}, {16, 9},
                            {30, 20}, {20, 25}, {14, 7}, {22, 13}, {5, 4},   {9, 6},   {15, 5},
                            {1, 8},   {8, 1},   {2, 1},  {64, 32}, {36, 24}, {3, 3}};
    for (int nx = 40; nx < 80; ++nx)
        sizes.push_back({nx, 3 + nx % 4});
    for (HyTransformBackend b : backends()) {
        HySpectralTransform t(b);
        ASSERT_EQ(t.backend(), b);
        for (const auto& [nx, ny] : sizes) {
            SCOPED_TRACE(std::string(name(b)) + " " + std::to_string(nx) + "x" + std::to_string(ny));
            const std::size_t n = std::size_t(nx) * ny, ncols = std::size_t(nx / 2 + 1);
            const double log_n = std::log2(2.0 * double(n));
            // Inverse: the real parts of the full spectrum's sum, to float rounding of the largest value.
            std::vector<float> a = random_real_spectrum(nx, ny, 7u * nx + ny);
            std::vector<cplx> half(ncols * ny);
            for (std::size_t k = 0; k < half.size(); ++k)
                half[k] = cplx(a[2 * k], a[2 * k + 1]);
            const auto ref = naive_dft(full_spectrum(half, nx, ny), nx, ny, +1);
            ASSERT_EQ(t.inverse(a.data(), nx, ny), 1);
            double peak = 1.0;
            for (const cplx& v : ref)
                peak = std::max(peak, std::fabs(v.real()));
            for (std::size_t k = 0; k < n; ++k)
                ASSERT_NEAR(a[k], ref[k].real(), 2e-5 * peak * log_n) << k;
            // Forward: the stored columns of the sum with the opposite sign (spare floats ignored).
            std::vector<cplx> real(n);
            for (std::size_t k = 0; k < n; ++k)
                real[k] = a[k] = float(std::sin(1.7 * double(k)) * 0.9);
            a[n] = a[n + 1] = 123.0f;
            const auto fwd = naive_dft(real, nx, ny, -1);
            ASSERT_EQ(t.forward(a.data(), nx, ny), 1);
            const double tol = 2e-5 * std::sqrt(double(n)) * log_n;
            for (std::size_t k = 0; k < ncols * ny; ++k) {
                const cplx want = fwd[(k / ncols) * nx + k % ncols];
                ASSERT_NEAR(a[2 * k], want.real(), tol) << k;
                ASSERT_NEAR(a[2 * k + 1], want.imag(), tol) << k;
            }
        }
    }
}

TEST(SpectralTransform, BackendsAgreeAt1024)
{
    if (!HySpectralTransform::backend_available(HyTransformBackend::fftw))
        GTEST_SKIP() << "built without FFTW";
    // Values are sums of ~1e6 unit terms (typical size 1e3); float rounding grows like log2(n).
    const int n = 1024;
    std::vector<float> a = random_real_spectrum(n, n, 99);
    std::vector<float> b = a;
    HySpectralTransform builtin(HyTransformBackend::builtin), fftw(HyTransformBackend::fftw);
    ASSERT_EQ(builtin.inverse(a.data(), n, n), 1);
    ASSERT_EQ(fftw.inverse(b.data(), n, n), 1);
    EXPECT_LT(relative_error(a.data(), b.data(), std::size_t(n) * n), 2e-5 * 20);
    // And the forward transforms of the same real field.
    a = b;
    ASSERT_EQ(builtin.forward(a.data(), n, n), 1);
    ASSERT_EQ(fftw.forward(b.data(), n, n), 1);
    EXPECT_LT(relative_error(a.data(), b.data(), a.size()), 2e-5 * 20);
}

TEST(SpectralTransform, RejectsBadSizesUnalignedDataWorksAndTheDefaultBackendIsSelectable)
{
    for (HyTransformBackend b : backends()) {
        HySpectralTransform t(b);
        float x[8] = {};
        const Printed said = printed([&] {
            EXPECT_EQ(t.inverse(x, 0, 4), 0);
            EXPECT_EQ(t.forward(x, 4, -1), 0);
            EXPECT_EQ(t.inverse(nullptr, 2, 2), 0);
            EXPECT_EQ(t.forward(x, 1 << 20, 1 << 20), 0);
        });
        EXPECT_NE(said.err.find("HySpectralTransform"), std::string::npos);
        // An odd alignment (one float past the vector's) gives the same result as an aligned copy.
        const int nx = 64, ny = 48;
        std::vector<float> ref = random_real_spectrum(nx, ny, 5);
        std::vector<float> store(ref.size() + 3);
        float* shifted = store.data() + 1;
        std::copy(ref.begin(), ref.end(), shifted);
        ASSERT_EQ(t.inverse(ref.data(), nx, ny), 1);
        ASSERT_EQ(t.inverse(shifted, nx, ny), 1);
        for (int k = 0; k < nx * ny; ++k)
            ASSERT_FLOAT_EQ(shifted[k], ref[k]) << name(b);
    }

    const HyTransformBackend before = HySpectralTransform::default_backend();
    const bool fftw = HySpectralTransform::backend_available(HyTransformBackend::fftw);
    HySpectralTransform::set_default_backend(HyTransformBackend::builtin);
    EXPECT_EQ(HySpectralTransform().backend(), HyTransformBackend::builtin);
    HySpectralTransform::set_default_backend(HyTransformBackend::fftw); // ignored without FFTW
    EXPECT_EQ(HySpectralTransform().backend(), fftw ? HyTransformBackend::fftw : HyTransformBackend::builtin);
    HySpectralTransform::set_default_backend(before);
}
