// Multi-resolution grid: composition of auxiliary grids and reflecting lines, bookkeeping, and hyg files.
#include "ocean/HyGridMulti.h"
#include "tests/ocean/OceanTestSupport.h"

#include <random>
#include <thread>

namespace {

using namespace oceantest;

void fill_random(float* a, int n, unsigned seed, float scale = 1.0f)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-scale, scale);
    std::generate_n(a, n, [&] { return u(rng); });
}

HyAuxGridRequest request(int nx, int ny, double d, int periodic, int type)
{
    return {.nx = nx, .ny = ny, .dx = d, .dy = d, .periodic = periodic, .type = type};
}

// Plain bilinear of a periodic HyGrid-layout array at world point (x, y) for a grid centred on the origin.
double periodic_bilinear(const float* a, int nx, int ny, double d, double x, double y)
{
    return bilinear((x + nx * d / 2) / d, (y + ny * d / 2) / d,
                    [&](int i, int j) { return double(a[((j % ny + ny) % ny) * nx + (i % nx + nx) % nx]); });
}

} // namespace

TEST(GridMulti, ConstructionAndAdditiveComposition)
{
    const auto before = hymem::heap_bytes();
    {
        HyGridMulti g(32, 32, 1.0, 1.0, 16, 8, 4.0, 4.0);
        ASSERT_EQ(g.aux_count, 1);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(g.aux_array[0]) % 64, 0u);
        fill_random(g.heights, 32 * 32, 1);
        fill_random(g.aux_array[0], 16 * 8, 2);
        // The centred periodic aux grid adds exactly its own periodic bilinear height.
        auto base = [&](double x, double y) {
            return periodic_bilinear(g.heights, 32, 32, 1.0, x, y) +
                   periodic_bilinear(g.aux_array[0], 16, 8, 4.0, x, y);
        };
        for (double x : {-40.0, -3.3, 0.0, 12.7, 100.1})
            for (double y : {-7.9, 0.5, 33.0})
                ASSERT_NEAR(g.get_height(x, y), base(x, y), 1e-5) << x << "," << y;
        // The same heights on the main grid or on an auxiliary grid give the same slopes: both
        // interpolate half-step centred node differences (no facets at the auxiliary cell edges).
        HyGridMulti on_main(16, 8, 4.0, 4.0, 16, 8, 4.0, 4.0), on_aux(16, 8, 4.0, 4.0, 16, 8, 4.0, 4.0);
        std::copy_n(g.aux_array[0], 16 * 8, on_main.heights);
        std::copy_n(g.aux_array[0], 16 * 8, on_aux.aux_array[0]);
        for (double x : {-40.0, -3.3, 0.0, 3.999, 4.001, 12.7})
            for (double y : {-7.9, 0.5, 4.0, 33.0}) {
                double mx, my, ax, ay;
                on_main.get_slope(x, y, mx, my);
                on_aux.get_slope(x, y, ax, ay);
                ASSERT_NEAR(ax, mx, 1e-9) << x << "," << y;
                ASSERT_NEAR(ay, my, 1e-9) << x << "," << y;
            }
        // A non-periodic grid placed away from the origin: outside it only the others contribute.
        float* local = g.add_aux_grid(request(4, 4, 1.0, 0, kHyAuxAdditive));
        ASSERT_NE(local, nullptr);
        std::fill_n(local, 16, 100.0f);
        EXPECT_EQ(g.set_aux_position(local, -50.0, -50.0), 1); // grid node (0,0) at world (50, 50)
        EXPECT_NEAR(g.get_height(0.0, 0.0), base(0, 0), 1e-5);
        EXPECT_NEAR(g.get_height(51.5, 51.5) - base(51.5, 51.5), 100.0, 1e-4);
        // On its edge half the corners are outside and contribute nothing (not the absence value).
        EXPECT_NEAR(g.aux_value(1, 53.5, 51.0), 50.0, 1e-9);
    }
    EXPECT_EQ(hymem::heap_bytes(), before);
}

