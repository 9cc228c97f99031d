// Ocean surface: ids, the element families, periods of the primary lattices, looping, floating,
// bad input, and allocation failures forced through the allocator hook.
#include "ocean/HyOceanSurface.h"
#include "platform/HyThreadPool.h"
#include "tests/ocean/OceanTestSupport.h"

namespace {

using namespace oceantest;

HyPrimaryWaves_data primary(int n = 32) { return {.size = n, .small_spacing = 0.25, .large_spacing = 3.0}; }

HySwell_data small_swell(int seed = 3345) { return {.size = 32, .spacing = 5, .length = 60, .seed = seed}; }

HyWake_record small_wake() { return lattice<HyWake_record>(32, 2.0); }

HyDisturbance_record small_disturbance(int n = 32) { return lattice<HyDisturbance_record>(n, 1.0); }

// A surface with small primary waves and, unless told otherwise, one swell (id 1).
struct Sea : HyOceanSurface {
    explicit Sea(bool swell = true)
    {
        EXPECT_EQ(allocate_primary_waves(primary()), 1);
        if (swell) {
            EXPECT_EQ(add_new_swell(small_swell()), 1u);
        }
    }
    HyOcean_data* element(std::uint32_t id)
    {
        HyOcean_data* e = nullptr;
        EXPECT_EQ(get_bare_pointer(id, e), 1);
        return e;
    }
};

std::vector<double> sample(const HyOceanSurface& s)
{
    std::vector<double> v;
    for (double y = -40; y <= 40; y += 7.3)
        for (double x = -40; x <= 40; x += 5.9)
            v.push_back(s.get_height(x, y));
    return v;
}

} // namespace

TEST(Surface, IdsGrowNeverReusedAndRemovedIdsAreInvalid)
{
    Sea s;
    EXPECT_EQ(s.add_new_swell(small_swell()), 2u);
    EXPECT_EQ(s.add_new_swell(small_swell()), 3u);
    EXPECT_EQ(s.remove_swell(2), 2u);
    EXPECT_EQ(s.add_new_swell(small_swell()), 4u);
    EXPECT_EQ(s.disturbances.count, 3);

    using Call = std::uint32_t (*)(HyOceanSurface&);
    static HyOcean_data* e = nullptr; // what get_bare_pointer sets; a lambda without capture reaches it
    const std::pair<const char*, Call> ops[] = {
        {"reset_swell_parameters",
         [](auto& s) { return s.reset_swell_parameters(2, 1, 50, 0.2, 0.2, 0, 0); }},
        {"reallocate_swell", [](auto& s) { return std::uint32_t(s.reallocate_swell(2, small_swell())); }},
        {"remove_swell", [](auto& s) { return s.remove_swell(2); }},
        {"get_bare_pointer", [](auto& s) { return std::uint32_t(s.get_bare_pointer(2, e)); }},
        {"evolve_disturbance_to_time",
         [](auto& s) { return std::uint32_t(s.evolve_disturbance_to_time(2, 1)); }},
        {"remove_ripple", [](auto& s) { return s.remove_ripple(2); }},
        {"remove_wake", [](auto& s) { return s.remove_wake(2); }},
        {"remove_displacement_grid", [](auto& s) { return std::uint32_t(s.remove_displacement_grid(2)); }},
        {"add_boat_disturbance", [](auto& s) { return std::uint32_t(s.add_boat_disturbance(2, {})); }},
        // An id of another kind of element is no swell, ripple or wake.
        {"remove_ripple", [](auto& s) { return s.remove_ripple(1); }},
        {"reset_wake_parameters", [](auto& s) { return s.reset_wake_parameters(3, 1, 0, 0, 0, 0); }},
    };
    for (const auto& [name, call] : ops)
        EXPECT_EQ(printed([&, call = call] { EXPECT_EQ(call(s), 0u) << name; }).err,
                  std::string("HyOceanSurface::") + name + " invalid id \n");
    // The list still holds 1, 3, 4 in order.
    std::vector<std::uint32_t> ids;
    for (auto* n = s.disturbances.head; n; n = n->next)
        ids.push_back(n->id);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{1, 3, 4}));
    EXPECT_EQ(s.disturbances.tail->id, 4u);
    EXPECT_EQ(printed([&] { EXPECT_EQ(s.disturbances.remove_node(99), 0); }).err,
              "WARNING:  HyOceanDisturbanceList unable to find id 99\n");
}

