// Ocean surface: id issuance, invalid ids, the element families, periods of the primary lattices,
// looping, a displacement grid that leaves no trace, floating on a known plane, bad input, and
// allocation failures forced through the allocator hook.
#include "ocean/HyOceanSurface.h"
#include "platform/HyThreadPool.h"
#include "tests/ocean/OceanTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace oceantest;

HyPrimaryWaves_data small_primary(int n = 32)
{
    HyPrimaryWaves_data p;
    p.size = n;
    p.small_spacing = 0.25;
    p.large_spacing = 3.0;
    return p;
}

HySwell_data small_swell(int seed = 3345)
{
    HySwell_data s;
    s.size = 32;
    s.spacing = 5.0;
    s.length = 60.0;
    s.seed = seed;
    return s;
}

std::vector<double> sample(const HyOceanSurface& s)
{
    std::vector<double> v;
    for (double y = -40; y <= 40; y += 7.3)
        for (double x = -40; x <= 40; x += 5.9)
            v.push_back(s.get_height(x, y));
    return v;
}

bool all_finite(const std::vector<double>& v)
{
    for (double h : v)
        if (!std::isfinite(h))
            return false;
    return true;
}

} // namespace

TEST(Surface, IdsGrowNeverReusedAndRemovedIdsAreInvalid)
{
    HyOceanSurface s;
    ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);
    EXPECT_EQ(s.add_new_swell(small_swell()), 1u);
    EXPECT_EQ(s.add_new_swell(small_swell()), 2u);
    EXPECT_EQ(s.add_new_swell(small_swell()), 3u);
    EXPECT_EQ(s.remove_swell(2), 2u);
    EXPECT_EQ(s.add_new_swell(small_swell()), 4u);
    EXPECT_EQ(s.disturbances.count, 3);

    struct Op {
        const char* message;
        std::uint32_t (*call)(HyOceanSurface&);
    } ops[] = {
        {"HyOceanSurface::reset_swell_parameters invalid id \n",
         [](HyOceanSurface& s) { return s.reset_swell_parameters(2, 1, 50, 0.2, 0.2, 0, 0); }},
        {"HyOceanSurface::reallocate_swell invalid id \n",
         [](HyOceanSurface& s) { return std::uint32_t(s.reallocate_swell(2, small_swell())); }},
        {"HyOceanSurface::remove_swell invalid id \n", [](HyOceanSurface& s) { return s.remove_swell(2); }},
        {"HyOceanSurface::get_bare_pointer invalid id \n",
         [](HyOceanSurface& s) {
             HyOcean_data* e = nullptr;
             return std::uint32_t(s.get_bare_pointer(2, e));
         }},
        {"HyOceanSurface::evolve_disturbance_to_time invalid id \n",
         [](HyOceanSurface& s) { return std::uint32_t(s.evolve_disturbance_to_time(2, 1.0)); }},
        {"HyOceanSurface::remove_ripple invalid id \n", [](HyOceanSurface& s) { return s.remove_ripple(2); }},
        {"HyOceanSurface::remove_wake invalid id \n", [](HyOceanSurface& s) { return s.remove_wake(2); }},
        {"HyOceanSurface::remove_displacement_grid invalid id \n",
         [](HyOceanSurface& s) { return std::uint32_t(s.remove_displacement_grid(2)); }},
        {"HyOceanSurface::add_boat_disturbance invalid id \n",
         [](HyOceanSurface& s) { return std::uint32_t(s.add_boat_disturbance(2, HyBoatDisturbance_data())); }},
        // An id of another kind of element is no swell, ripple or wake.
        {"HyOceanSurface::remove_ripple invalid id \n", [](HyOceanSurface& s) { return s.remove_ripple(1); }},
        {"HyOceanSurface::reset_wake_parameters invalid id \n",
         [](HyOceanSurface& s) { return s.reset_wake_parameters(3, 1.0, 0.0, 0.0, 0.0, 0.0); }},
    };
    for (const Op& op : ops) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(op.call(s), 0u) << op.message;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), op.message);
    }
    // The list still holds 1, 3, 4 in order.
    std::vector<std::uint32_t> ids;
    for (auto* n = s.disturbances.head; n; n = n->next)
        ids.push_back(n->id);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{1, 3, 4}));
    EXPECT_EQ(s.disturbances.tail->id, 4u);

    testing::internal::CaptureStderr();
    EXPECT_EQ(s.disturbances.remove_node(99), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING:  HyOceanDisturbanceList unable to find id 99\n");
}