TEST(GridMulti, MultiplicativeGridScalesTheSeaInsideOnly)
{
    HyGridMulti g(16, 16, 1.0, 1.0, 8, 8, 1.0, 1.0);
    fill_random(g.heights, 256, 3);
    fill_random(g.aux_array[0], 64, 4);
    const double pts[][2] = {{0.2, 0.3}, {-1.7, 2.2}, {5.0, -5.0}, {3.0, 4.0}, {30.0, 30.0}, {-20.0, 1.0}};
    double plain[6];
    for (int k = 0; k < 6; ++k)
        plain[k] = g.get_height(pts[k][0], pts[k][1]);
    float* m = g.add_aux_grid(request(12, 12, 1.0, 0, kHyAuxMultiplicative));
    ASSERT_NE(m, nullptr);
    std::fill_n(m, 144, 0.5f);
    g.set_aux_position(m, 6.0, 6.0); // centred: covers -6..+5 m
    for (int k = 0; k < 6; ++k)
        EXPECT_NEAR(g.get_height(pts[k][0], pts[k][1]), (k < 4 ? 0.5 : 1.0) * plain[k], 1e-6) << k;
    // Slopes of the additive grids are scaled by the same factor.
    double sx0, sy0, sx1, sy1;
    g.clear_aux_periodic(1);
    g.set_aux_type_additive(1); // turn it into a +0.5 bump: slope inside unchanged
    g.get_slope(0.2, 0.3, sx0, sy0);
    g.set_aux_type_multiplicative(1);
    g.get_slope(0.2, 0.3, sx1, sy1);
    EXPECT_NEAR(sx1, 0.5 * sx0, 1e-9);
    EXPECT_NEAR(sy1, 0.5 * sy0, 1e-9);
    // Multiplicative radial: factor from the profile, 1 beyond it.
    g.set_aux_type_multiplicative_radial(1);
    for (int i = 0; i < 12; ++i)
        m[i] = float(i) / 10.0f; // factor r/10 for r < 11
    g.set_aux_position(m, 0.0, 0.0);
    EXPECT_NEAR(g.aux_value(1, 3.0, 4.0), 0.5, 1e-6);
    EXPECT_NEAR(g.aux_value(1, 11.0, 0.0), 1.0, 1e-12);
    EXPECT_NEAR(g.get_height(3.0, 4.0), 0.5 * plain[3], 1e-6);
}

TEST(GridMulti, RadialProfileReachAndRotation)
{
    HyGridMulti g(8, 8, 1.0, 1.0, 8, 8, 1.0, 1.0); // main and aux 0 all zero
    float* p = g.add_aux_grid(request(11, 1, 0.5, 0, kHyAuxAdditiveRadial));
    ASSERT_NE(p, nullptr);
    std::iota(p, p + 11, 1.0f); // h(r) = 1 + 2r up to r = (11 - 1)*0.5 = 5
    EXPECT_EQ(g.set_aux_position(p, 0.0, 0.0), 1);
    EXPECT_NEAR(g.get_height(0.0, 0.0), 1.0, 1e-6);
    EXPECT_NEAR(g.get_height(1.8, -2.4), 1.0 + 2 * 3.0, 1e-5); // r = 3
    EXPECT_NEAR(g.get_height(4.99, 0.0), 1.0 + 2 * 4.99, 1e-4);
    EXPECT_EQ(g.get_height(5.0, 0.0), 0.0); // exactly at the reach: nothing
    EXPECT_EQ(g.get_height(0.0, -7.0), 0.0);
    double sx, sy;
    g.get_slope(1.8, -2.4, sx, sy);
    EXPECT_NEAR(sx, 2.0 * 0.6, 1e-5); // dh/dr = 2 along (0.6, -0.8)
    EXPECT_NEAR(sy, -2.0 * 0.8, 1e-5);
    EXPECT_EQ(g.remove_aux_grid(p), 1);

    // A ramp h = node index along the grid's own x axis, rotated by theta: in the world the height is
    // (x + ox) cos(theta) + (y + oy) sin(theta) and the slope (cos(theta), sin(theta)).
    float* ramp = g.add_aux_grid(request(64, 64, 1.0, 0, kHyAuxAdditive));
    ASSERT_NE(ramp, nullptr);
    for (int k = 0; k < 64 * 64; ++k)
        ramp[k] = float(k % 64);
    for (double theta : {M_PI / 2, M_PI / 6, -0.7}) {
        EXPECT_EQ(g.set_aux_orientation(ramp, theta), 1);
        // Offsets that bring the world origin to the grid's centre node (32, 32) after the rotation.
        const double c = std::cos(theta), s = std::sin(theta), ox = 32 * (c - s), oy = 32 * (s + c);
        EXPECT_EQ(g.set_aux_position(ramp, ox, oy), 1);
        for (double x : {-3.0, 0.0, 2.5})
            for (double y : {-1.0, 4.0}) {
                EXPECT_NEAR(g.get_height(x, y), (x + ox) * c + (y + oy) * s, 1e-4)
                    << theta << " " << x << "," << y;
                g.get_slope(x, y, sx, sy);
                EXPECT_NEAR(sx, c, 1e-5);
                EXPECT_NEAR(sy, s, 1e-5);
            }
    }
    // By index, and clearing: back to the unrotated ramp.
    g.set_aux_position(ramp, -20.0, 20.0);
    g.set_aux_rotation(1, M_PI / 2);
    EXPECT_NEAR(g.get_height(0.0, 3.0), 23.0, 1e-4); // grid point (23, 20)
    g.clear_aux_rotation(1);
    EXPECT_NEAR(g.get_height(0.0, 3.0), 0.0, 1e-12); // grid point (-20, 23): outside
    g.set_aux_position(ramp, 20.0, 20.0);
    EXPECT_NEAR(g.get_height(0.5, 3.0), 20.5, 1e-4);
}