TEST(Surface, LoopSettingsReachElementsAddedLater)
{
    Sea s(false);
    HySurface_data settings{.loop = 1, .loop_time = 8.0};
    s.set_surface_parameters(settings);
    HyOcean_data* e = s.element(s.add_new_swell(small_swell()));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->loop_time, 8.0);
    s.evolve_to_time(1.25);
    const auto first = sample(s);
    s.evolve_to_time(9.25);
    const auto second = sample(s);
    EXPECT_LT(relative_error(second.data(), first.data(), first.size()), 1e-5);
    // Switching the loop off reaches every element: the two times differ again.
    settings.loop = 0;
    s.set_surface_parameters(settings);
    EXPECT_EQ(e->loop, 0);
    EXPECT_EQ(s.large_primary->loop, 0);
    EXPECT_EQ(s.small_primary->loop, 0);
    s.evolve_to_time(9.25);
    EXPECT_NE(sample(s), second);
}

TEST(Surface, DefaultPrimaryLatticesRepeatWithTheirSpans)
{
    HyOceanSurface s;
    ASSERT_EQ(s.allocate_primary_waves(HyPrimaryWaves_data()), 1);
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
    // The spans are 1024 x 0.075 = 76.8 m and 1024 x 0.93 = 952.32 m: the whole sea repeats where
    // they meet, 62 x 76.8 = 5 x 952.32 m, and not half a large span away.
    double small_peak = 0, large_peak = 0;
    for (double x : {0.3, 11.1, -27.4})
        for (double y : {0.0, 5.55, 40.2}) {
            small_peak = std::max(small_peak, std::fabs(g->HyGrid::get_height(x, y, 1)));
            large_peak = std::max(large_peak, std::fabs(g->aux_value(0, x, y)));
            EXPECT_NEAR(s.get_height(x, y), s.get_height(x + 62 * 76.8, y - 5 * 952.32), 1e-4);
        }
    EXPECT_GT(small_peak, 1e-3);
    EXPECT_GT(large_peak, 1e-2);
    EXPECT_GT(std::fabs(g->aux_value(0, 0.3, 0.0) - g->aux_value(0, 0.3 + 952.32 / 2, 0.0)), 1e-4);
}

TEST(Surface, SecondWavesAndARemovedDisplacementGridLeaveTheSeaBitForBit)
{
    Sea s;
    s.evolve_to_time(2.0);
    const auto before = sample(s);
    HyPrimaryWaves_data other = primary(64);
    other.wind_speed = 12.0;
    EXPECT_EQ(printed([&] { EXPECT_EQ(s.allocate_primary_waves(other), 0); }).err,
              " HyOceanSurface::allocate_primary_waves  waves already allocated\n");
    const std::uint32_t id = s.add_new_displacement_grid(
        {.nx = 40, .ny = 20, .dx = 1.0, .dy = 1.0, .centre_x = 3.0, .angle = 0.4});
    ASSERT_EQ(id, 2u);
    float* a = s.element(id)->get_height_array();
    std::fill_n(a, 40 * 20, 0.5f);
    s.evolve_to_time(2.0);
    // Evolving kept the caller's values and the rectangle raises the sea at its centre.
    EXPECT_EQ(a[0], 0.5f);
    EXPECT_EQ(a[40 * 20 - 1], 0.5f);
    const int g = s.grid->find_aux_grid(a);
    ASSERT_EQ(g, 2);
    EXPECT_NEAR(s.grid->aux_value(g, 3.0, 0.0), 0.5, 1e-7);
    EXPECT_NE(sample(s), before);
    double c[8];
    ASSERT_EQ(s.get_element_corners(id, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]), 1);
    EXPECT_NEAR(c[0], 3.0 - 20 * std::cos(0.4) - 10 * std::sin(0.4), 1e-9);
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
    HyPrimaryWaves_data p = primary();
    p.wind_speed = 0.0; // flat primary waves
    ASSERT_EQ(s.allocate_primary_waves(p), 1);
    HyOcean_data* e = nullptr;
    ASSERT_EQ(s.get_bare_pointer(s.add_new_displacement_grid({.nx = 64, .ny = 64, .dx = 1, .dy = 1}), e), 1);
    float* a = e->get_height_array();
    for (int k = 0; k < 64 * 64; ++k)
        a[k] = 0.1f * float(k % 64 - 32); // h = 0.1 x in the world
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

