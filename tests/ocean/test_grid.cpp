// Height grid: interpolation, absence rule, curvature, slopes, normals, range, reallocation and the
// SGI writers (read back by an independent image reader when one is installed).
#include "ocean/HyGrid.h"
#include "tests/ocean/OceanTestSupport.h"

#include <optional>
#include <random>

namespace {

using namespace oceantest;

// Fills node (i, j) with f(i, j).
template <class F> void fill(HyGrid& g, F f)
{
    for (int j = 0; j < g.ny; ++j)
        for (int i = 0; i < g.nx; ++i)
            g.heights[j * g.nx + i] = static_cast<float>(f(i, j));
}

double node_x(const HyGrid& g, double i) { return i * g.dx - g.half_x; }
double node_y(const HyGrid& g, double j) { return j * g.dy - g.half_y; }

std::string run(const std::string& cmd)
{
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    ::pclose(p);
    return out;
}

bool have_tool(const char* tool) { return !run(std::string("command -v ") + tool).empty(); }

// A grid whose height is a fixed plane: the difference slope must see it through the virtual call.
struct PlaneGrid : HyGrid {
    PlaneGrid() : HyGrid(4, 4, 1.0, 1.0) {}
    double get_height(double x, double y, int) const override { return 2.0 * x - 3.0 * y; }
};

} // namespace

TEST(Grid, BilinearHeightOnNodesBetweenNodesAndAcrossPeriods)
{
    HyGrid g(8, 6, 1.5, 0.75);
    fill(g, [](int i, int j) { return 10 * i + j + 0.25 * i * j; });
    for (int j = 0; j < 6; ++j)
        for (int i = 0; i < 8; ++i)
            ASSERT_DOUBLE_EQ(g.get_height(node_x(g, i), node_y(g, j)), g.node(i, j)) << i << "," << j;
    // Weights in the stated order: corners (i0, j0), (i0, j0+1), (i0+1, j0), (i0+1, j0+1).
    const double fx = 0.3, fy = 0.8;
    const double expected = (1 - fx) * (1 - fy) * g.node(2, 3) + (1 - fx) * fy * g.node(2, 4) +
                            fx * (1 - fy) * g.node(3, 3) + fx * fy * g.node(3, 4);
    EXPECT_NEAR(g.get_height(node_x(g, 2.3), node_y(g, 3.8)), expected, 1e-9);
    // Fully periodic: node coordinate -0.3 floors to -1 and wraps to 7, 0.7 of the way to node 0.
    EXPECT_NEAR(g.get_height(node_x(g, -0.3), node_y(g, 0)), 0.3 * g.node(7, 0) + 0.7 * g.node(0, 0), 1e-9);
    EXPECT_NEAR(g.get_height(node_x(g, 2.3 - 3 * 8), node_y(g, 3.8 + 2 * 6)), expected, 1e-9);
    // Points very far away still land on the torus without overflow.
    EXPECT_TRUE(std::isfinite(g.get_height(1e15, -1e17)));
}

TEST(Grid, AbsenceRuleOnNonPeriodicAxesAndCurvatureDropAndSlope)
{
    HyGrid g(8, 8, 1.0, 1.0);
    fill(g, [](int i, int j) { return i + 2 * j; });
    g.wrap_y = 0; // periodic in x only
    // Inside: ordinary interpolation; x still wraps.
    EXPECT_NEAR(g.get_height(node_x(g, 8.5), node_y(g, 2)), 0.5 * g.node(0, 2) + 0.5 * g.node(1, 2), 1e-9);
    // Beyond the top row by half a node: the two upper corners are missing, the lower two contribute.
    const double h = g.get_height(node_x(g, 3), node_y(g, 7.5));
    EXPECT_NEAR(h, -2 * 99999999.0 + 0.5 * g.node(3, 7), 1e-6);
    // Fully outside: four missing corners.
    EXPECT_NEAR(g.get_height(node_x(g, 3.5), node_y(g, 20.25)), -4 * 99999999.0, 1e-6);
    EXPECT_LE(g.get_height(0.0, 1e30), -99999999.0);
    // Exactly on the last row: weight 1 on it; the corner above has weight 0 but is still missing.
    EXPECT_NEAR(g.get_height(node_x(g, 3), node_y(g, 7)), g.node(3, 7) - 2 * 99999999.0, 1e-6);
    g.wrap_x = 0;
    EXPECT_NEAR(g.get_height(node_x(g, -0.5), node_y(g, 3)), -2 * 99999999.0 + 0.5 * g.node(0, 3), 1e-6);

    HyGrid c(16, 16, 1.0, 1.0);
    c.curvature = 1;
    c.curvature_radius = 1000.0;
    // 100 m from the centre on a 16 m periodic grid of zeros: a drop of 100^2/2/1000 = 5 m.
    EXPECT_NEAR(c.get_height(60.0, 80.0), -5.0, 1e-12);
    EXPECT_EQ(c.get_height(60.0, 80.0, 1), 0.0);
    double sx, sy, fx, fy, ax, ay;
    c.get_slope(60.0, 80.0, sx, sy);
    c.get_slope(60.0, 80.0, fx, fy, 1);
    c.get_slope_at(60.0, 80.0, ax, ay);
    EXPECT_TRUE(sx == -0.06 && sy == -0.08 && fx == 0.0 && fy == 0.0 && ax == -0.06) << sx << " " << sy;
}