TEST(GridMulti, ReflectingLines)
{
    HyGridMulti g(32, 32, 1.0, 1.0, 16, 16, 2.0, 2.0);
    fill_random(g.heights, 1024, 5);
    fill_random(g.aux_array[0], 256, 6);
    const double x = 3.3, y = 1.7;
    const double h_here = g.get_height(x, y), h_mirror = g.get_height(x, -y);
    double s_here[2], s_mirror[2], sx, sy;
    g.get_slope(x, y, s_here[0], s_here[1]);
    g.get_slope(x, -y, s_mirror[0], s_mirror[1]);
    // A line along the x axis adds the height at (x, -y) and that slope with its y component reversed.
    EXPECT_EQ(g.add_reflecting_line(0.0, 0.0, 0.0), 0);
    EXPECT_NEAR(g.get_height(x, y), h_here + h_mirror, 1e-9);
    g.get_slope(x, y, sx, sy);
    EXPECT_NEAR(sx, s_here[0] + s_mirror[0], 1e-9);
    EXPECT_NEAR(sy, s_here[1] - s_mirror[1], 1e-9);
    // (x - x0) sin - (y - y0) cos < 0: for this line, every point with y > 0.
    EXPECT_EQ(g.is_behind_reflecting_line(1.0, 2.0), 1);
    EXPECT_EQ(g.is_behind_reflecting_line(1.0, -2.0), 0);

    // A diagonal line through (1, 2): the mirror of p is 2*p0 + 2((p - p0).u)u - p.
    g.clear_reflecting_lines();
    const double u = std::sqrt(0.5), d = ((x - 1) * u + (y - 2) * u);
    const double h_m = g.get_height(2 * 1 + 2 * d * u - x, 2 * 2 + 2 * d * u - y);
    EXPECT_EQ(g.add_reflecting_line(1.0, 2.0, M_PI / 4), 0);
    EXPECT_NEAR(g.get_height(x, y), h_here + h_m, 1e-9);
    // Here behind means above the diagonal.
    EXPECT_EQ(g.is_behind_reflecting_line(0.0, 5.0), 1);
    EXPECT_EQ(g.is_behind_reflecting_line(5.0, 0.0), 0);

    // Removal needs the exact values; the others keep their order.
    g.add_reflecting_line(7.0, 0.0, 1.0);
    g.add_reflecting_line(8.0, 0.0, 1.0);
    g.remove_reflecting_line(7.0, 0.0, 1.0000001);
    EXPECT_EQ(g.line_count, 3);
    g.remove_reflecting_line(7.0, 0.0, 1.0);
    EXPECT_EQ(g.line_count, 2);
    EXPECT_EQ(g.line_x0[1], 8.0);

    // The 101st line is refused with three lines on the standard output.
    g.clear_reflecting_lines();
    for (int k = 0; k < 100; ++k)
        ASSERT_EQ(g.add_reflecting_line(double(k), 0.0, 0.0), k);
    EXPECT_EQ(printed([&] { EXPECT_EQ(g.add_reflecting_line(0.0, 0.0, 0.0), -1); }).out,
              "unable to allocate reflecting line \ntoo many disturbances on surface \nError\n");
    EXPECT_EQ(g.line_count, 100);
}