TEST(Surface, SecondAllocationFailsAndKeepsTheFirstWaves)
{
    HyOceanSurface s;
    s.evolve_to_time(1.0); // nothing allocated: nothing to do, no grid
    EXPECT_EQ(s.grid, nullptr);
    ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);
    s.evolve_to_time(2.0);
    const auto before = sample(s);
    HyOceanSurfaceGridElement* small = s.small_primary;
    HyPrimaryWaves_data other = small_primary(64);
    other.wind_speed = 12.0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(s.allocate_primary_waves(other), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), " HyOceanSurface::allocate_primary_waves  waves already allocated\n");
    EXPECT_EQ(s.small_primary, small);
    s.evolve_to_time(2.0);
    EXPECT_EQ(sample(s), before);
}

TEST(Surface, LoopSettingsReachElementsAddedLater)
{
    HyOceanSurface s;
    ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);
    HySurface_data settings;
    settings.loop = 1;
    settings.loop_time = 8.0;
    s.set_surface_parameters(settings);
    EXPECT_EQ(s.small_primary->loop, 1);
    EXPECT_EQ(s.large_primary->loop_time, 8.0);
    const std::uint32_t id = s.add_new_swell(small_swell());
    ASSERT_NE(id, 0u);
    HyOcean_data* e = nullptr;
    ASSERT_EQ(s.get_bare_pointer(id, e), 1);
    EXPECT_EQ(e->loop, 1);
    EXPECT_EQ(e->loop_time, 8.0);
    s.evolve_to_time(1.25);
    const auto first = sample(s);
    s.evolve_to_time(9.25);
    const auto second = sample(s);
    double peak = 0;
    for (double h : first)
        peak = std::max(peak, std::fabs(h));
    ASSERT_GT(peak, 0.0);
    for (std::size_t k = 0; k < first.size(); ++k)
        EXPECT_NEAR(first[k], second[k], 1e-5 * peak);

    // Switching the loop off reaches every element.
    settings.loop = 0;
    s.set_surface_parameters(settings);
    EXPECT_EQ(e->loop, 0);
    EXPECT_EQ(s.large_primary->loop, 0);
}

TEST(Surface, DefaultPrimaryLatticesRepeatWithTheirSpans)
{
    HyOceanSurface s;
    const HyPrimaryWaves_data p;
    ASSERT_EQ(p.size, 1024);
    ASSERT_EQ(s.allocate_primary_waves(p), 1);
    HyGridMulti* g = nullptr;
    ASSERT_EQ(s.get_grid(g), 1);
    EXPECT_EQ(s.small_primary->get_height_array(), g->heights);
    EXPECT_EQ(s.large_primary->get_height_array(), g->aux_array[0]);
    // Each lattice halves its spectrum where the other one also has waves.
    EXPECT_DOUBLE_EQ(s.small_primary->band_low, 1.0 / (1024 * 0.93));
    EXPECT_DOUBLE_EQ(s.small_primary->band_high, 1.0 / (2 * 0.93));
    EXPECT_DOUBLE_EQ(s.large_primary->band_low, 1.0 / (1024 * 0.075));
    EXPECT_DOUBLE_EQ(s.large_primary->band_high, 1.0 / (2 * 0.075));
    s.evolve_to_time(3.7);

    const double small_span = 76.8, large_span = 952.32;
    double small_peak = 0, large_peak = 0;
    for (double x : {0.3, 11.1, -27.4})
        for (double y : {0.0, 5.55, 40.2}) {
            const double hs = g->HyGrid::get_height(x, y, 1);
            const double hl = g->aux_value(0, x, y);
            small_peak = std::max(small_peak, std::fabs(hs));
            large_peak = std::max(large_peak, std::fabs(hl));
            EXPECT_NEAR(hs, g->HyGrid::get_height(x + small_span, y, 1), 1e-5);
            EXPECT_NEAR(hs, g->HyGrid::get_height(x, y - small_span, 1), 1e-5);
            EXPECT_NEAR(hl, g->aux_value(0, x + large_span, y), 1e-5);
            EXPECT_NEAR(hl, g->aux_value(0, x, y + 2 * large_span), 1e-5);
            // The whole sea repeats where both spans meet: 62 x 76.8 = 5 x 952.32 m.
            EXPECT_NEAR(s.get_height(x, y), s.get_height(x + 62 * small_span, y), 1e-4);
        }
    EXPECT_GT(small_peak, 1e-3);
    EXPECT_GT(large_peak, 1e-2);
    // Half a span away the sea is different.
    EXPECT_GT(std::fabs(g->aux_value(0, 0.3, 0.0) - g->aux_value(0, 0.3 + large_span / 2, 0.0)), 1e-4);
}

