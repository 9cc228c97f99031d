// Disturbance element: wave state, symplectic step against the exact recurrence of one mode, display
// interpolation, reset, key-framed sources, limits and bad input.
#include "ocean/HyOceanSurfaceGridElement_disturbance.h"
#include "tests/ocean/OceanTestSupport.h"

#include <array>

namespace {

using namespace oceantest;

constexpr double kPi = 3.141592653589793;

// A disturbance rectangle of nx x ny nodes on its own array, its wave state generated.
struct Sea {
    HyDisturbance_record record;
    std::vector<float> array;
    HyOceanSurfaceGridElement_disturbance* element = nullptr;

    Sea(int nx, int ny, double dx, double dy, double dt = 0.1, double angle = 0.0, double cx = 0.0,
        double cy = 0.0)
        // After the lattice: start time, time step, centre and angle.
        : record{{.nx = nx, .ny = ny, .dx = dx, .dy = dy}, 0.0, dt, cx, cy, angle},
          array((std::size_t(nx) + 2) * std::size_t(ny), 0.0f)
    {
        record.heights = array.data();
        element = new HyOceanSurfaceGridElement_disturbance(record);
        if (std::isfinite(dx) && dx > 0) {
            EXPECT_EQ(element->generate_kspace(), 1);
        }
    }
    ~Sea() { delete element; }
    HyOceanSurfaceGridElement_disturbance* operator->() { return element; }
    std::size_t count() const { return std::size_t(record.nx) * std::size_t(record.ny); }
    double shown() const { return max_abs(array.data(), count()); }
    std::vector<float> copy() const { return {array.begin(), array.begin() + std::ptrdiff_t(count())}; }
    // World position of node (i, j).
    void world(int i, int j, double& x, double& y) const
    {
        const double fx = i * record.dx - record.nx * record.dx / 2;
        const double fy = j * record.dy - record.ny * record.dy / 2;
        x = record.centre_x + std::cos(record.angle) * fx - std::sin(record.angle) * fy;
        y = record.centre_y + std::sin(record.angle) * fx + std::cos(record.angle) * fy;
    }
    // Sum of w(h) over the nodes and the w(h)-weighted mean world position: {sum, x, y}.
    template <class W> std::array<double, 3> moment(W w)
    {
        double sum = 0, sx = 0, sy = 0, x, y;
        for (int j = 0; j < record.ny; ++j)
            for (int i = 0; i < record.nx; ++i) {
                const double m = w(element->get_node(i, j));
                world(i, j, x, y);
                sum += m;
                sx += m * x;
                sy += m * y;
            }
        return {sum, sx / sum, sy / sum};
    }
};

// A boat crossing the rectangle along a key-framed path.
struct Path {
    std::vector<double> t, x, y;
    HyBoatDisturbance_data block(double length = 8.0, double beam = 4.0, double bow = 0.1,
                                 double stern = -0.1)
    {
        return {.hull_length = length, .hull_beam = beam, .bow_amplitude = bow, .stern_amplitude = stern,
                .key_count = int(t.size()), .key_times = t.data(), .key_x = x.data(), .key_y = y.data()};
    }
};

// A ripple disturbance with its six channels over K keys.
struct Stone {
    std::vector<double> t, x, y, a, b, s, angle;
    HyRippleDisturbance_data block()
    {
        return {.key_count = int(t.size()), .key_times = t.data(), .key_x = x.data(), .key_y = y.data(),
                .key_size_a = a.data(), .key_size_b = b.data(), .key_strength = s.data(),
                .key_angle = angle.data()};
    }
};

Stone stone(double x, double y, double strength_from, double strength_to)
{
    return Stone{{0.0, 1.0}, {x, x}, {y, y}, {2.0, 2.0}, {1.0, 1.0}, {strength_from, strength_to},
                 {0.3, 0.3}};
}

} // namespace