TEST(GridMulti, AuxBookkeepingLimitsAndHeightRange)
{
    HyGridMulti g(8, 8, 1.0, 1.0, 8, 8, 1.0, 1.0);
    std::vector<float*> arrays{g.aux_array[0]};
    for (int k = 1; k < 100; ++k) {
        float* a = g.add_aux_grid(request(4 + k % 3, 2, 1.0, k % 2, kHyAuxAdditive));
        ASSERT_NE(a, nullptr) << k;
        a[0] = float(k);
        arrays.push_back(a);
    }
    const Printed silent =
        printed([&] { EXPECT_EQ(g.add_aux_grid(request(4, 4, 1.0, 1, kHyAuxAdditive)), nullptr); });
    EXPECT_EQ(silent.out + silent.err, "");
    EXPECT_EQ(g.aux_count, 100);
    // Removing closes the gap and keeps the order of the others.
    EXPECT_EQ(g.remove_aux_grid(arrays[50]), 1);
    EXPECT_EQ(g.aux_count, 99);
    EXPECT_EQ(g.find_aux_grid(arrays[50]), -1);
    EXPECT_EQ(g.find_aux_grid(arrays[51]), 50);
    EXPECT_EQ(g.aux_nx[50], 4 + 51 % 3);
    EXPECT_EQ(g.aux_periodic[50], 51 % 2);
    EXPECT_EQ(g.aux_array[50][0], 51.0f);
    EXPECT_EQ(g.remove_aux_grid(arrays[50]), 0);
    float other[4];
    EXPECT_EQ(g.set_aux_position(other, 1.0, 1.0), -1);
    EXPECT_EQ(g.set_aux_orientation(other, 1.0), -1);

    // reallocate_aux_grid resets the grid in place.
    g.set_aux_type_multiplicative(3);
    g.set_aux_rotation(3, 0.3);
    g.clear_aux_periodic(3);
    ASSERT_EQ(g.reallocate_aux_grid(3, 10, 6, 0.5, 2.0), 1);
    EXPECT_TRUE(g.aux_type[3] == kHyAuxAdditive && g.aux_rotated[3] == 0 && g.aux_periodic[3] == 1);
    EXPECT_TRUE(g.aux_offset_x[3] == 2.5 && g.aux_offset_y[3] == 6.0);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(g.aux_array[3]) % 64, 0u);
    EXPECT_EQ(max_abs(g.aux_array[3], 12 * 6), 0.0);
    EXPECT_EQ(printed([&] {
                  EXPECT_EQ(g.reallocate_aux_grid(99, 4, 4, 1.0, 1.0), 0);
                  EXPECT_EQ(g.reallocate_aux_grid(-1, 4, 4, 1.0, 1.0), 0);
              }).err,
              "HyGridMulti: attempt to reset uninitialized aux grid \nHyGridMulti: attempt to reset "
              "uninitialized aux grid \n");

    // Height ranges compose the bounds of every grid and mirror image.
    HyGridMulti h(4, 4, 1.0, 1.0, 4, 4, 1.0, 1.0);
    for (int k = 0; k < 16; ++k) {
        h.heights[k] = float(k % 5) - 1.0f;      // -1..3
        h.aux_array[0][k] = float(k % 3) - 0.5f; // -0.5..1.5
    }
    auto range = [&, lo = 0.0, hi = 0.0]() mutable {
        h.get_height_range(lo, hi);
        return std::pair{lo, hi};
    };
    EXPECT_EQ(range(), std::pair(-1.5, 4.5));
    float* a = h.add_aux_grid(request(2, 2, 1.0, 1, kHyAuxAdditive));
    a[0] = 2.0f;
    a[1] = -3.0f;
    EXPECT_EQ(range(), std::pair(-4.5, 6.5));
    h.add_reflecting_line(0.0, 0.0, 0.0);
    h.add_reflecting_line(0.0, 1.0, 0.0);
    EXPECT_EQ(range(), std::pair(-13.5, 19.5));
    // Curvature applies to the composed surface too.
    h.clear_reflecting_lines();
    const double flat = h.get_height(30.0, 40.0);
    h.curvature = 1;
    h.curvature_radius = 500.0;
    EXPECT_NEAR(h.get_height(30.0, 40.0), flat - 2.5, 1e-12);
    EXPECT_NEAR(h.get_height(30.0, 40.0, 1), flat, 1e-12);
}

