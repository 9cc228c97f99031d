// Displacement element: placement offsets and corners, checked through a rotated auxiliary grid of
// the multi-resolution grid (which maps world points to array nodes independently of the element).
#include "ocean/HyGridMulti.h"
#include "ocean/HyOceanSurfaceGridElement_displacement.h"
#include "tests/ocean/OceanTestSupport.h"

TEST(Displacement, ArrayLandsWhereThePlacementSays)
{
    // A grid turned by theta with the element's offsets must show node (i, j) at
    // c + R(theta) * ((i dx, j dy) - (hx, hy)).
    const int nx = 40, ny = 30;
    const double dx = 0.5, dy = 0.8, cx = 7.0, cy = -3.0, theta = 0.6;
    HyGridMulti grid(8, 8, 1.0, 1.0, 8, 8, 1.0, 1.0);
    float* array = grid.add_aux_grid(
        {.nx = nx, .ny = ny, .dx = dx, .dy = dy, .periodic = 0, .rotated = 1, .angle = theta});
    ASSERT_NE(array, nullptr);
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
            array[j * nx + i] = float(i + 100 * j);
    // The placement is in the parameters: centre, then rotation.
    HyOceanSurfaceGridElement_displacement e(
        {.nx = nx, .ny = ny, .dx = dx, .dy = dy, .heights = array, .params = {cx, cy, theta, 0.01}});
    // Evolving and transforming keep the caller's values.
    const std::vector<float> before(array, array + (nx + 2) * ny);
    e.evolve_to_time(3.0);
    e.transform_to_heights();
    EXPECT_EQ(std::vector<float>(array, array + (nx + 2) * ny), before);

    double ox = 0, oy = 0;
    e.get_position(0.0, ox, oy);
    const int g = grid.set_aux_position(array, ox, oy);
    ASSERT_EQ(g, 1);
    // World point of (ax, ay) in the rectangle's own frame, centred on its middle.
    const auto world = [&](double ax, double ay) {
        return std::pair{cx + std::cos(theta) * ax - std::sin(theta) * ay,
                         cy + std::sin(theta) * ax + std::cos(theta) * ay};
    };
    for (int j : {0, 7, 29})
        for (int i : {0, 13, 39}) {
            const auto [wx, wy] = world(i * dx - nx * dx / 2, j * dy - ny * dy / 2);
            EXPECT_NEAR(grid.aux_value(g, wx, wy), i + 100 * j, 1e-6) << i << "," << j;
        }
    // Corners, first to last: (-hx, hy), (-hx, -hy), (hx, hy), (hx, -hy) in the rectangle's frame.
    double c[8];
    e.get_corners(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
    for (int k = 0; k < 4; ++k) {
        const auto [wx, wy] = world((k < 2 ? -0.5 : 0.5) * nx * dx, (k % 2 ? -0.5 : 0.5) * ny * dy);
        EXPECT_NEAR(c[2 * k], wx, 1e-9) << k;
        EXPECT_NEAR(c[2 * k + 1], wy, 1e-9) << k;
    }
    // The centre of the rectangle is the middle of the array.
    EXPECT_NEAR(grid.aux_value(g, cx, cy), nx / 2 + 100 * (ny / 2), 1e-6);
}