TEST(Surface, RemovedDisplacementGridLeavesTheSeaBitForBit)
{
    HyOceanSurface s;
    ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);
    ASSERT_NE(s.add_new_swell(small_swell()), 0u);
    s.evolve_to_time(2.0);
    const auto before = sample(s);

    HyDisplacement_data d;
    d.nx = 40;
    d.ny = 20;
    d.dx = d.dy = 1.0;
    d.centre_x = 3.0;
    d.angle = 0.4;
    const std::uint32_t id = s.add_new_displacement_grid(d);
    ASSERT_EQ(id, 2u);
    HyOcean_data* e = nullptr;
    ASSERT_EQ(s.get_bare_pointer(id, e), 1);
    float* a = e->get_height_array();
    for (int k = 0; k < 40 * 20; ++k)
        a[k] = 0.5f;
    s.evolve_to_time(2.0);
    // Evolving kept the caller's values and the rectangle raises the sea at its centre.
    EXPECT_EQ(a[0], 0.5f);
    EXPECT_EQ(a[40 * 20 - 1], 0.5f);
    const int g = s.grid->find_aux_grid(a);
    ASSERT_EQ(g, 2);
    EXPECT_NEAR(s.grid->aux_value(g, 3.0, 0.0), 0.5, 1e-7);
    const auto with = sample(s);
    EXPECT_NE(with, before);

    double corners[8];
    ASSERT_EQ(s.get_element_corners(id, corners[0], corners[1], corners[2], corners[3], corners[4], corners[5],
                                    corners[6], corners[7]),
              1);
    EXPECT_NEAR(corners[0], 3.0 + (-20) * std::cos(0.4) - 10 * std::sin(0.4), 1e-9);

    // Moving it keeps the grid's rotation and offsets in step.
    EXPECT_EQ(s.reset_displacment_grid_parameters(id, 5.0, 1.0, 0.0), id);
    EXPECT_NEAR(s.grid->aux_value(g, 5.0 + 19.0, 1.0 + 9.0), 0.5, 1e-7);
    EXPECT_EQ(s.grid->aux_value(g, 5.0 + 21, 1.0), 0.0);
    EXPECT_EQ(s.grid->aux_value(g, 5.0, 1.0 + 11), 0.0);

    EXPECT_EQ(s.remove_displacement_grid(id), int(id));
    s.evolve_to_time(2.0);
    EXPECT_EQ(sample(s), before);
}

TEST(Surface, FloatsOnAKnownPlane)
{
    HyOceanSurface s;
    HyPrimaryWaves_data p = small_primary();
    p.wind_speed = 0.0; // flat primary waves
    ASSERT_EQ(s.allocate_primary_waves(p), 1);
    HyDisplacement_data d;
    d.nx = d.ny = 64;
    d.dx = d.dy = 1.0;
    const std::uint32_t id = s.add_new_displacement_grid(d);
    ASSERT_NE(id, 0u);
    HyOcean_data* e = nullptr;
    ASSERT_EQ(s.get_bare_pointer(id, e), 1);
    float* a = e->get_height_array();
    for (int j = 0; j < 64; ++j)
        for (int i = 0; i < 64; ++i)
            a[j * 64 + i] = 0.1f * float(i - 32); // h = 0.1 x in the world
    s.evolve_to_time(1.0);
    double x, y, z, ta, pa, ro;
    ASSERT_EQ(s.float_on_surface(2.0, 3.0, 1.5, 0.2, 0.3, 0.4, 10.0, x, y, z, ta, pa, ro), 1);
    EXPECT_NEAR(x, 2.0 + 0.1 * 1.5, 1e-6);
    EXPECT_NEAR(y, 3.0, 1e-6);
    EXPECT_NEAR(z, 0.1 * 2.0 + 1.5, 1e-6);
    EXPECT_NEAR(ta, 0.2 - std::atan(0.1), 1e-6);
    EXPECT_EQ(pa, 0.3);
    EXPECT_NEAR(ro, 0.4, 1e-6);
    // An object of no size sits level on the height under it.
    ASSERT_EQ(s.float_on_surface(2.0, 3.0, 1.5, 0.2, 0.3, 0.4, 0.0, x, y, z, ta, pa, ro), 1);
    EXPECT_NEAR(z, 0.2 + 1.5, 1e-6);
    EXPECT_EQ(ta, 0.2);
}