TEST(Disturbance, CornersAndPlacementOfATurnedRectangle)
{
    Sea sea(100, 50, 1.0, 1.0, 0.1, kPi / 2, 10.0, 0.0);
    double c[8];
    sea->get_corners(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
    const double expect[8] = {10 - 25, -50, 10 + 25, -50, 10 - 25, 50, 10 + 25, 50};
    for (int k = 0; k < 8; ++k)
        EXPECT_NEAR(c[k], expect[k], 1e-9) << k;
    // The grid adds the offset, then turns by -angle: the centre must land on the array's middle.
    double ox, oy;
    sea->get_position(0.0, ox, oy);
    EXPECT_NEAR(10.0 + ox, -25.0, 1e-9); // (50, 25) in the rectangle's frame, turned back by 90 degrees
    EXPECT_NEAR(0.0 + oy, 50.0, 1e-9);
}

TEST(Disturbance, NoSourcesStaysFlatAndEarlierTimeResets)
{
    Sea sea(64, 32, 1.0, 1.0);
    for (double t : {0.05, 1.0, 7.37}) {
        sea->evolve_to_time(t);
        EXPECT_EQ(sea.shown() + max_abs(sea->height, sea.count()) + max_abs(sea->potential, sea.count()), 0.0)
            << t;
    }
    EXPECT_NEAR(sea->sim_time, 7.3, 1e-9);

    // With a boat, going back in time gives exactly the state a fresh element reaches then.
    Path p{{0.0, 10.0}, {-20.0, 20.0}, {0.0, 3.0}};
    ASSERT_EQ(sea->add_boat_disturbance(p.block()), 1);
    sea->evolve_to_time(3.0); // earlier than 7.3: restarts from rest, then runs to 3.0
    const std::vector<float> at3 = sea.copy();
    ASSERT_GT(max_abs(at3), 1e-4);
    sea->evolve_to_time(5.0);
    sea->evolve_to_time(3.0);
    EXPECT_EQ(sea.copy(), at3);
    Sea fresh(64, 32, 1.0, 1.0);
    ASSERT_EQ(fresh->add_boat_disturbance(p.block()), 1);
    fresh->evolve_to_time(1.25);
    fresh->evolve_to_time(3.0); // two calls reach the same state as one
    EXPECT_EQ(fresh.copy(), at3);

    // Before the start time the water is at rest.
    sea->evolve_to_time(-2.0);
    EXPECT_EQ(sea.shown() + max_abs(sea->height, sea.count()), 0.0);
    EXPECT_DOUBLE_EQ(sea->sim_time, 0.0);
}

TEST(Disturbance, SymplecticStepFollowsTheExactRecurrenceOfOneMode)
{
    // A single cosine mode with both wavenumber components (one of them negative) on an anisotropic
    // lattice: every step must be h' = h + dt*K*phi, phi' = phi - dt*g*h' for that mode's K.
    const int nx = 32, ny = 16;
    const double dx = 0.5, dy = 1.0, dt = 0.05;
    const int a = 3, b = -2;
    Sea sea(nx, ny, dx, dy, dt);
    auto phase = [&](int i, int j) { return 2 * kPi * (double(a) * i / nx + double(b) * j / ny); };
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
            sea->set_node(i, j, 0.2 * std::cos(phase(i, j)));
    const double K = 2 * kPi * std::hypot(a / (nx * dx), b / (ny * dy));
    double h = 0.2, phi = 0.0;
    for (int n = 0; n < 40; ++n) {
        sea->step(dt);
        h = h + dt * K * phi;
        phi = phi - dt * 9.81 * h;
    }
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const double c = std::cos(phase(i, j));
            ASSERT_NEAR(sea->get_node(i, j), h * c, 2e-5) << i << "," << j;
            ASSERT_NEAR(sea->potential[j * nx + i], phi * c, 2e-4) << i << "," << j;
        }
    // The state before the last step is kept alongside.
    EXPECT_NE(sea->height_prev[0], sea->height[0]);

    // A mode the step cannot carry stably (9.81*K*dt^2 >= 4) keeps its height instead of growing.
    Sea coarse(nx, ny, dx, dy, 0.3);
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
            coarse->set_node(i, j, (i % 2 ? -0.1 : 0.1)); // the Nyquist column
    for (int n = 0; n < 50; ++n)
        coarse->step(0.3);
    EXPECT_NEAR(max_abs(coarse->height, std::size_t(nx * ny)), 0.1, 1e-6);
}

TEST(Disturbance, DisplayInterpolatesBetweenSteps)
{
    Sea sea(64, 64, 1.0, 1.0, 0.1);
    Stone s = stone(0.0, 0.0, 0.0, -0.3);
    ASSERT_EQ(sea->add_ripple_disturbance(s.block()), 1);
    const double t = 1.234;
    sea->evolve_to_time(t);
    const double f = (t - sea->sim_time) / 0.1;
    ASSERT_GT(f, 0.0);
    ASSERT_LT(f, 1.0);
    std::size_t moved = 0;
    for (std::size_t k = 0; k < sea.count(); ++k) {
        const float expect = sea->height_prev[k] * float(1.0 - f) + sea->height[k] * float(f);
        ASSERT_NEAR(sea.array[k], expect, 1e-7) << k;
        moved += sea->height_prev[k] != sea->height[k];
    }
    EXPECT_GT(moved, 100u);
    // transform_to_heights writes the same display again.
    const std::vector<float> shown = sea.copy();
    std::fill(sea.array.begin(), sea.array.end(), 0.0f);
    sea->transform_to_heights();
    EXPECT_EQ(sea.copy(), shown);

    // Continuity across a step boundary: just before and just after it the display agrees.
    sea->evolve_to_time(1.6999999);
    const std::vector<float> before = sea.copy();
    sea->evolve_to_time(1.7000001);
    double diff = 0.0;
    for (std::size_t k = 0; k < sea.count(); ++k)
        diff = std::max(diff, std::fabs(double(before[k]) - sea.array[k]));
    EXPECT_LT(diff, 1e-4 * std::max(1e-3, max_abs(before)) + 1e-7);
}