TEST(GridMulti, HygRoundTripAndLayout)
{
    const TempFile path("grid.hyg");
    HyGridMulti a(16, 8, 0.75, 1.5, 8, 4, 3.0, 3.0);
    fill_random(a.heights, 128, 7, 3.0f);
    fill_random(a.aux_array[0], 32, 8);
    a.wrap_y = 0;
    a.curvature = 1;
    a.curvature_radius = 6371000.0;
    float* b = a.add_aux_grid(request(5, 3, 0.1, 0, kHyAuxMultiplicativeRadial));
    fill_random(b, 15, 9);
    a.set_aux_orientation(b, 0.4);
    a.set_aux_position(b, -1.25, 2.5);
    a.add_reflecting_line(1.0, -2.0, 0.3);
    ASSERT_EQ(a.write_hyg(path.c_str()), 1);

    // Magic 0x000011F7, nx 16 and ny 8 as big-endian words, then dx = 0.75f = 0x3F400000.
    const std::vector<unsigned char> bytes = file_bytes(path);
    ASSERT_EQ(bytes.size(),
              4 * (1 + 2 + 6 + 3 + 1 + 128 + 1 + 4 + 1) + 2 * 4 * (2 + 4 + 3 + 4) + 4 * (32 + 15));
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 14),
              (std::vector<unsigned char>{0, 0, 0x11, 0xF7, 0, 0, 0, 16, 0, 0, 0, 8, 0x3F, 0x40}));

    // Read back and written again, the file is the same byte for byte.
    HyGridMulti c(4, 4, 1.0, 1.0, 2, 2, 1.0, 1.0);
    ASSERT_EQ(c.read_hyg(path.c_str()), 1);
    const TempFile again("again.hyg");
    ASSERT_EQ(c.write_hyg(again.c_str()), 1);
    EXPECT_EQ(file_bytes(again), bytes);
    EXPECT_EQ(c.half_y, double(float(6.0)));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(c.heights) % 64, 0u);
    EXPECT_EQ(c.heights[128], 0.0f); // the spare transform floats are zeroed
    EXPECT_NEAR(c.line_angle[0], 0.3, 1e-6);
    // The composed surface agrees to float precision.
    for (double x : {-3.0, 0.1, 4.4})
        for (double y : {-2.0, 0.7})
            EXPECT_NEAR(c.get_height(x, y), a.get_height(x, y), 1e-3 * (1 + std::fabs(a.get_height(x, y))));

    // Small and empty grids at the end of the file: only what each grid holds is required.
    HyGridMulti tiny(1, 1, 1.0, 1.0, 1, 1, 1.0, 1.0);
    ASSERT_NE(tiny.add_aux_grid(request(1, 1, 1.0, 1, kHyAuxAdditive)), nullptr);
    printed([&] { EXPECT_EQ(tiny.reallocate_aux_grid(1, 0, 0, 1.0, 1.0), 0); }); // leaves an empty grid
    ASSERT_EQ(tiny.write_hyg(path.c_str()), 1);
    ASSERT_EQ(c.read_hyg(path.c_str()), 1);
    EXPECT_EQ(c.aux_count, 2);
    EXPECT_EQ(c.aux_array[1], nullptr);
    EXPECT_EQ(c.get_height(0.3, 0.3), 0.0);
}

