// Scene renderer: each path against an independent expectation (light dome, plane distances, the water's
// square edge, upwelling colour, total internal reflection, alpha per render-what, light tracking), stop
// requests and registries; the records' texture flag, grid query and tagged type codes.
#include "ocean/HyOceanSurface.h"
#include "optics/HyAirOptics.h"
#include "optics/HyOceanOptics.h"
#include "render/HyRenderScene.h"
#include "tests/render/render_test_support.h"

#include <algorithm>

namespace {

// A scene with a camera, its planes and one light; optional flat sea and air records.
struct SceneRig {
    HyRenderScene scene;
    HyRenderData_Camera camera;
    HyImagePlanes planes;
    HyRenderData_Light light;
    HyRenderData_Ocean ocean;
    HyRenderData_Air air;
    HyOceanSurface surface;
    HyOceanOptics optics;
    HyAirFlatOptics air_optics;

    SceneRig(int w, int h, double hfov_deg, double x, double y, double z, double a, double b, double c)
        : camera(render_test::make_camera(std::uint32_t(w), std::uint32_t(h), hfov_deg * M_PI / 180.0,
                                          {a, b, c}, x, y, z))
    {
        EXPECT_EQ(planes.allocate(std::uint32_t(w), std::uint32_t(h), true, false), 1);
        planes.attach(camera);
        scene.add_camera(&camera);
        scene.add_light(&light);
        scene.disable_output_mapping();
    }
    // A calm sea: real primary waves with no height.
    void add_flat_sea(std::uint32_t surface_mode, std::uint32_t scene_mode, double max_distance = 10000.0,
                      std::uint32_t to_horizon = 1)
    {
        ASSERT_EQ(surface.allocate_primary_waves(
                      {.size = 32, .small_spacing = 1.0, .large_spacing = 8.0, .vertical_scale = 0.0}),
                  1);
        surface.evolve_to_time(0.0);
        ocean.set_surface(&surface);
        ocean.set_ocean_optics(&optics);
        ocean.set_distances(32.0, max_distance, 1.0);
        ocean.set_to_horizon(to_horizon);
        ocean.set_surface_mode(surface_mode);
        scene.set_render_mode(scene_mode);
        scene.add_render_data(&ocean);
    }
    void add_air()
    {
        air.set_optics(&air_optics);
        scene.add_render_data(&air);
    }
    int columns() const { return int(planes.columns); }
    int rows() const { return int(planes.rows); }
    std::size_t at(int row, int column) const { return std::size_t(row) * planes.columns + std::size_t(column); }
    void direction(int row, int column, double v[3]) const
    {
        camera.view().pixel_direction(row, column, v[0], v[1], v[2]);
    }
    float* plane(int k) const { return k == 0 ? planes.red : k == 1 ? planes.green : planes.blue; }
    void set_light(double x, double y, double z, double red, double green, double blue)
    {
        const double d[3] = {x, y, z}, c[3] = {red, green, blue};
        std::copy(d, d + 3, light.direction);
        std::copy(c, c + 3, light.colour);
    }
};

TEST(Scene, LightDomeFollowsTheFifthPowerLawAndNoLightMeansBlack)
{
    // Centre pixel of a 3 x 3 picture looks along the axis: up, level, down.
    const double K[3] = {0.2, 0.4, 0.8};
    const struct {
        double tilt, weight;
    } cases[] = {{0.0, 1.0}, {M_PI / 2, 0.5}, {M_PI, 0.0}};
    for (const auto& c : cases) {
        SceneRig rig(3, 3, 30.0, 0, 0, 5, c.tilt, 0.3, 0);
        rig.set_light(0, 0, -1, K[0], K[1], K[2]);
        ASSERT_EQ(rig.scene.render(), 1);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(rig.plane(k)[4], c.weight * K[k], 1e-6) << c.tilt;
    }
    // Without lights: black, alpha untouched, whatever else is registered.
    SceneRig rig(4, 3, 30.0, 0, 0, 5, 2.0, 0, 0);
    rig.add_air();
    rig.scene.remove_light(&rig.light);
    std::fill(rig.planes.red, rig.planes.red + 12, 0.5f);
    std::fill(rig.planes.alpha, rig.planes.alpha + 12, 0.7f);
    ASSERT_EQ(rig.scene.render(), 1);
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(rig.planes.red[i] == 0.0f && rig.planes.alpha[i] == 0.7f) << i;
}

// Depth map of a flat sea: covered pixels hold the distance to z = 0 along their rays, sky reads 1e8.
TEST(Scene, DepthMapOfAFlatSeaIsTheDistanceToThePlane)
{
    std::vector<float> without_air;
    for (int with_air = 0; with_air < 2; ++with_air) {
        SceneRig rig(40, 30, 70.0, 3.0, -2.0, 7.0, 1.75, 0.4, 0.1);
        rig.add_flat_sea(HyRenderScene::kSurfaceDepth, HyRenderScene::kModeRealistic);
        if (with_air)
            rig.add_air();
        ASSERT_EQ(rig.scene.render(), 1);
        int water = 0, sky = 0;
        for (int r = 0; r < rig.rows(); ++r)
            for (int c = 0; c < rig.columns(); ++c) {
                const float d = rig.planes.red[rig.at(r, c)], a = rig.planes.alpha[rig.at(r, c)];
                double v[3], s[3], expected = 0.0;
                rig.direction(r, c, v);
                if (a >= 0.999f && v[2] < -0.05) {
                    // The mean distance over the pixel's area, 16 x 16 sub-samples; points inside a screen
                    // triangle are placed by screen-space weights, not perspective-correct ones.
                    for (int i = 0; i < 256; ++i) {
                        rig.camera.view().subpixel_direction(r + (i / 16 + 0.5) / 16, c + (i % 16 + 0.5) / 16,
                                                             s[0], s[1], s[2]);
                        expected += 7.0 / -s[2] / 256.0;
                    }
                    EXPECT_NEAR(d, expected, 8e-3 * expected) << r << "," << c;
                    ++water;
                } else if (a <= 0.01f) {
                    EXPECT_TRUE(d == HyRenderScene::kNoDepth && v[2] > -1e-3) << r << "," << c;
                    ++sky;
                }
            }
        EXPECT_GT(water, 300);
        EXPECT_GT(sky, 100);
        std::vector<float> all(rig.planes.red, rig.planes.red + rig.at(rig.rows(), 0));
        EXPECT_TRUE(!with_air || all == without_air);
        without_air = all;
        // The output mapping reaches the planes the realistic path drew.
        rig.scene.set_output_mapping(1.0, 0.0, 100.0);
        ASSERT_EQ(rig.scene.render(), 1);
        for (std::size_t i = 0; i < all.size(); i += 7)
            ASSERT_FLOAT_EQ(rig.planes.red[i], all[i] / 100.0f) << i;
    }
}

// Texture mode without air or horizon: the water is the square of half-size max distance around the eye.
TEST(Scene, TextureWaterEndsInASquareAroundTheEye)
{
    SceneRig rig(60, 60, 120.0, 5.0, 8.0, 40.0, M_PI, 0.0, 0.0);
    rig.add_flat_sea(HyRenderScene::kSurfaceSimple, HyRenderScene::kModeTexture, 30.0, 0);
    ASSERT_EQ(rig.scene.render(), 1);
    int inside = 0, outside = 0;
    for (int r = 0; r < rig.rows(); ++r)
        for (int c = 0; c < rig.columns(); ++c) {
            double v[3];
            rig.direction(r, c, v);
            const double t = 40.0 / -v[2];
            const double dx = t * v[0], dy = t * v[1];
            const bool water = std::fabs(dx) < 30.0 && std::fabs(dy) < 30.0;
            const std::size_t i = rig.at(r, c);
            EXPECT_TRUE(rig.planes.alpha[i] == (water ? 1.0f : 0.0f) && (rig.planes.red[i] > 0.0f) == water)
                << r << "," << c;
            (water ? inside : outside) += 1;
            // Corners of the square lie beyond the inscribed circle: a circle would miss them.
            if (water && std::hypot(dx, dy) > 31.0)
                ++inside;
        }
    EXPECT_TRUE(inside > 500 && outside > 500);
}

// Under water looking down: the deep water's upwelling colour, exactly, in every pixel.
TEST(Scene, UnderWaterTheUpwellingColourAndTotalInternalReflection)
{
    SceneRig rig(16, 12, 60.0, 0, 0, -5.0, M_PI, 0, 0);
    rig.set_light(0.6, 0.0, -0.8, 0.9, 1.0, 1.0);
    rig.light.water_colour_scale = 2.0;
    rig.add_flat_sea(HyRenderScene::kSurfaceSimple, HyRenderScene::kModeTexture);
    ASSERT_EQ(rig.scene.render(), 1);
    double w[3];
    rig.optics.get_water_color(&w[0], &w[1], &w[2]);
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 16 * 12; ++i)
            ASSERT_FLOAT_EQ(rig.plane(k)[i], float(2.0 * (k ? 1.0 : 0.9) * w[k] * 0.8)) << k << " " << i;
    // Seen from below, a flat surface beyond the critical angle reflects the deep water and nothing else
    // (no sky, no glitter); inside Snell's window the sky comes through.
    SceneRig below(4, 4, 30.0, 0, 0, -1.0, 0.0, 0.0, 0.0);
    below.add_flat_sea(HyRenderScene::kSurfaceSimple, HyRenderScene::kModeTexture);
    below.add_air();
    below.scene.glitter_enabled = 1;
    const double critical = std::asin(1.0 / 1.34) * 180.0 / M_PI; // 48.3 degrees from the vertical
    const HySurfaceOceanContext ctx{.ocean_optics = &below.optics, .air_optics = &below.air_optics,
                                    .upwelling_r = 0.3, .upwelling_g = 0.2, .upwelling_b = 0.1};
    const double normal[3] = {0.0, 0.0, 1.0}, point[3] = {0.0, 0.0, 0.0};
    for (std::uint32_t mode : {HyRenderScene::kSurfaceSimple, HyRenderScene::kSurfaceFresnel}) {
        below.scene.surface_mode = mode;
        for (double angle : {10.0, 30.0, 45.0, 50.0, 65.0, 85.0}) {
            HySurfaceView view{{0, 0, -1}, {std::sin(angle * M_PI / 180), 0.0, std::cos(angle * M_PI / 180)}};
            double colour[3];
            below.scene.shade_from_below(ctx, point, normal, view, 1.0, colour);
            const bool reflected = angle > critical;
            EXPECT_EQ(colour[0] == 0.3 && colour[1] == 0.2 && colour[2] == 0.1, reflected)
                << mode << " " << angle;
        }
    }
}