TEST(Disturbance, BoatLaysDownTwoBumpsAlongItsTrack)
{
    // A boat at 20 m/s on a rotated rectangle: one step adds two Gaussian bumps a quarter hull length
    // ahead of and behind the middle of the step's displacement, elongated along the track.
    Sea sea(320, 320, 0.25, 0.25, 0.1, kPi / 6, 40.0, 5.0);
    Path p{{0.0, 10.0}, {0.0, 200.0}, {4.0, 4.0}};
    // A long hull keeps the two bumps apart, so each can be measured on its own.
    const double bow = 0.1, stern = -0.04, length = 40.0, beam = 4.0;
    ASSERT_EQ(sea->add_boat_disturbance(p.block(length, beam, bow, stern)), 1);
    sea->inject_sources(2.0, 0.1); // from (40, 4) to (42, 4)
    // Volume and centroid of the positive (ahead) and negative (behind) water.
    const auto ahead = sea.moment([](double h) { return std::max(h, 0.0); });
    const auto behind = sea.moment([](double h) { return std::min(h, 0.0); });
    const double d = 2.0, cell = 0.25 * 0.25; // metres travelled in the step
    EXPECT_NEAR(ahead[0] * cell, bow * kPi * d * (beam / 4), 1e-3 * bow * kPi * d);
    EXPECT_NEAR(behind[0] * cell, stern * kPi * d * (beam / 4), 1e-3 * std::fabs(stern) * kPi * d);
    EXPECT_NEAR(ahead[1], 41.0 + length / 4, 0.01);
    EXPECT_NEAR(ahead[2], 4.0, 0.01);
    EXPECT_NEAR(behind[1], 41.0 - length / 4, 0.01);
    EXPECT_NEAR(behind[2], 4.0, 0.01);

    // Outside its active interval, at rest, with a single key, no beam or no length, a boat adds
    // nothing; so does a ripple bump that does not change.
    Sea quiet(64, 64, 0.5, 0.5);
    Stone fixed = stone(1.0, 2.0, 0.3, 0.3);
    ASSERT_EQ(quiet->add_ripple_disturbance(fixed.block()), 1);
    HyBoatDisturbance_data late = p.block();
    late.start_time = 5.0;
    Path moored{{0.0, 10.0}, {1.0, 1.0}, {2.0, 2.0}};
    HyBoatDisturbance_data single = moored.block();
    single.key_count = 1;
    for (const HyBoatDisturbance_data& b :
         {late, moored.block(), single, p.block(8.0, 0.0), p.block(0.0, 4.0)})
        ASSERT_GT(quiet->add_boat_disturbance(b), 0);
    quiet->evolve_to_time(4.95);
    EXPECT_EQ(quiet.shown(), 0.0);
}

TEST(Disturbance, RippleSourceAddsTheChangeOfItsBump)
{
    Sea sea(128, 128, 0.25, 0.25, 0.1, 0.4, 0.0, 0.0);
    // Centre on a node so that the peak is sampled exactly.
    double wx, wy;
    sea.world(70, 60, wx, wy);
    Stone s = stone(wx, wy, 0.0, 0.5);
    ASSERT_EQ(sea->add_ripple_disturbance(s.block()), 1);
    sea->inject_sources(0.2, 0.1);
    const double vol = std::accumulate(sea->height, sea->height + sea.count(), 0.0);
    const double ds = 0.05; // strength change over the step
    EXPECT_NEAR(sea->get_node(70, 60), ds, 1e-6);
    EXPECT_NEAR(vol * 0.25 * 0.25, ds * kPi * 2.0 * 1.0, 1e-4);
    // The a axis (2 m) lies along the world angle 0.3, i.e. 0.3 - 0.4 in the rectangle's frame: one
    // radius out along it the bump is e^-1 (bilinear read of the injected heights).
    const double val = bilinear(70 + 8.0 * std::cos(-0.1), 60 + 8.0 * std::sin(-0.1),
                                [&](int i, int j) { return sea->get_node(i, j); });
    EXPECT_NEAR(val, ds * std::exp(-1.0), 1e-2 * ds);
}

