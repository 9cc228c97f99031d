// Ridgeline pieces of the slicer: the envelope merge (property test against a direct evaluation of
// both polylines), interpolation along a polyline, the segment search, half-plane clipping with exact
// areas, and the row mapping with its inverse.
#include "optics/HySlices.h"
#include "optics/HySurfaceOptics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// Value of a decreasing-x polyline at x: the highest value it takes there (vertical runs included),
// or -inf outside its range.
double poly_value(const std::vector<HyRidgePoint>& p, double x)
{
    double best = -INFINITY;
    for (std::size_t k = 0; k + 1 < p.size(); ++k) {
        const double x0 = p[k].x, x1 = p[k + 1].x;
        if (x <= x0 && x >= x1) {
            if (x0 == x1)
                best = std::max({best, p[k].y, p[k + 1].y});
            else
                best = std::max(best, p[k].y + (x - x0) * (p[k + 1].y - p[k].y) / (x1 - x0));
        }
    }
    if (p.size() == 1 && p[0].x == x)
        best = p[0].y;
    return best;
}

std::vector<HyRidgePoint> random_polyline(std::mt19937& rng, double xhi, double xlo, int n, double ylo, double yhi)
{
    std::uniform_real_distribution<double> ux(xlo, xhi), uy(ylo, yhi);
    std::vector<double> xs;
    for (int k = 0; k < n; ++k)
        xs.push_back(ux(rng));
    xs.push_back(xhi);
    xs.push_back(xlo);
    std::sort(xs.begin(), xs.end(), std::greater<double>());
    std::vector<HyRidgePoint> p;
    for (double x : xs)
        p.push_back(HyRidgePoint{x, uy(rng), 1, 2, 3});
    // Shared abscissae now and then: vertical runs.
    for (std::size_t k = 1; k + 1 < p.size(); k += 5)
        p[k].x = p[k - 1].x;
    return p;
}

} // namespace

TEST(Slices, EnvelopeIsTheUpperEnvelopeInDecreasingX)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 300; ++trial) {
        // A ridgeline spanning the image and an outline somewhere inside it.
        std::vector<HyRidgePoint> ridge = random_polyline(rng, 1e8, -1e8, 0, -50, 50);
        ridge = random_polyline(rng, 400, -400, 1 + trial % 40, -50, 50);
        ridge.insert(ridge.begin(), HyRidgePoint{1e8, -1e8, 0, 0, 0});
        ridge.push_back(HyRidgePoint{-1e8, -1e8, 0, 0, 0});
        std::uniform_real_distribution<double> u(-300, 300);
        double a = u(rng), b = u(rng);
        if (a < b)
            std::swap(a, b);
        const std::vector<HyRidgePoint> outline = random_polyline(rng, a, b, trial % 30, -60, 60);
        std::vector<HyRidgePoint> out(4 * (ridge.size() + outline.size()) + 8);
        const int n = hy_ridge_envelope(ridge.data(), int(ridge.size()), outline.data(), int(outline.size()),
                                        out.data(), int(out.size()));
        ASSERT_GE(n, 2);
        out.resize(std::size_t(n));
        EXPECT_EQ(out.front().x, 1e8);
        EXPECT_EQ(out.back().x, -1e8);
        for (int k = 0; k + 1 < n; ++k)
            ASSERT_GE(out[k].x, out[k + 1].x) << "trial " << trial << " at " << k;
        // At every vertex of either input, and between them, the envelope is the higher of the two.
        std::vector<double> xs;
        for (const auto& p : ridge)
            if (std::fabs(p.x) < 1e7)
                xs.push_back(p.x);
        for (const auto& p : outline)
            xs.push_back(p.x);
        const std::size_t m = xs.size();
        for (std::size_t k = 0; k + 1 < m; ++k)
            xs.push_back(0.5 * (xs[k] + xs[k + 1]));
        for (double x : xs) {
            const double want = std::max(poly_value(ridge, x), poly_value(outline, x));
            const double got = poly_value(out, x);
            ASSERT_NEAR(got, want, 1e-9 * (1 + std::fabs(want))) << "trial " << trial << " x " << x;
        }
    }
}

TEST(Slices, EnvelopeOfCrossingLinesInsertsTheCrossing)
{
    const HyRidgePoint ridge[] = {{1e8, -1e8, 0, 0, 0}, {10, 0, 0, 0, 0}, {-10, 0, 0, 0, 0}, {-1e8, -1e8, 0, 0, 0}};
    const HyRidgePoint outline[] = {{5, -5, 1, 1, 1}, {-5, 5, 2, 2, 2}};
    HyRidgePoint out[32];
    const int n = hy_ridge_envelope(ridge, 4, outline, 2, out, 32);
    ASSERT_GT(n, 0);
    bool crossing = false;
    for (int k = 0; k < n; ++k)
        if (std::fabs(out[k].x) < 1e-12 && std::fabs(out[k].y) < 1e-12)
            crossing = true;
    EXPECT_TRUE(crossing);
    // Too little room is reported as -1.
    EXPECT_EQ(hy_ridge_envelope(ridge, 4, outline, 2, out, 3), -1);
}