// Alpha of sky and water per render-what choice; without air the sky counts for neither.
TEST(Scene, AlphaFollowsRenderWhat)
{
    const struct {
        std::uint32_t what;
        bool air;
        float sky, water;
    } cases[] = {{HyRenderScene::kWhatBoth, true, 1, 1},  {HyRenderScene::kWhatWater, true, 0, 1},
                 {HyRenderScene::kWhatAir, true, 1, 0},   {HyRenderScene::kWhatBoth, false, 0, 1},
                 {HyRenderScene::kWhatAir, false, 0, 0}};
    for (const auto& c : cases) {
        SceneRig rig(20, 20, 40.0, 0, 0, 3.0, M_PI / 2, 0, 0);
        rig.add_flat_sea(HyRenderScene::kSurfaceSimple, HyRenderScene::kModeTexture);
        if (c.air)
            rig.add_air();
        rig.scene.set_render_what(c.what);
        ASSERT_EQ(rig.scene.render(), 1);
        for (int r = 0; r < 20; ++r) {
            double v[3];
            rig.direction(r, 3, v);
            EXPECT_EQ(rig.planes.alpha[rig.at(r, 3)], v[2] >= 0 ? c.sky : c.water) << c.what << " " << r;
        }
    }
}

// Light tracking marks exactly the pixels within about two pixel steps of the light's direction.
TEST(Scene, LightTrackingMarksOnlyPixelsNearTheLight)
{
    SceneRig rig(64, 48, 50.0, 0, 0, 10.0, 1.3, 0.2, 0.0);
    rig.add_flat_sea(HyRenderScene::kSurfaceSimple, HyRenderScene::kModeLightTracking);
    // The light seen a little off the view axis; tracking ignores the flags.
    double toward[3];
    rig.direction(30, 40, toward);
    rig.set_light(-toward[0], -toward[1], -toward[2], 1, 1, 1);
    rig.light.affects_air = rig.light.affects_water = 0;
    ASSERT_EQ(rig.scene.render(), 1);
    const double m = rig.camera.view().max_step();
    int marked = 0;
    for (int r = 0; r < rig.rows(); ++r)
        for (int c = 0; c < rig.columns(); ++c) {
            double v[3];
            rig.direction(r, c, v);
            const double angle =
                std::acos(std::min(1.0, v[0] * toward[0] + v[1] * toward[1] + v[2] * toward[2]));
            const bool white = rig.planes.red[rig.at(r, c)] == 1.0f;
            EXPECT_TRUE((angle >= 1.95 * m && angle <= 2.05 * m) || white == (angle < 1.95 * m))
                << r << "," << c;
            marked += white;
        }
    EXPECT_TRUE(marked >= 9 && marked <= 21) << marked;
}