TEST(Disturbance, HundredBoatsAndHundredRipplesWithIds)
{
    Sea sea(64, 64, 1.0, 1.0, 0.1);
    std::vector<Path> paths;
    std::vector<Stone> stones;
    for (int k = 0; k < 101; ++k) {
        paths.push_back({{0.0, 5.0}, {-30.0 + 0.5 * k, 30.0 - 0.3 * k}, {-20.0 + 0.4 * k, 25.0 - 0.4 * k}});
        stones.push_back(stone(-25.0 + 0.5 * k, 10.0 - 0.2 * k, 0.0, -0.05));
    }
    for (int k = 0; k < 100; ++k) {
        ASSERT_EQ(sea->add_boat_disturbance(paths[std::size_t(k)].block(6.0, 2.0, 0.01, -0.01)), k + 1);
        ASSERT_EQ(sea->add_ripple_disturbance(stones[std::size_t(k)].block()), k + 1);
    }
    const Printed said = printed([&] {
        EXPECT_EQ(sea->add_boat_disturbance(paths[100].block()), 0);
        EXPECT_EQ(sea->add_ripple_disturbance(stones[100].block()), 0);
    });
    EXPECT_NE(said.err.find("too many boat disturbances"), std::string::npos);
    EXPECT_NE(said.err.find("too many ripple disturbances"), std::string::npos);

    // Ids are never reused; unknown ids change nothing.
    EXPECT_EQ(sea->delete_boat_disturbance(50) + sea->delete_boat_disturbance(50), 50);
    EXPECT_EQ(sea->boat_disturbance_count(), 99);
    EXPECT_EQ(sea->add_boat_disturbance(paths[100].block(6.0, 2.0, 0.01, -0.01)), 101);
    EXPECT_EQ(sea->change_boat_disturbance(7, paths[3].block(5.0, 2.0, 0.02, -0.02)), 7);
    EXPECT_EQ(sea->change_boat_disturbance(50, paths[3].block()), 0);
    EXPECT_EQ(sea->delete_ripple_disturbance(100), 100);
    EXPECT_EQ(sea->add_ripple_disturbance(stones[100].block()), 101);
    EXPECT_EQ(sea->change_ripple_disturbance(1, stones[5].block()), 1);
    EXPECT_EQ(sea->change_ripple_disturbance(4242, stones[5].block()), 0);
    sea->evolve_to_time(2.05);
    EXPECT_TRUE(all_finite(sea.array.data(), sea.count()));
    EXPECT_GT(sea.shown(), 1e-4);

    // Deleting every source leaves a quiet rectangle after a restart.
    for (int id = 1; id <= 101; ++id) {
        sea->delete_boat_disturbance(id);
        sea->delete_ripple_disturbance(id);
    }
    EXPECT_EQ(sea->boat_disturbance_count() + sea->ripple_disturbance_count(), 0);
    sea->evolve_to_time(0.0);
    sea->evolve_to_time(2.0);
    EXPECT_EQ(sea.shown(), 0.0);
}