TEST(Surface, ReallocationKeepsTheListAndResizesBothLattices)
{
    HyOceanSurface s;
    ASSERT_EQ(s.reallocate_primary_waves(small_primary()), 1); // allocates when nothing exists
    const std::uint32_t id = s.add_new_swell(small_swell());
    ASSERT_NE(id, 0u);
    ASSERT_EQ(s.reallocate_primary_waves(small_primary(64)), 1);
    EXPECT_EQ(s.grid->nx, 64);
    EXPECT_EQ(s.grid->aux_nx[0], 64);
    EXPECT_EQ(s.grid->aux_count, 2);
    EXPECT_EQ(s.reallocate_swell(id, small_swell(12)), 1);
    EXPECT_EQ(s.reset_swell_parameters(id, 3.0, 70.0, 0.2, 0.3, 1.0, 0.0), id);
    s.evolve_to_time(4.0);
    EXPECT_TRUE(all_finite(sample(s)));
    s.reset_primary_wave_parameters(0.5, 9.0, 0.0, 2.0, 0.0);
    EXPECT_EQ(s.small_primary->vertical_scale, 2.0);
    EXPECT_EQ(s.remove_swell(id), id);
    EXPECT_EQ(s.deallocate_primary_waves(), 1);
    EXPECT_EQ(s.deallocate_primary_waves(), 0);
    EXPECT_EQ(s.get_height(1.0, 2.0), 0.0);
}

TEST(Surface, OtherElementFamilies)
{
    HyOceanSurface s;
    ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);

    HyRipple_record ripple;
    ripple.centre_x = 4.0;
    const std::uint32_t r = s.add_new_ripple(ripple);
    ASSERT_EQ(r, 1u);
    EXPECT_EQ(s.grid->aux_type[1], kHyAuxAdditiveRadial);
    EXPECT_EQ(s.reset_ripple_parameters(r, 1.0, 2.0, 0.5, 1.0, 1.0), r);
    ripple.nx = 101;
    EXPECT_EQ(s.reallocate_ripple(r, ripple), 1);
    EXPECT_EQ(s.grid->aux_type[1], kHyAuxAdditiveRadial);
    EXPECT_EQ(s.grid->aux_nx[1], 101);

    HyWake_record wake;
    wake.nx = wake.ny = 32;
    wake.dx = wake.dy = 2.0;
    wake.heading = 0.3;
    const std::uint32_t w = s.add_new_wake(wake);
    ASSERT_EQ(w, 2u);
    EXPECT_EQ(s.grid->aux_rotated[2], 1);
    EXPECT_EQ(s.grid->aux_periodic[2], 0);
    EXPECT_EQ(s.reset_wake_parameters(w, 2.0, 0.5, 1.0, 1.0, 0.0), w);
    EXPECT_NEAR(s.grid->aux_cos_r[2], std::cos(0.5), 1e-15);
    EXPECT_EQ(s.reset_wake_parameters(w, 1, 0.5, 1, 10.0, 2.0), w);
    double fx, fy, bx, by;
    EXPECT_EQ(s.get_wake_front_and_back(w, fx, fy, bx, by, 0.0), 1);
    EXPECT_EQ(s.reallocate_wake(w, wake), 1);
    EXPECT_EQ(s.grid->aux_periodic[2], 0);

    HyDisturbance_record dist;
    dist.nx = dist.ny = 32;
    dist.dx = dist.dy = 1.0;
    const std::uint32_t d = s.add_new_disturbance_grid(dist);
    ASSERT_EQ(d, 3u);
    EXPECT_EQ(s.reset_disturbance_grid_parameters(d, 1.0, 1.0, 0.2, 0.0, 0.1), d);
    const double times[2] = {0.0, 1.0}, xs[2] = {-5.0, 5.0}, ys[2] = {0.0, 0.0};
    HyBoatDisturbance_data boat;
    boat.key_count = 2;
    boat.key_times = times;
    boat.key_x = xs;
    boat.key_y = ys;
    const int boat_id = s.add_boat_disturbance(d, boat);
    EXPECT_GT(boat_id, 0);
    EXPECT_EQ(s.reallocate_disturbance_grid(d, dist), 1);

    s.evolve_to_time(0.7);
    EXPECT_EQ(s.evolve_disturbance_to_time(r, 0.9), 1);
    EXPECT_TRUE(all_finite(sample(s)));

    EXPECT_EQ(s.remove_ripple(r), r);
    EXPECT_EQ(s.remove_wake(w), w);
    EXPECT_EQ(s.remove_disturbance_grid(d), d);
    EXPECT_EQ(s.grid->aux_count, 1);
    EXPECT_EQ(s.disturbances.count, 0);
    EXPECT_EQ(s.disturbances.head, nullptr);
}