// A stop request ends a row-by-row path at the end of that row with result 0, leaves later rows as
// they were, and skips the output mapping; reports run (row + 1) / rows.
TEST(Scene, StopRequestEndsThePathAfterItsRow)
{
    struct Stopping : HyRenderScene {
        std::vector<double> reports;
        int report_progress(double fraction) override
        {
            reports.push_back(fraction);
            return reports.size() < 3 ? 1 : 0;
        }
    };
    SceneRig rig(8, 10, 40.0, 0, 0, 3.0, 2.0, 0, 0);
    Stopping scene;
    scene.add_camera(&rig.camera);
    scene.add_light(&rig.light);
    scene.add_render_data(&rig.air);
    rig.air.set_optics(&rig.air_optics);
    scene.set_output_mapping(0.5, 0.0, 2.0);
    std::fill(rig.planes.red, rig.planes.red + 80, -1.0f);
    EXPECT_EQ(scene.render(), 0);
    EXPECT_EQ(scene.reports, (std::vector<double>{1 / 10.0, 2 / 10.0, 3 / 10.0}));
    // Rows go out a block of one per thread at a time: the walk ends with the block under way.
    const int block = hyplat::HyThreadPool::process().thread_count();
    const int drawn = (3 + block - 1) / block * block;
    for (int r = 0; r < 10; ++r)
        EXPECT_EQ(rig.planes.red[rig.at(r, 0)] == -1.0f, r >= drawn) << r;
}