TEST(Grid, SlopeOfASineIsSecondOrderAccurate)
{
    // The half-step shift centres the difference, so the slope of a periodic sine is second-order
    // accurate: compare with the analytic derivative.
    const int n = 256;
    HyGrid wave(n, n, 0.25, 0.25);
    const double k = 2 * M_PI * 3 / (n * 0.25), q = 2 * M_PI * 2 / (n * 0.25);
    fill(wave, [&](int i, int j) { return std::sin(k * node_x(wave, i)) * std::cos(q * node_y(wave, j)); });
    for (double x : {-10.0, 0.13, 7.77})
        for (double y : {-3.3, 4.1}) {
            const double ex = k * std::cos(k * x) * std::cos(q * y),
                         ey = -q * std::sin(k * x) * std::sin(q * y);
            double sx, sy, dx, dy, fx, fy;
            wave.get_slope(x, y, sx, sy);
            wave.get_slope_by_difference(x, y, 0.0, 0.0, dx, dy); // steps below dx use dx
            wave.get_slope_by_difference_at(x, y, 1.0, 1.0, fx, fy);
            for (double v : {sx, dx})
                EXPECT_NEAR(v, ex, 2e-3);
            for (double v : {sy, dy})
                EXPECT_NEAR(v, ey, 2e-3);
            EXPECT_NEAR(fx, wave.get_height(x + 0.5, y) - wave.get_height(x - 0.5, y), 1e-12);
            EXPECT_NEAR(fy, wave.get_height(x, y + 0.5) - wave.get_height(x, y - 0.5), 1e-12);
        }
}

TEST(Grid, SlopeIsTheShiftedWeightedNodeDifference)
{
    // Oracle written from the rule: node slope (h(i,j) - h(i-s,j))/(s dx), indices wrapped on a periodic
    // axis and clamped on the other; interpolated at the point shifted half a step along the axis.
    HyGrid g(12, 9, 0.7, 1.3);
    fill(g, [](int i, int j) { return std::sin(1.3 * i + 0.2 * j * j) + 0.1 * i * j; });
    auto oracle = [&](double x, double y, double& sx, double& sy) {
        const int s = g.difference_step;
        auto idx = [](int i, int n, int wrap) { return wrap ? ((i % n) + n) % n : std::clamp(i, 0, n - 1); };
        auto h = [&](int i, int j) { return double(g.node(idx(i, g.nx, g.wrap_x), idx(j, g.ny, g.wrap_y))); };
        sx = bilinear((x + g.half_x + s * g.dx / 2) / g.dx, (y + g.half_y) / g.dy,
                    [&](int i, int j) { return (h(i, j) - h(i - s, j)) / (s * g.dx); });
        sy = bilinear((x + g.half_x) / g.dx, (y + g.half_y + s * g.dy / 2) / g.dy,
                    [&](int i, int j) { return (h(i, j) - h(i, j - s)) / (s * g.dy); });
    };
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-12.0, 12.0);
    for (int wrap = 0; wrap < 4; ++wrap) {
        g.wrap_x = wrap & 1;
        g.wrap_y = (wrap >> 1) & 1;
        for (int s : {1, 2, 5}) {
            g.difference_step = s;
            for (int k = 0; k < 200; ++k) {
                const double x = u(rng), y = u(rng);
                double sx, sy, ex, ey;
                g.get_slope(x, y, sx, sy);
                oracle(x, y, ex, ey);
                ASSERT_NEAR(sx, ex, 1e-9) << wrap << " " << s << " " << x << "," << y;
                ASSERT_NEAR(sy, ey, 1e-9) << wrap << " " << s << " " << x << "," << y;
            }
        }
    }
}