TEST(Surface, BadInputIsRefusedOrFlat)
{
    const double nan = std::nan("");
    HyOceanSurface s;
    for (HyPrimaryWaves_data p : {small_primary(0), small_primary(7), small_primary(-4), small_primary(2)}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(s.allocate_primary_waves(p), 0);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("HyOceanSurface::allocate_primary_waves"), std::string::npos);
    }
    for (double spacing : {0.0, nan}) {
        HyPrimaryWaves_data p = small_primary();
        (spacing == 0.0 ? p.small_spacing : p.large_spacing) = spacing;
        printed([&] { EXPECT_EQ(s.allocate_primary_waves(p), 0); });
    }
    EXPECT_EQ(s.grid, nullptr);
    EXPECT_EQ(s.get_height(1.0, 1.0), 0.0);

    // A wind that is not a number gives a flat sea; 48 is not a power of two but works.
    HyPrimaryWaves_data p = small_primary(48);
    p.wind_speed = nan;
    ASSERT_EQ(s.allocate_primary_waves(p), 1);
    s.evolve_to_time(3.0);
    for (double h : sample(s))
        ASSERT_EQ(h, 0.0);
    p.wind_speed = 8.0;
    s.reset_primary_wave_parameters(p.wind_direction, p.wind_speed, 0.0, 1.0, 0.0);
    s.evolve_to_time(3.0);
    EXPECT_TRUE(all_finite(sample(s)));
    EXPECT_NE(sample(s), std::vector<double>(sample(s).size(), 0.0));

    // Swells on unusable lattices are refused; swells with zero spread contribute nothing.
    HySwell_data bad = small_swell();
    bad.spacing = 0.0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(s.add_new_swell(bad), 0u);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("HyOceanSurface::add_new_swell  unable to add new grid \n"),
              std::string::npos);
    bad = small_swell();
    bad.size = 31;
    printed([&] { EXPECT_EQ(s.add_new_swell(bad), 0u); });
    EXPECT_EQ(s.grid->aux_count, 1);
    const auto before = sample(s);
    bad = small_swell();
    bad.roughness = 0.0;
    const std::uint32_t flat = s.add_new_swell(bad);
    ASSERT_NE(flat, 0u);
    s.evolve_to_time(3.0);
    EXPECT_EQ(sample(s), before);
    // A time that is not a number shows the start.
    s.evolve_to_time(nan);
    EXPECT_TRUE(all_finite(sample(s)));
    double x, y, z, a, b, c;
    s.float_on_surface(1.0, 1.0, 1.0, 0.0, 0.0, 0.0, nan, x, y, z, a, b, c);
    EXPECT_TRUE(std::isfinite(z) && std::isfinite(a) && std::isfinite(c));
}