TEST(Surface, ElementFamiliesTakeTheirGridsAndGiveThemBack)
{
    HyOceanSurface s;
    ASSERT_EQ(s.reallocate_primary_waves(primary()), 1); // allocates when nothing exists
    ASSERT_EQ(s.reallocate_primary_waves(primary(64)), 1);
    EXPECT_EQ(s.grid->nx, 64);
    EXPECT_EQ(s.grid->aux_nx[0], 64);

    HyRipple_record ripple;
    ripple.centre_x = 4.0;
    const std::uint32_t r = s.add_new_ripple(ripple);
    ASSERT_EQ(r, 1u);
    ripple.nx = 101;
    EXPECT_EQ(s.reallocate_ripple(r, ripple), 1);
    EXPECT_EQ(s.grid->aux_type[1], kHyAuxAdditiveRadial);
    EXPECT_EQ(s.grid->aux_nx[1], 101);

    const std::uint32_t w = s.add_new_wake(small_wake());
    ASSERT_EQ(w, 2u);
    EXPECT_EQ(s.reset_wake_parameters(w, 2.0, 0.5, 1.0, 1.0, 0.0), w);
    EXPECT_NEAR(s.grid->aux_cos_r[2], std::cos(0.5), 1e-15);
    EXPECT_EQ(s.reallocate_wake(w, small_wake()), 1);
    EXPECT_EQ(s.grid->aux_rotated[2], 1);
    EXPECT_EQ(s.grid->aux_periodic[2], 0);

    const std::uint32_t d = s.add_new_disturbance_grid(small_disturbance());
    ASSERT_EQ(d, 3u);
    const double times[2] = {0.0, 1.0}, xs[2] = {-5.0, 5.0}, ys[2] = {0.0, 0.0};
    EXPECT_GT(s.add_boat_disturbance(d, {.key_count = 2, .key_times = times, .key_x = xs, .key_y = ys}), 0);
    EXPECT_EQ(s.reallocate_disturbance_grid(d, small_disturbance()), 1);
    const std::uint32_t sw = s.add_new_swell(small_swell());
    EXPECT_EQ(s.reallocate_swell(sw, small_swell(12)), 1);
    s.evolve_to_time(0.7);
    EXPECT_EQ(s.evolve_disturbance_to_time(r, 0.9), 1);
    EXPECT_TRUE(all_finite(sample(s)));

    EXPECT_EQ(s.remove_ripple(r), r);
    EXPECT_EQ(s.remove_wake(w), w);
    EXPECT_EQ(s.remove_disturbance_grid(d), d);
    EXPECT_EQ(s.remove_swell(sw), sw);
    EXPECT_EQ(s.grid->aux_count, 1);
    EXPECT_EQ(s.disturbances.head, nullptr);
    EXPECT_EQ(s.deallocate_primary_waves(), 1);
    EXPECT_EQ(s.deallocate_primary_waves(), 0);
    EXPECT_EQ(s.get_height(1.0, 2.0), 0.0);
}