TEST(GridMulti, HygRejectsBadFilesAndKeepsTheGrid)
{
    const TempFile good("good.hyg"), bad("bad.hyg");
    HyGridMulti a(8, 8, 1.0, 1.0, 4, 4, 2.0, 2.0);
    fill_random(a.heights, 64, 11);
    ASSERT_EQ(a.write_hyg(good.c_str()), 1);
    const std::vector<unsigned char> bytes = file_bytes(good);

    HyGridMulti g(6, 6, 1.0, 1.0, 2, 2, 1.0, 1.0);
    fill_random(g.heights, 36, 12);
    const float* old_heights = g.heights;
    const float old_first = g.heights[0];
    // Reads `b` from a file, expects a refusal that leaves the grid as it was; what it printed.
    auto refused = [&](const std::vector<unsigned char>& b) {
        std::ofstream(bad, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
        const Printed said = printed([&] { EXPECT_EQ(g.read_hyg(bad.c_str()), 0); });
        EXPECT_EQ(g.heights, old_heights);
        EXPECT_EQ(g.heights[0], old_first);
        EXPECT_EQ(g.nx, 6);
        EXPECT_EQ(g.aux_count, 1);
        EXPECT_EQ(g.aux_nx[0], 2);
        return said;
    };
    // Wrong magic: the formatted message on the standard output.
    std::vector<unsigned char> wrong = bytes;
    wrong[3] = 0xF6;
    EXPECT_EQ(refused(wrong).out, "file " + bad + " not of hyg format \n");
    EXPECT_EQ(printed([&] { EXPECT_EQ(g.read_hyg((bad + ".missing").c_str()), 0); }).out,
              "unable to open file " + bad + ".missing\n");
    // Every truncation is refused.
    for (std::size_t n = 0; n < bytes.size(); n += (n < 64 ? 1 : 37)) {
        SCOPED_TRACE(n);
        refused(std::vector<unsigned char>(bytes.begin(), bytes.begin() + std::ptrdiff_t(n)));
    }
    // Hostile counts: a huge main grid, a negative size, too many lines or grids, an illegal type.
    auto patch32 = [&](std::size_t offset, std::uint32_t v) {
        std::vector<unsigned char> b = bytes;
        for (int k = 0; k < 4; ++k)
            b[offset + std::size_t(k)] = static_cast<unsigned char>(v >> (24 - 8 * k));
        return b;
    };
    const std::size_t lines_at = 4 * (1 + 2 + 6 + 3 + 1 + 64), aux_at = lines_at + 4;
    for (const auto& b : {patch32(4, 0x7fffffff), patch32(8, 0xffffffff), patch32(4, 65536),
                          patch32(lines_at, 101), patch32(lines_at, 0x80000000u), patch32(aux_at, 101),
                          patch32(aux_at + 4, 1u << 30), patch32(aux_at + 4 + 4 * 7, 4)}) {
        const std::string err = refused(b).err;
        EXPECT_NE(err.find("hyg"), std::string::npos) << err;
    }
    // And a good file still reads.
    ASSERT_EQ(g.read_hyg(good.c_str()), 1);
    EXPECT_EQ(g.nx, 8);
    EXPECT_EQ(g.heights[5], a.heights[5]);
    EXPECT_EQ(printed([&] { EXPECT_EQ(g.write_hyg("/nonexistent-dir-h3/x.hyg"), 0); }).out,
              "unable to open file /nonexistent-dir-h3/x.hyg\n");
}

TEST(GridMulti, AllocationFailures)
{
    // The auxiliary array of the constructor cannot be had: two messages, the main grid still works.
    {
        RefusedAllocations refuse(100000);
        HyGridMulti* g = nullptr;
        const Printed said = printed([&] { g = new HyGridMulti(16, 16, 1.0, 1.0, 256, 256, 1.0, 1.0); });
        EXPECT_EQ(said.err, "unable to allocate grid 0\n");
        EXPECT_EQ(said.out, "Out of Memory\n");
        EXPECT_EQ(g->aux_array[0], nullptr);
        g->heights[0] = 2.0f;
        EXPECT_NEAR(g->get_height(-8.0, -8.0), 2.0, 1e-9);
        delete g; // its blocks came from the hook: free them while it is installed
    }
    // A hyg file whose arrays cannot be allocated leaves the grid as it was.
    const TempFile path("big.hyg");
    ASSERT_EQ(HyGridMulti(256, 256, 1.0, 1.0, 4, 4, 1.0, 1.0).write_hyg(path.c_str()), 1);
    HyGridMulti small(4, 4, 1.0, 1.0, 2, 2, 1.0, 1.0);
    small.heights[3] = 5.0f;
    const Printed said = printed_refused(100000, [&] { EXPECT_EQ(small.read_hyg(path.c_str()), 0); });
    EXPECT_EQ(said.err, "HyGridMulti: unable to allocate primary array \n");
    EXPECT_EQ(said.out, "Out of Memory\n");
    EXPECT_EQ(small.nx, 4);
    EXPECT_EQ(small.heights[3], 5.0f);
}

TEST(GridMulti, ConcurrentQueriesMatchSerialOnes)
{
    HyGridMulti g(64, 64, 0.5, 0.5, 32, 32, 4.0, 4.0);
    fill_random(g.heights, 64 * 64, 21);
    fill_random(g.aux_array[0], 32 * 32, 22);
    fill_random(g.add_aux_grid({.nx = 16, .ny = 16, .periodic = 0, .rotated = 1, .angle = 0.5}), 256, 23);
    g.add_reflecting_line(0.0, -10.0, 0.2);
    const int n = 4000;
    std::vector<double> serial(3 * n), parallel(3 * n);
    auto work = [&](std::vector<double>& out, int begin, int end) {
        for (int k = begin; k < end; ++k) {
            const double x = (k % 97) * 0.731 - 30.0, y = (k / 97) * 1.37 - 25.0;
            out[3 * k] = g.get_height(x, y);
            g.get_slope(x, y, out[3 * k + 1], out[3 * k + 2]);
        }
    };
    work(serial, 0, n);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(work, std::ref(parallel), t * n / 4, (t + 1) * n / 4);
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(serial, parallel);
}