TEST(Surface, AllocationFailuresReportAndLeaveTheSurfaceUsable)
{
    const std::int64_t hook_before = hymem::hook_bytes();
    int failures_seen = 0, node_failures = 0;
    for (int grants = 0; grants < 24; ++grants) {
        SCOPED_TRACE("grants " + std::to_string(grants));
        {
            HyOceanSurface s;
            g_ration = {grants, 0};
            hymem::install_hook(rationed_hook, kTestTag, true, 0);
            testing::internal::CaptureStderr();
            testing::internal::CaptureStdout();
            const int ok = s.allocate_primary_waves(small_primary());
            std::uint32_t swell = ok ? s.add_new_swell(small_swell()) : 0;
            s.evolve_to_time(1.5);
            hymem::set_hook_on(false);
            const std::string err = testing::internal::GetCapturedStderr();
            const std::string out = testing::internal::GetCapturedStdout();
            if (!ok) {
                ++failures_seen;
                EXPECT_NE(err.find("HyOceanSurface::allocate_primary_waves"), std::string::npos) << err << out;
                EXPECT_EQ(s.primary_allocated, 0);
            } else if (!swell) {
                // Whatever step failed, the new grid went with it.
                EXPECT_NE(err.find("HyOceanSurface::add_new_swell"), std::string::npos) << err;
                EXPECT_EQ(s.grid->aux_count, 1);
                EXPECT_EQ(s.disturbances.count, 0);
                if (err.find("add_node") != std::string::npos) {
                    ++node_failures;
                    EXPECT_NE(err.find("HyOceanDisturbanceList::add_node  unable to allocate node \n"
                                       "HyOceanSurface::add_new_swell unable to add swell to disturbance list \n"),
                              std::string::npos);
                }
            }
            if (g_ration.refusals > 0) {
                EXPECT_FALSE(err.empty() && out.empty());
            }
            EXPECT_TRUE(all_finite(sample(s)));

            // With memory back, the same surface takes its waves and a swell.
            if (!ok) {
                ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);
            }
            if (!swell)
                swell = s.add_new_swell(small_swell());
            EXPECT_NE(swell, 0u);
            s.evolve_to_time(2.5);
            const auto h = sample(s);
            EXPECT_TRUE(all_finite(h));
            EXPECT_NE(h, std::vector<double>(h.size(), 0.0));
        }
        // Every block the hook handed out went back.
        EXPECT_EQ(hymem::hook_bytes(), hook_before);
        hymem::install_hook(nullptr, 0, false, 0);
    }
    EXPECT_GT(failures_seen, 3);
    EXPECT_EQ(node_failures, 1);
}

TEST(Surface, FramesNeedNoMemoryOnceBuiltAndFailedFramesKeepTheLastSea)
{
    // Only the calling thread allocates through the hook (workers take heap memory), so the
    // elements evolve on this thread alone here.
    hyplat::HyThreadPool::set_process_threads(1);
    // After the first frame a frame allocates nothing: it runs under a hook that refuses everything.
    {
        HyOceanSurface s, reference;
        ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);
        ASSERT_EQ(reference.allocate_primary_waves(small_primary()), 1);
        ASSERT_NE(s.add_new_swell(small_swell()), 0u);
        ASSERT_NE(reference.add_new_swell(small_swell()), 0u);
        s.evolve_to_time(1.0);
        reference.evolve_to_time(2.0);
        g_ration = {0, 0};
        hymem::install_hook(rationed_hook, kTestTag, true, 0);
        testing::internal::CaptureStderr();
        s.evolve_to_time(2.0);
        hymem::install_hook(nullptr, 0, false, 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(g_ration.refusals, 0);
        EXPECT_EQ(sample(s), sample(reference));
    }
    // A first frame without memory reports, keeps the (flat) sea it had, and the next frame with
    // memory is right.
    {
        HyOceanSurface s, reference;
        ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);
        ASSERT_EQ(reference.allocate_primary_waves(small_primary()), 1);
        g_ration = {0, 0};
        hymem::install_hook(rationed_hook, kTestTag, true, 0);
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        s.evolve_to_time(1.0);
        hymem::set_hook_on(false);
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(err.find("unable to allocate kx\n"), std::string::npos) << err;
        EXPECT_NE(out.find("Out of Memory\n"), std::string::npos);
        for (double h : sample(s))
            ASSERT_EQ(h, 0.0);
        s.evolve_to_time(1.0);
        reference.evolve_to_time(1.0);
        EXPECT_EQ(sample(s), sample(reference));
        hymem::install_hook(nullptr, 0, false, 0);
    }
    hyplat::HyThreadPool::set_process_threads(0);
}