TEST(Grid, DifferenceSlopeUsesTheDerivedHeightAndNormalsCompose)
{
    PlaneGrid p;
    double sx, sy;
    p.get_slope_by_difference(0.4, 0.1, 2.0, 0.5, sx, sy);
    EXPECT_NEAR(sx, 2.0, 1e-12);
    EXPECT_NEAR(sy, -3.0, 1e-12);

    // Tilting the up normal by two grids in turn gives the normal of their summed slopes.
    HyGrid a(32, 32, 1.0, 1.0), b(16, 16, 2.0, 2.0);
    fill(a, [](int i, int j) { return 0.1 * std::sin(i * 0.4) + 0.05 * j * j / 32.0; });
    fill(b, [](int i, int j) { return 0.2 * std::cos(j * 0.8 + i); });
    const double x = 1.3, y = -2.2;
    double nx = 0, ny = 0, nz = 1;
    a.add_slope_to_normal(x, y, nx, ny, nz);
    b.add_slope_to_normal(x, y, nx, ny, nz);
    double ax, ay, bx, by;
    a.get_slope(x, y, ax, ay);
    b.get_slope(x, y, bx, by);
    const double px = ax + bx, py = ay + by, k = 1 / std::sqrt(px * px + py * py + 1);
    EXPECT_NEAR(nx, -px * k, 1e-12);
    EXPECT_NEAR(ny, -py * k, 1e-12);
    EXPECT_NEAR(nz, k, 1e-12);
    // The difference variant with the plane grid: normal of slope (2, -3).
    double mx = 0, my = 0, mz = 5; // any positive length: only the direction is read
    p.add_difference_slope_to_normal(0, 0, mx, my, mz, 1.0, 1.0);
    EXPECT_NEAR(mx, -2 / std::sqrt(14.0), 1e-12);
    EXPECT_NEAR(my, 3 / std::sqrt(14.0), 1e-12);
    // A horizontal normal (n_z = 0) is left alone.
    double hx = 1, hy = 0, hz = 0;
    a.add_slope_to_normal(x, y, hx, hy, hz);
    a.add_difference_slope_to_normal(x, y, hx, hy, hz, 1.0, 1.0);
    EXPECT_TRUE(hx == 1.0 && hy == 0.0 && hz == 0.0);
}

TEST(Grid, LayoutHeightRangeAndReallocation)
{
    // Room for the in-place transform: (nx + 2)*ny floats, all zero, from the tagged allocator and
    // aligned for the vectorised transform, after a reallocation too; all of it given back.
    const auto before = hymem::heap_bytes();
    std::optional<HyGrid> g(std::in_place, 10, 7, 1.0, 1.0);
    EXPECT_GE(hymem::heap_bytes() - before, std::int64_t(sizeof(float) * 12 * 7));
    EXPECT_LE(hymem::heap_bytes() - before, std::int64_t(sizeof(float) * 12 * 7 + 64));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(g->heights) % 64, 0u);
    EXPECT_EQ(max_abs(g->heights, 12 * 7), 0.0);
    double lo, hi;
    fill(*g, [](int i, int j) { return (i - 4.5) * (j - 2); });
    g->heights[10 * 7] = 1e6f; // the spare transform floats are not heights
    g->get_height_range(lo, hi);
    EXPECT_DOUBLE_EQ(lo, -4.5 * 4);
    EXPECT_DOUBLE_EQ(hi, 4.5 * 4);

    g->wrap_x = 0;
    g->difference_step = 3;
    ASSERT_EQ(g->reallocate(6, 4, 2.0, 0.5), 1);
    EXPECT_TRUE(g->wrap_x == 1 && g->difference_step == 1 && g->half_x == 6.0);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(g->heights) % 64, 0u);
    EXPECT_EQ(max_abs(g->heights, 8 * 4), 0.0);
    g.reset();
    EXPECT_EQ(hymem::heap_bytes(), before);

    HyGrid empty(0, 5, 1.0, 1.0);
    empty.get_height_range(lo, hi);
    EXPECT_EQ(lo, 99999999.0);
    EXPECT_EQ(hi, -99999999.0);
    EXPECT_LE(empty.get_height(0, 0), -99999999.0);
}