TEST(Surface, BadInputIsRefusedOrFlat)
{
    HyOceanSurface s;
    for (int n : {0, 7, -4, 2}) {
        const Printed said = printed([&] { EXPECT_EQ(s.allocate_primary_waves(primary(n)), 0) << n; });
        EXPECT_NE(said.err.find("HyOceanSurface::allocate_primary_waves"), std::string::npos);
    }
    for (double spacing : {0.0, kNan}) {
        HyPrimaryWaves_data p = primary();
        (spacing == 0.0 ? p.small_spacing : p.large_spacing) = spacing;
        printed([&] { EXPECT_EQ(s.allocate_primary_waves(p), 0); });
    }
    s.evolve_to_time(1.0); // nothing allocated: nothing to do, no grid
    EXPECT_EQ(s.grid, nullptr);
    EXPECT_EQ(s.get_height(1.0, 1.0), 0.0);

    // A wind that is not a number gives a flat sea; 48 is not a power of two but works.
    HyPrimaryWaves_data p = primary(48);
    p.wind_speed = kNan;
    ASSERT_EQ(s.allocate_primary_waves(p), 1);
    s.evolve_to_time(3.0);
    EXPECT_EQ(max_abs(sample(s)), 0.0);
    s.reset_primary_wave_parameters(p.wind_direction, 8.0, 0.0, 1.0, 0.0);
    s.evolve_to_time(3.0);
    EXPECT_TRUE(all_finite(sample(s)));
    EXPECT_GT(max_abs(sample(s)), 0.0);

    // Swells on unusable lattices are refused.
    HySwell_data bad = small_swell();
    bad.spacing = 0.0;
    const Printed said = printed([&] { EXPECT_EQ(s.add_new_swell(bad), 0u); });
    EXPECT_NE(said.err.find("HyOceanSurface::add_new_swell  unable to add new grid \n"), std::string::npos);
    bad = small_swell();
    bad.size = 31;
    printed([&] { EXPECT_EQ(s.add_new_swell(bad), 0u); });
    EXPECT_EQ(s.grid->aux_count, 1);
    // A time that is not a number shows the start.
    s.evolve_to_time(kNan);
    EXPECT_TRUE(all_finite(sample(s)));
    double x, y, z, a, b, c;
    s.float_on_surface(1.0, 1.0, 1.0, 0.0, 0.0, 0.0, kNan, x, y, z, a, b, c);
    EXPECT_TRUE(std::isfinite(z) && std::isfinite(a) && std::isfinite(c));
}