TEST(Surface, RefusedReallocationsKeepTheListAndRecover)
{
    int failures = 0;
    for (int grants = 0; grants < 12; ++grants) {
        SCOPED_TRACE("grants " + std::to_string(grants));
        {
            HyOceanSurface s;
            ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);
            const std::uint32_t id = s.add_new_swell(small_swell());
            ASSERT_NE(id, 0u);
            s.evolve_to_time(1.0);
            g_ration = {grants, 0};
            hymem::install_hook(rationed_hook, kTestTag, true, 0);
            testing::internal::CaptureStderr();
            testing::internal::CaptureStdout();
            const int primary = s.reallocate_primary_waves(small_primary(64));
            const int swell = s.reallocate_swell(id, small_swell(5));
            s.evolve_to_time(2.0);
            hymem::set_hook_on(false);
            const std::string err = testing::internal::GetCapturedStderr();
            testing::internal::GetCapturedStdout();
            if (!primary) {
                ++failures;
                EXPECT_NE(err.find("HyOceanSurface::reallocate_primary_waves"), std::string::npos) << err;
                EXPECT_EQ(s.primary_allocated, 0);
            }
            if (!swell) {
                EXPECT_NE(err.find("HyOceanSurface::reallocate_swell"), std::string::npos) << err;
            }
            EXPECT_TRUE(all_finite(sample(s)));
            EXPECT_EQ(s.disturbances.count, 1);

            // With memory back both come again; the swell keeps its id.
            EXPECT_EQ(s.reallocate_primary_waves(small_primary(64)), 1);
            EXPECT_EQ(s.reallocate_swell(id, small_swell(5)), 1);
            s.evolve_to_time(3.0);
            const auto h = sample(s);
            EXPECT_TRUE(all_finite(h));
            EXPECT_NE(h, std::vector<double>(h.size(), 0.0));
            EXPECT_EQ(s.remove_swell(id), id);
            // A grid whose old size could not even be put back stays as an empty slot.
            for (int g = 1; g < s.grid->aux_count; ++g)
                EXPECT_EQ(s.grid->aux_array[g], nullptr);
            if (swell) {
                EXPECT_EQ(s.grid->aux_count, 1);
            }
        }
        hymem::install_hook(nullptr, 0, false, 0);
    }
    EXPECT_GT(failures, 2);
}

TEST(Surface, SwellTooLargeToReallocateCarriesOnAtItsOldSize)
{
    HyOceanSurface s, reference;
    for (HyOceanSurface* surface : {&s, &reference}) {
        ASSERT_EQ(surface->allocate_primary_waves(small_primary()), 1);
        ASSERT_EQ(surface->add_new_swell(small_swell()), 1u);
    }
    HySwell_data big = small_swell();
    big.size = 256;
    g_ration = {1000, 0, 100000};
    hymem::install_hook(rationed_hook, kTestTag, true, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(s.reallocate_swell(1, big), 0);
    hymem::set_hook_on(false);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("HyOceanSurface::reallocate_swell unable to reallocate grid \n"),
              std::string::npos);
    s.evolve_to_time(2.0);
    reference.evolve_to_time(2.0);
    EXPECT_EQ(sample(s), sample(reference));
    EXPECT_EQ(s.reallocate_swell(1, big), 1);
    EXPECT_EQ(s.grid->aux_nx[1], 256);
    EXPECT_EQ(s.remove_swell(1), 1u);
    EXPECT_EQ(s.grid->aux_count, 1);
    hymem::install_hook(nullptr, 0, false, 0);
}