TEST(Scene, RegistriesAndRecords)
{
    HyRenderScene scene;
    HyRenderData_Camera cams[11];
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(scene.add_camera(&cams[i]), 1);
    EXPECT_TRUE(scene.add_camera(&cams[10]) == 0 && cams[10].get_id() == 0u);
    EXPECT_TRUE(scene.remove_camera(&cams[4]) == 1 && scene.remove_camera(&cams[4]) == 0);
    EXPECT_TRUE(scene.camera_count == 9 && scene.cameras[4] == &cams[5]);
    EXPECT_TRUE(scene.add_camera(&cams[4]) == 1 && cams[4].get_id() == 11u);
    const std::uint32_t four = 4; // neither a mode nor a choice of what to render: refused, unchanged
    EXPECT_TRUE(scene.set_render_mode(four) == 0 && scene.set_render_what(four) == 0);
    EXPECT_TRUE(scene.get_render_mode() == HyRenderScene::kModeTexture &&
                scene.get_render_what() == HyRenderScene::kWhatWater);

    // Records. Setting any group, even a null one, raises the present flag; clearing a pointer keeps it.
    auto* group = reinterpret_cast<Hy2DTextureGroup*>(0x100);
    HyRenderData_Ocean ocean;
    ocean.set_texture_below(group);
    Hy2DTextureGroup *above = group, *below = nullptr;
    ocean.get_texture_above(above);
    ocean.get_texture_below(below);
    EXPECT_TRUE(above == nullptr && below == group);
    ocean.set_texture_on(nullptr);
    EXPECT_EQ(ocean.get_textures_present(), 1u);
    ocean.set_textures_present(0);
    ocean.set_texture_above(nullptr);
    EXPECT_EQ(ocean.get_textures_present(), 1u);

    // The grid comes from the surface at every query; no surface or no grid is a failure.
    HyGridMulti* grid = reinterpret_cast<HyGridMulti*>(0x1000);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ocean.get_grid(grid), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("HyRenderData_Ocean::get_grid", 0), 0u);
    EXPECT_EQ(grid, nullptr);
    HyOceanSurface surface;
    ocean.set_surface(&surface);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ocean.get_grid(grid), 0); // a surface without waves has no grid
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(surface.allocate_primary_waves({.size = 16}), 1);
    ASSERT_EQ(ocean.get_grid(grid), 1);
    EXPECT_EQ(grid, surface.grid);

    const auto before = hymem::heap_bytes();
    HyRenderData* records[4] = {new HyRenderData_Air, new HyRenderData_Ocean, new HyRenderData_Light,
                                new HyRenderData_Camera};
    const std::uint32_t types[4] = {1, 3, 100, 200};
    for (int k = 0; k < 4; ++k) {
        EXPECT_TRUE(hymem::block_tag(records[k]) == hymem::kHeapTag && records[k]->type == types[k]) << k;
        delete records[k]; // through the base: every byte goes back
    }
    EXPECT_EQ(hymem::heap_bytes(), before);
    render_test::AllocationBudget refuse_all(0);
    EXPECT_EQ(new HyRenderData_Camera, nullptr);
}

} // namespace