TEST(Surface, AllocationFailuresReportAndLeaveTheSurfaceUsable)
{
    // Each step of building the sea (waves, a swell) and of resizing it is refused in turn: the step
    // reports, the list keeps what it had, and with memory back the same surface recovers.
    const std::int64_t hook_before = hymem::hook_bytes();
    const char* const steps[4] = {"allocate_primary_waves", "add_new_swell", "reallocate_primary_waves",
                                  "reallocate_swell"};
    int failures[4] = {}, node_failures = 0;
    for (int grants = 0; grants < 40; ++grants) {
        SCOPED_TRACE("grants " + std::to_string(grants));
        Rationed ration(grants);
        {
            HyOceanSurface s;
            int done[4] = {};
            std::uint32_t id = 0;
            const Printed said = printed([&] {
                done[0] = s.allocate_primary_waves(primary());
                done[1] = done[0] && (id = s.add_new_swell(small_swell())) != 0;
                done[2] = done[1] && s.reallocate_primary_waves(primary(64));
                done[3] = done[1] && s.reallocate_swell(id, small_swell(5));
                s.evolve_to_time(1.5);
                ration.off();
            });
            for (int k = 0; k < 4; ++k)
                if (!done[k] && (k == 0 || done[k == 1 ? 0 : 1])) {
                    ++failures[k];
                    EXPECT_NE(said.err.find(std::string("HyOceanSurface::") + steps[k]), std::string::npos)
                        << said.err;
                }
            if (!done[0] || (done[1] && !done[2])) {
                EXPECT_EQ(s.primary_allocated, 0);
            }
            if (done[0] && !done[1]) {
                // Whatever step failed, the new grid went with it.
                EXPECT_EQ(s.grid->aux_count, 1);
                EXPECT_EQ(s.disturbances.count, 0);
                if (said.err.find("add_node") != std::string::npos) {
                    ++node_failures;
                    EXPECT_NE(said.err.find(
                                  "HyOceanDisturbanceList::add_node  unable to allocate node \n"
                                  "HyOceanSurface::add_new_swell unable to add swell to disturbance list \n"),
                              std::string::npos);
                }
            }
            EXPECT_TRUE(g_ration.refusals == 0 || !(said.err.empty() && said.out.empty()));
            EXPECT_TRUE(all_finite(sample(s)));
            // With memory back, the same surface takes its waves and a swell; the swell keeps its id.
            if (!done[0]) {
                ASSERT_EQ(s.allocate_primary_waves(primary()), 1);
            }
            if (!done[1])
                id = s.add_new_swell(small_swell());
            EXPECT_EQ(s.reallocate_primary_waves(primary(64)), 1);
            EXPECT_EQ(s.reallocate_swell(id, small_swell(5)), 1);
            s.evolve_to_time(2.5);
            EXPECT_TRUE(all_finite(sample(s)));
            EXPECT_GT(max_abs(sample(s)), 0.0);
            EXPECT_EQ(s.remove_swell(id), id);
            // A grid whose old size could not even be put back stays as an empty slot.
            for (int g = 1; g < s.grid->aux_count; ++g)
                EXPECT_EQ(s.grid->aux_array[g], nullptr);
            EXPECT_TRUE(!done[3] || s.grid->aux_count == 1);
        }
        // Every block the hook handed out went back.
        EXPECT_EQ(hymem::hook_bytes(), hook_before);
    }
    EXPECT_GT(failures[0], 3);
    EXPECT_GT(failures[2], 2);
    EXPECT_GT(failures[3], 0);
    EXPECT_EQ(node_failures, 1);
}

TEST(Surface, FramesNeedNoMemoryOnceBuiltAndFailedFramesKeepTheLastSea)
{
    // Workers take heap memory, not the hook's: one thread, so that every block goes through the hook.
    hyplat::HyThreadPool::set_process_threads(1);
    // After the first frame a frame allocates nothing.
    {
        Sea s, reference;
        s.evolve_to_time(1.0);
        reference.evolve_to_time(2.0);
        Rationed none(0);
        EXPECT_EQ(printed([&] { s.evolve_to_time(2.0); }).err, "");
        EXPECT_EQ(g_ration.refusals, 0);
        EXPECT_EQ(sample(s), sample(reference));
    }
    // A first frame without memory reports and keeps the flat sea; the next one with memory is right.
    {
        Sea s(false), reference(false);
        Rationed none(0);
        const Printed said = printed([&] {
            s.evolve_to_time(1.0);
            none.off();
        });
        EXPECT_NE(said.err.find("unable to allocate kx\n"), std::string::npos) << said.err;
        EXPECT_NE(said.out.find("Out of Memory\n"), std::string::npos);
        EXPECT_EQ(max_abs(sample(s)), 0.0);
        s.evolve_to_time(1.0);
        reference.evolve_to_time(1.0);
        EXPECT_EQ(sample(s), sample(reference));
    }
    hyplat::HyThreadPool::set_process_threads(0);
}