TEST(Grid, WriteAndAllocationFailuresAreReported)
{
    HyGrid tiny(2, 2, 1.0, 1.0);
    const std::string bad = "/nonexistent-dir-h3/x.sgi";
    EXPECT_EQ(printed([&] { EXPECT_EQ(tiny.write_sgi_height(bad.c_str(), 0, 1, 0, 0, 4, 4, 1, 1), 0); }).err,
              "unable to open " + bad + "\nunable to initialize SGI file " + bad + "\n");
    const HySgiSampling s{.count_x = 4, .count_y = 4, .spacing_x = 1, .spacing_y = 1};
    EXPECT_NE(printed([&] {
                  EXPECT_EQ(tiny.write_sgi_height_and_slope(bad.c_str(), 0, 1, 0, 1, 0, 0, s), 0);
              }).err.find("unable to initialize SGI file " + bad),
              std::string::npos);

    RefusedAllocations refuse(1000);
    std::optional<HyGrid> g;
    EXPECT_EQ(printed([&] { g.emplace(64, 64, 1.0, 1.0); }).out, "Out of Memory\n");
    EXPECT_EQ(g->heights, nullptr);
    EXPECT_LE(g->get_height(0, 0), -99999999.0);
    HyGrid small(4, 4, 1.0, 1.0);
    ASSERT_NE(small.heights, nullptr);
    EXPECT_EQ(printed([&] { EXPECT_EQ(small.reallocate(128, 128, 1.0, 1.0), 0); }).err,
              "HyGrid: error allocating primary grid \n");
    EXPECT_EQ(small.heights, nullptr);
    // The SGI sample array cannot be had either.
    EXPECT_EQ(printed([&] {
                  EXPECT_EQ(tiny.write_sgi_height(TempFile("no.sgi").c_str(), 0, 1, 0, 0, 64, 64, 1, 1), 0);
              }).err,
              "unable to write height array \n");
}

TEST(Grid, SgiFileLayoutAndAnIndependentReaderOfIt)
{
    HyGrid g(64, 32, 1.0, 1.0);
    fill(g, [](int i, int j) { return (i + j) % 7 - 3.0; });
    const TempFile path("layout.sgi");
    ASSERT_EQ(g.write_sgi_height(path.c_str(), -3.0, 3.0, 0.0, 0.0, 64, 32, 1.0, 1.0), 1);
    const auto bytes = file_bytes(path);
    ASSERT_EQ(bytes.size(), 512u + 2048u);
    // Magic 474, RLE 0, 1 byte per channel, 3 dimensions, 64 x 32 x 1, min 0, max 255, then zeros.
    const std::vector<unsigned char> header{1, 218, 0, 1, 0, 3, 0, 64, 0, 32, 0, 1, 0, 0, 0, 0, 0, 0, 0, 255};
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 20), header);
    for (int o = 20; o < 512; ++o)
        ASSERT_EQ(bytes[o], 0) << o;
    // Samples sit exactly on the nodes (count*spacing/2 = half extent): bytes are the scaled heights,
    // the minimum giving 0 and the maximum 255.
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 64; ++i) {
            const float v = (g.node(i, j) + 3.0f) / 6.0f * 255.0f;
            const int expected = v <= 0 ? 0 : v >= 255 ? 255 : int(v);
            ASSERT_EQ(bytes[512 + j * 64 + i], expected) << i << "," << j;
        }

    // An independent reader sees the same image.
    if (!have_tool("identify") || !have_tool("convert"))
        GTEST_SKIP() << "ImageMagick identify/convert not on PATH";
    EXPECT_EQ(run("identify -format '%m %w %h' '" + path + "'"), "SGI 64 32");
    // Raw gray bytes, top row first; SGI stores the bottom row first, so image row r is file row 31 - r.
    const std::string gray = run("convert '" + path + "' -depth 8 gray:-");
    ASSERT_EQ(gray.size(), 64u * 32u);
    for (int r = 0; r < 32; ++r)
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(std::uint8_t(gray[r * 64 + i]), bytes[512 + (31 - r) * 64 + i]) << r << "," << i;

    // Three channels read as RGB: red = height, green = x slope, blue = y slope.
    fill(g, [](int i, int j) { return i * 4 + (j % 3); }); // 0..254
    const TempFile three("three.sgi");
    const HySgiSampling s{.count_x = 64, .count_y = 32, .spacing_x = 1.0, .spacing_y = 1.0};
    ASSERT_EQ(g.write_sgi_height_and_slope(three.c_str(), 0.0, 255.0, -8.0, 8.0, 0.0, 0.0, s), 1);
    EXPECT_EQ(run("identify -format '%w %h %[channels]' '" + three + "'").substr(0, 9), "64 32 srg");
    const std::string rgb = run("convert '" + three + "' -depth 8 rgb:-");
    ASSERT_EQ(rgb.size(), 64u * 32u * 3u);
    for (int r = 0; r < 32; ++r)
        for (int i = 1; i < 63; ++i) {
            const int j = 31 - r;
            const unsigned char* px = reinterpret_cast<const unsigned char*>(rgb.data()) + 3 * (r * 64 + i);
            ASSERT_EQ(px[0], i * 4 + (j % 3));
            // Interior x slope of 4 per metre: (4 + 8)/16*255 = 191.25 -> 191.
            ASSERT_EQ(px[1], 191) << r << "," << i;
        }
}