TEST(Disturbance, BadKeyFramesAreRefusedGarbageStaysFiniteAndBadLatticesAreHarmless)
{
    Sea sea(64, 64, 1.0, 1.0);
    std::vector<double> t(101, kNan), x(101, 0.0), y(101, 0.0);
    HyBoatDisturbance_data b{.key_count = 101, .key_times = t.data(), .key_x = x.data(), .key_y = y.data()};
    // NaN times, times going backwards or repeating, no keys, a NaN hull or interval: refused.
    const Printed said = printed([&] {
        EXPECT_EQ(sea->add_boat_disturbance(b), 0);
        for (auto times : {+[](int k) { return 100.0 - k; }, +[](int k) { return double(k / 2); }}) {
            for (int k = 0; k < 101; ++k)
                t[std::size_t(k)] = times(k);
            EXPECT_EQ(sea->add_boat_disturbance(b), 0);
        }
        EXPECT_EQ(sea->add_boat_disturbance(HyBoatDisturbance_data()), 0);
        for (int k = 0; k < 101; ++k)
            t[std::size_t(k)] = 0.05 * k;
        HyBoatDisturbance_data bad = b;
        bad.hull_beam = kNan;
        EXPECT_EQ(sea->add_boat_disturbance(bad), 0);
        bad = b;
        bad.end_time = kNan;
        EXPECT_EQ(sea->add_boat_disturbance(bad), 0);
        Stone s = stone(0, 0, 0, 1);
        s.a[1] = kNan;
        EXPECT_EQ(sea->add_ripple_disturbance(s.block()), 0);
    });
    EXPECT_NE(said.err.find("invalid key frames "), std::string::npos);
    EXPECT_NE(said.err.find("invalid parameters "), std::string::npos);
    EXPECT_EQ(sea->boat_disturbance_count() + sea->ripple_disturbance_count(), 0);

    // Finite garbage (huge, tiny, wild jumps) is accepted and stays finite.
    for (int k = 0; k < 101; ++k) {
        const double r = ((k * 7919) % 1000) / 1000.0 - 0.5;
        x[std::size_t(k)] = (k % 3 == 0) ? r * 1e300 : (k % 3 == 1 ? r * 1e-300 : r * 80.0);
        y[std::size_t(k)] = (k % 2 == 0) ? -r * 1e308 : r * 50.0;
    }
    b.bow_amplitude = 1e30;
    EXPECT_EQ(sea->add_boat_disturbance(b), 1);
    Stone wild{{0.0, 0.5, 1.0, 1.5},     {0.0, 1e300, -1e300, 3.0}, {0.0, 2.0, 1e-300, 3.0},
               {1.0, 0.0, -5.0, 1e-300}, {1.0, 1e300, 2.0, 3.0},    {0.0, 1e300, -1e300, 0.5},
               {0.0, 1e300, 2.0, 3.0}};
    EXPECT_EQ(sea->add_ripple_disturbance(wild.block()), 1);
    printed([&] {
        for (double tt : {0.5, 1.3, 2.9, 6.0, kNan})
            sea->evolve_to_time(tt);
    });
    EXPECT_TRUE(all_finite(sea.array.data(), sea.count()));
    EXPECT_TRUE(all_finite(sea->potential, sea.count()));

    // A time step of 0 or NaN would never advance: it becomes 0.1 s (twenty whole steps to 2 s).
    testing::internal::CaptureStderr();
    Sea zero_step(32, 32, 1.0, 1.0, 0.0), nan_step(32, 32, 1.0, 1.0, kNan, kNan, kNan, 1.0);
    testing::internal::GetCapturedStderr();
    EXPECT_DOUBLE_EQ(nan_step->time_step, 0.1);
    EXPECT_EQ(nan_step->centre_x, 0.0);
    zero_step->evolve_to_time(2.0);
    EXPECT_DOUBLE_EQ(zero_step->sim_time, 2.0);
    // Nodes outside the rectangle are ignored.
    zero_step->set_node(-1, 0, 9.0);
    zero_step->add_to_node(32, 0, 9.0);
    zero_step->set_node(0, 32, 9.0);
    EXPECT_EQ(max_abs(zero_step->height, 32 * 32), 0.0);
    // Lattices that cannot be transformed are refused; the element stays flat.
    for (double spacing : {0.0, kNan}) {
        Sea bad_lattice(32, 32, spacing, 1.0);
        EXPECT_FALSE(printed([&] { EXPECT_EQ(bad_lattice->generate_kspace(), 0) << spacing; }).err.empty());
        bad_lattice->evolve_to_time(1.0);
        EXPECT_EQ(bad_lattice->get_node(0, 0), 0.0);
    }
}

TEST(Disturbance, RefusedAllocationsReport)
{
    auto r = lattice<HyDisturbance_record>(32, 1.0);
    std::vector<float> array(34 * 32);
    r.heights = array.data();
    HyOceanSurfaceGridElement_disturbance e(r);
    EXPECT_NE(printed_refused(0, [&] { EXPECT_EQ(e.generate_kspace(), 0); })
                  .err.find("unable to allocate space for dynamic wake generation "),
              std::string::npos);
    EXPECT_EQ(e.height, nullptr);
    EXPECT_EQ(e.potential_prev, nullptr);
    e.evolve_to_time(1.0);

    ASSERT_EQ(e.generate_kspace(), 1);
    Path p{{0.0, 4.0}, {-10.0, 10.0}, {-5.0, 5.0}};
    Stone s = stone(0, 0, 0, 1);
    const Printed said = printed_refused(0, [&] {
        EXPECT_EQ(e.add_boat_disturbance(p.block()), 0);
        EXPECT_EQ(e.add_ripple_disturbance(s.block()), 0);
    });
    EXPECT_NE(said.err.find("unable to allocate key frames "), std::string::npos);
    EXPECT_EQ(e.boat_disturbance_count(), 0);
    EXPECT_EQ(e.add_boat_disturbance(p.block()), 1); // the id counter did not move
}
