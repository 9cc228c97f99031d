// Reading the host into the settings record and the rules that decide what a frame rebuilds.
#include "DriverFixture.h"

namespace driver_test {
namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

TEST_F(Driver, ReadsEveryConversionFromTheHost)
{
    set(ParamGroup::RenderOptions, "Render Mode:", 1);
    set(ParamGroup::RenderOptions, "Max Distance (KM) ", 2.5);
    set(ParamGroup::Camera, "Y North-South (M)", 12.25);
    set(ParamGroup::Camera, "Pan", 30);
    set(ParamGroup::Camera, "Tilt", 95);
    set(ParamGroup::ImageMap2, "Angle", 45);
    set(ParamGroup::Light1, "Light Azimuth", 20);
    set(ParamGroup::Light2, "Light Affects:", 3);
    set(ParamGroup::AirOptics, "Rainbow Style", 2);
    set(ParamGroup::AirOptics, "Haze Visibilty (KM)", 4.5);
    host().set_color(index(ParamGroup::AirOptics, "Haze Color"), PF_Pixel{255, 51, 102, 255});
    set(ParamGroup::PrimaryWaves, "Ocean Complexity", 2);
    set(ParamGroup::PrimaryWaves, "Coarse Grid Size (M)", 15);
    set(ParamGroup::PrimaryWaves, "Wind Direction", 180);
    host().set_color(index(ParamGroup::OceanOptics, "Water Color"), PF_Pixel{255, 51, 0, 255});
    set(ParamGroup::OceanOptics, "Water Color Scale", 2);
    set(ParamGroup::OceanOptics, "Index of Refraction", 1.5);
    set(ParamGroup::Swells, "Enable:", 3);
    set(ParamGroup::Swell2, "2- Length (M)", 30);
    ASSERT_EQ(render_at(0.0), PF_Err_NONE);

    const CSettings& s = effect().Settings();
    EXPECT_EQ(s.render.renderMode, 1);
    EXPECT_FLOAT_EQ(s.render.maxDistance, 2500.0f);
    EXPECT_FLOAT_EQ(s.camera.y, -12.25f);
    EXPECT_NEAR(s.camera.pan, 420 * kDeg, 1e-6);
    EXPECT_NEAR(s.camera.tilt, 95 * kDeg, 1e-6);
    EXPECT_NEAR(s.maps[1].angle, 315 * kDeg, 1e-6);
    EXPECT_NEAR(s.lights[0].azimuth, -20 * kDeg, 1e-6);
    EXPECT_EQ(s.lights[1].affects, 2);
    EXPECT_EQ(s.lights[1].valid, 1);
    EXPECT_EQ(s.air.rainbow_style, 1);
    EXPECT_DOUBLE_EQ(s.air.haze_visibility, 4500.0);
    EXPECT_DOUBLE_EQ(s.air.haze_color[0], 51.0 / 255.0);
    EXPECT_DOUBLE_EQ(s.air.haze_color[2], 255.0 / 255.0);
    EXPECT_EQ(s.primary.size, 512);
    EXPECT_DOUBLE_EQ(s.primary.large_spacing, 10.0); // 15 is more than the lattice takes
    EXPECT_NEAR(s.primary.wind_direction, 270 * kDeg, 1e-12);
    EXPECT_DOUBLE_EQ(s.ocean.block.water_color[0], 51.0 * 2.0 / 255.0);
    EXPECT_DOUBLE_EQ(s.ocean.block.water_color[2], 255.0 * 2.0 / 255.0);
    EXPECT_NEAR(s.ocean.block.index_of_refraction[1], 1.5, 1e-6);
    EXPECT_EQ(s.swells[0].enabled, 0);
    EXPECT_EQ(s.swells[1].enabled, 1);
    EXPECT_EQ(s.swells[1].record.size, 512);
    EXPECT_DOUBLE_EQ(s.swells[1].record.spacing, 30.0 / 20.0);
    EXPECT_NE(s.swells[1].id, 0u);
}

TEST_F(Driver, SwellsAndPrimaryWavesAreResetRebuiltOrKeptAsTheirParametersSay)
{
    set(ParamGroup::Swells, "Enable:", 4); // Both
    ASSERT_EQ(render_at(0.0), PF_Err_NONE);
    const std::uint32_t one = effect().Settings().swells[0].id;
    const std::uint32_t two = effect().Settings().swells[1].id;
    ASSERT_NE(one, 0u);
    ASSERT_NE(two, 0u);
    EXPECT_EQ(effect().Surface()->disturbances.count, 2);

    set(ParamGroup::Swells, "Enable:", 2); // Swell 1
    ASSERT_EQ(render_at(0.0), PF_Err_NONE);
    EXPECT_EQ(effect().Settings().swells[0].id, one);
    EXPECT_EQ(effect().Settings().swells[1].id, 0u);
    EXPECT_EQ(effect().Surface()->disturbances.count, 1);
    EXPECT_NE(effect().Surface()->disturbances.find(one), nullptr);
    EXPECT_EQ(effect().Surface()->disturbances.find(two), nullptr);

    // A new height resets the swell in place; a new length changes its spacing and reallocates it;
    // either way it keeps its id.
    HyOcean_data* before = nullptr;
    effect().Surface()->get_bare_pointer(one, before);
    set(ParamGroup::Swell1, "1- Height (M)", 1.5);
    ASSERT_EQ(render_at(0.0), PF_Err_NONE);
    HyOcean_data* after = nullptr;
    effect().Surface()->get_bare_pointer(one, after);
    EXPECT_EQ(before, after);
    set(ParamGroup::Swell1, "1- Length (M)", 40);
    ASSERT_EQ(render_at(0.0), PF_Err_NONE);
    EXPECT_EQ(effect().Settings().swells[0].id, one);
    effect().Surface()->get_bare_pointer(one, after);
    ASSERT_NE(after, nullptr);
    EXPECT_DOUBLE_EQ(after->dx, 2.0);

    set(ParamGroup::Swells, "Enable:", 1); // None
    ASSERT_EQ(render_at(0.0), PF_Err_NONE);
    EXPECT_EQ(effect().Surface()->disturbances.count, 0);

    // With the swells off again: the primary waves.
    const long rebuilds = effect().PrimaryRebuilds();
    const long resets = effect().PrimaryResets();
    HyOceanSurfaceGridElement* small = effect().Surface()->small_primary;

    // Only the wind speed: the wave parameters are reset on the existing lattices.
    CSettings s = effect().Settings();
    s.primary.wind_speed = 7.0;
    s.ocean.block.wind_speed = 7.0;
    effect().ApplySettings(&s);
    EXPECT_EQ(effect().PendingLevel(), kSurfaceResetWaves);
    set(ParamGroup::PrimaryWaves, "Wind Speed (M/S)", 7);
    ASSERT_EQ(render_at(0.0), PF_Err_NONE);
    EXPECT_EQ(effect().PendingLevel(), kSurfaceUpToDate);
    EXPECT_EQ(effect().PrimaryRebuilds(), rebuilds);
    EXPECT_EQ(effect().PrimaryResets(), resets + 1);
    EXPECT_EQ(effect().Surface()->small_primary, small);

    // A fine grid size needs new lattices, and wins over a wind change in the same frame.
    s = effect().Settings();
    s.primary.small_spacing = 0.5;
    s.primary.wind_speed = 8.0;
    effect().ApplySettings(&s);
    EXPECT_EQ(effect().PendingLevel(), kSurfaceRebuild);
    set(ParamGroup::PrimaryWaves, "Fine Grid Size (M)", 0.5);
    set(ParamGroup::PrimaryWaves, "Wind Speed (M/S)", 8);
    ASSERT_EQ(render_at(0.0), PF_Err_NONE);
    EXPECT_EQ(effect().PrimaryRebuilds(), rebuilds + 1);
    EXPECT_EQ(effect().PrimaryResets(), resets + 1);
    EXPECT_DOUBLE_EQ(effect().Surface()->small_primary->dx, 0.5);

    // Nothing changed and the same time: nothing to do, nothing rebuilt.
    s = effect().Settings();
    EXPECT_EQ(effect().ApplySettings(&s), kEffectNothingToDo);
    ASSERT_EQ(render_at(0.0), PF_Err_NONE);
    EXPECT_EQ(effect().PrimaryRebuilds() + effect().PrimaryResets(), rebuilds + resets + 2);

    // Reset to the defaults outside a render (as the presets panel does), so all comes from the heap.
    s = effect().Settings();
    s.swells[0].enabled = s.swells[1].enabled = 1;
    s.primary.size = 512;
    for (CSettingsSwell& w : s.swells)
        w.record.size = 512;
    effect().ApplySettings(&s);
    ASSERT_EQ(effect().UpdateSurface(1.0), kEffectOk);
    EXPECT_EQ(effect().Surface()->disturbances.count, 2);
    EXPECT_EQ(effect().Surface()->small_primary->nx, 512);
    EXPECT_EQ(effect().ResetToDefaults(), kEffectOk);
    CSettings d;
    SettingsSetDefaults(d);
    EXPECT_EQ(std::memcmp(&d, &effect().Settings(), sizeof d), 0);
    EXPECT_EQ(effect().Surface()->disturbances.count, 0);
    EXPECT_EQ(effect().Surface()->small_primary->nx, 256);
}
TEST_F(Driver, ChangesCountOnlyWhenTheyShowAndTheSeaEvolvesOnlyWhenItMust)
{
    ASSERT_EQ(render_at(0.0), PF_Err_NONE);
    CSettings s = effect().Settings();
    s.air.haze_color[0] = 0.25;
    EXPECT_EQ(effect().ApplySettings(&s), kEffectNothingToDo);     // haze is off
    EXPECT_DOUBLE_EQ(effect().Settings().air.haze_color[0], 0.25); // but the value is kept

    s.lights[1].intensity = 3.0f; // light 2 affects nothing
    EXPECT_EQ(effect().ApplySettings(&s), kEffectNothingToDo);
    s.lights[0].intensity = 3.0f;
    EXPECT_EQ(effect().ApplySettings(&s), kEffectOk);

    s.air.haze_on = 1;
    EXPECT_EQ(effect().ApplySettings(&s), kEffectOk);
    s.air.haze_color[1] = 0.5;
    EXPECT_EQ(effect().ApplySettings(&s), kEffectOk);
    s.air.rainbow_radius = 0.5; // no rainbow
    EXPECT_EQ(effect().ApplySettings(&s), kEffectNothingToDo);

    // Water colour and refraction reach the ocean optics block; other fields do not count for it.
    s.ocean.block.water_color[1] = 0.3;
    EXPECT_EQ(effect().ApplySettings(&s), kEffectOk);
    EXPECT_DOUBLE_EQ(effect().Settings().ocean.block.water_color[1], 0.3);

    // The sea evolves only when its time or its elements change.
    set(ParamGroup::RenderOptions, "Render Mode:", 2);
    ASSERT_EQ(render_at(1.0), PF_Err_NONE);
    const long n = effect().Evolutions();
    set(ParamGroup::Camera, "X East-West (M)", 30); // the view changes, the sea does not
    set(ParamGroup::RenderOptions, "Color Max Scale", 2);
    ASSERT_EQ(render_at(1.0), PF_Err_NONE);
    EXPECT_EQ(effect().Evolutions(), n);
    ASSERT_EQ(render_at(1.5), PF_Err_NONE);
    EXPECT_EQ(effect().Evolutions(), n + 1);
    const struct {
        ParamGroup group;
        const char* name;
        double value;
    } changes[] = {{ParamGroup::Swells, "Enable:", 2},
                   {ParamGroup::RenderOptions, "Loop Time (S)", 20},
                   {ParamGroup::PrimaryWaves, "Vertical Scale (M)", 3}};
    for (const auto& c : changes) {
        set(c.group, c.name, c.value);
        ASSERT_EQ(render_at(1.5), PF_Err_NONE);
        EXPECT_EQ(effect().Evolutions(), n + 2 + (&c - changes)) << c.name;
    }
}

} // namespace
} // namespace driver_test