TEST(Surface, SwellTooLargeToReallocateCarriesOnAtItsOldSize)
{
    Rationed ration(1000, 100000);
    ration.off();
    Sea s, reference;
    HySwell_data big = small_swell();
    big.size = 256;
    ration.on();
    const Printed said = printed([&] { EXPECT_EQ(s.reallocate_swell(1, big), 0); });
    ration.off();
    EXPECT_NE(said.err.find("HyOceanSurface::reallocate_swell unable to reallocate grid \n"),
              std::string::npos);
    s.evolve_to_time(2.0);
    reference.evolve_to_time(2.0);
    EXPECT_EQ(sample(s), sample(reference));
    EXPECT_EQ(s.reallocate_swell(1, big), 1);
    EXPECT_EQ(s.grid->aux_nx[1], 256);
}

TEST(Surface, DisturbanceGridLeftWithoutMemoryIsUnboundAndThenCannotAddAGrid)
{
    // Memory for the resized grid but not for the new element, nor to put the old size back: the
    // element stays in the list without a grid, and the next reallocation must add a new one.
    Sea s(false);
    const std::uint32_t d = s.add_new_disturbance_grid(small_disturbance());
    ASSERT_NE(d, 0u);
    const HyDisturbance_record dist = small_disturbance(64);
    HyOcean_data* e = nullptr;
    for (int grants = 1; grants < 8 && (!e || e->get_height_array()); ++grants) {
        Rationed ration(grants);
        printed([&] { EXPECT_EQ(s.reallocate_disturbance_grid(d, dist), 0); });
        e = s.element(d);
    }
    ASSERT_EQ(e->get_height_array(), nullptr);
    {
        Rationed none(0);
        const Printed said = printed([&] { EXPECT_EQ(s.reallocate_disturbance_grid(d, dist), 0); });
        EXPECT_NE(said.err.find("unable to allocate grid 2\n"
                                "HyOceanSurface::reallocate_disturbance_grid  unable to add new grid \n"),
                  std::string::npos)
            << said.err;
    }
    EXPECT_EQ(s.reallocate_disturbance_grid(d, dist), 1);
    EXPECT_EQ(s.remove_disturbance_grid(d), d);
}

TEST(Surface, ForwardsReflectingLinesQueriesAndImages)
{
    HyOceanSurface s;
    EXPECT_EQ(s.add_reflecting_line(0.0, 0.0, 0.0), -1); // no grid yet
    double sx = 7, sy = 7;
    EXPECT_EQ(s.get_slope(1.0, 1.0, sx, sy), 0);
    ASSERT_EQ(s.allocate_primary_waves(primary()), 1);
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

    const TempFile path("surface.sgi");
    ASSERT_EQ(s.write_sgi_height(path.c_str(), -1.0, 1.0, 0.0, 0.0, 16, 8, 0.5, 0.5), 1);
    EXPECT_EQ(file_bytes(path).size(), 512u + 16 * 8);
}

// The elements evolve side by side on the process's threads; the sea is bit-for-bit the same for
// 1, 2 and 7 threads, and each element lands where its position puts it.
TEST(Surface, SeaDoesNotDependOnTheThreadCount)
{
    std::vector<double> seas[3];
    int k = 0;
    for (int threads : {1, 2, 7}) {
        hyplat::HyThreadPool::set_process_threads(threads);
        Sea s;
        ASSERT_NE(s.add_new_swell(small_swell(2)), 0u);
        HyRipple_record ripple;
        ripple.centre_x = 4.0;
        ASSERT_NE(s.add_new_ripple(ripple), 0u);
        ASSERT_NE(s.add_new_wake(small_wake()), 0u);
        for (double t : {0.5, 1.25})
            s.evolve_to_time(t);
        seas[k++] = sample(s);
    }
    hyplat::HyThreadPool::set_process_threads(0);
    EXPECT_TRUE(all_finite(seas[0]));
    EXPECT_EQ(seas[0], seas[1]);
    EXPECT_EQ(seas[0], seas[2]);
}