TEST(Surface, DisturbanceGridLeftWithoutMemoryIsUnboundAndThenCannotAddAGrid)
{
    // Memory for the resized grid but not for the new element, nor to put the old size back: the
    // element stays in the list without a grid, and the next reallocation must add a new one.
    HyOceanSurface s;
    ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);
    HyDisturbance_record dist;
    dist.nx = dist.ny = 32;
    dist.dx = dist.dy = 1.0;
    const std::uint32_t d = s.add_new_disturbance_grid(dist);
    ASSERT_NE(d, 0u);
    dist.nx = dist.ny = 64;
    HyOcean_data* e = nullptr;
    for (int grants = 1; grants < 8 && (!e || e->get_height_array()); ++grants) {
        g_ration = {grants, 0};
        hymem::install_hook(rationed_hook, kTestTag, true, 0);
        printed([&] { EXPECT_EQ(s.reallocate_disturbance_grid(d, dist), 0); });
        hymem::install_hook(nullptr, 0, false, 0);
        ASSERT_EQ(s.get_bare_pointer(d, e), 1);
    }
    ASSERT_EQ(e->get_height_array(), nullptr);
    g_ration = {0, 0};
    hymem::install_hook(rationed_hook, kTestTag, true, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(s.reallocate_disturbance_grid(d, dist), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("unable to allocate grid 2\nHyOceanSurface::reallocate_disturbance_grid  unable to add new grid \n"),
              std::string::npos) << err;
    hymem::install_hook(nullptr, 0, false, 0);
    EXPECT_EQ(s.reallocate_disturbance_grid(d, dist), 1);
    EXPECT_EQ(s.remove_disturbance_grid(d), d);
}

TEST(Surface, ForwardsReflectingLinesQueriesAndImages)
{
    HyOceanSurface s;
    EXPECT_EQ(s.add_reflecting_line(0.0, 0.0, 0.0), -1); // no grid yet
    double sx = 7, sy = 7;
    EXPECT_EQ(s.get_slope(1.0, 1.0, sx, sy), 0);
    ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);
    s.evolve_to_time(1.0);
    const double plain = s.get_height(3.0, 4.0), mirrored = s.get_height(3.0, -4.0);
    EXPECT_EQ(s.add_reflecting_line(0.0, 0.0, 0.0), 0);
    // A wall along the x axis adds the sea's mirror image.
    EXPECT_NEAR(s.get_height(3.0, 4.0), plain + mirrored, 1e-9);
    EXPECT_EQ(s.clear_reflecting_lines(), 1);
    EXPECT_EQ(s.get_height(3.0, 4.0), plain);

    // Slopes agree with differences of heights; normals built from them point up.
    ASSERT_EQ(s.get_slope_by_difference(3.0, 4.0, 0.01, 0.01, sx, sy), 1);
    const double dx = (s.get_height(3.005, 4.0) - s.get_height(2.995, 4.0)) / 0.01;
    EXPECT_NEAR(sx, dx, 1e-9);
    double nx = 0, ny = 0, nz = 1;
    ASSERT_EQ(s.add_slope_to_normal(3.0, 4.0, nx, ny, nz), 1);
    EXPECT_GT(nz, 0.0);
    EXPECT_NEAR(nx * nx + ny * ny + nz * nz, 1.0, 1e-12);

    const std::string path = std::string(SEAVAST_BINARY_DIR) + "/surface_heights_test.sgi";
    ASSERT_EQ(s.write_sgi_height(path.c_str(), -1.0, 1.0, 0.0, 0.0, 16, 8, 0.5, 0.5), 1);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), 512 + 16 * 8);
    std::fclose(f);
    std::remove(path.c_str());
}

// The elements evolve side by side on the process's threads; the sea is bit-for-bit the same for
// 1, 2 and 7 threads, and each element lands where its position puts it.
TEST(Surface, SeaDoesNotDependOnTheThreadCount)
{
    std::vector<double> seas[3];
    int k = 0;
    for (int threads : {1, 2, 7}) {
        hyplat::HyThreadPool::set_process_threads(threads);
        HyOceanSurface s;
        ASSERT_EQ(s.allocate_primary_waves(small_primary()), 1);
        ASSERT_NE(s.add_new_swell(small_swell(1)), 0u);
        ASSERT_NE(s.add_new_swell(small_swell(2)), 0u);
        HyRipple_record ripple;
        ripple.centre_x = 4.0;
        ASSERT_NE(s.add_new_ripple(ripple), 0u);
        HyWake_record wake;
        wake.nx = wake.ny = 32;
        wake.dx = wake.dy = 2.0;
        wake.heading = 0.3;
        ASSERT_NE(s.add_new_wake(wake), 0u);
        for (double t : {0.5, 1.25})
            s.evolve_to_time(t);
        seas[k++] = sample(s);
    }
    hyplat::HyThreadPool::set_process_threads(0);
    EXPECT_TRUE(all_finite(seas[0]));
    EXPECT_EQ(seas[0], seas[1]);
    EXPECT_EQ(seas[0], seas[2]);
}
