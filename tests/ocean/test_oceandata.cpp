// Element base and key frames.
#include "ocean/HyOceanData.h"
#include "tests/ocean/OceanTestSupport.h"

#include <tuple>

using namespace oceantest;

TEST(OceanData, BaseElementIsAFlatSeaOfItsExtentLoopsOnWholeStepsAndWritesSgi)
{
    std::vector<float> array(static_cast<std::size_t>(8 + 2) * 4, 7.0f);
    HyOcean_data e({.nx = 8, .ny = 4, .dx = 0.5, .dy = 2.0, .heights = array.data()});
    EXPECT_STREQ(e.get_name(), "spec.dat");
    // The offset brings the world origin to the middle of the 4 m x 8 m array.
    double c[10];
    e.get_position(123.0, c[0], c[1]);
    e.get_corners(c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9]);
    EXPECT_EQ(std::vector<double>(c, c + 10), (std::vector<double>{2, 4, -2, 4, -2, -4, 2, 4, 2, -4}));

    // A flat sea: evolving changes nothing, the transform zeroes the nx*ny heights (not the spare floats).
    e.evolve_to_time(5.0);
    EXPECT_EQ(array[0], 7.0f);
    EXPECT_EQ(e.generate_kspace(), 1);
    e.transform_to_heights();
    EXPECT_EQ(max_abs(array.data(), 32), 0.0);
    EXPECT_EQ(array[32], 7.0f);
    std::vector<float> other(40, 3.0f);
    e.evolve_filtered_to_time(other.data(), 1.0, 2.0, 3.0, 4.0);
    EXPECT_TRUE(other[31] == 0.0f && other[32] == 3.0f);
    array.assign(array.size(), 1.0f);
    e.upgrade_potential_field(2.0);
    EXPECT_EQ(array[31], 0.0f);

    // Looping: always strictly above, on a whole step of 2pi/10 (an exact multiple moves up a step);
    // a loop time of zero or below freezes the sea; off, frequencies are kept.
    const double step = 6.283185307 / 10;
    EXPECT_EQ(e.quantise_frequency(1.234), 1.234);
    e.set_loop_time(10.0);
    for (double w : {0.0, 3 * 6.283185307 / 10, 0.01, 0.7, 2.5, 29.9}) {
        const double q = e.quantise_frequency(w);
        EXPECT_NEAR(q / step, std::floor(w / step + 1e-9) + 1, 1e-9) << w;
    }
    for (double frozen : {0.0, -3.0}) {
        e.set_loop_time(frozen);
        EXPECT_EQ(e.quantise_frequency(5.0), 0.0);
    }
    e.clear_loop();
    EXPECT_EQ(e.quantise_frequency(5.0), 5.0);

    // The SGI file of the heights: 8 x 4 x 1, heights 0..31 scaled to bytes (1/31*255 = 8.2 -> 8).
    std::iota(array.begin(), array.begin() + 32, 0.0f);
    const TempFile path("element.sgi");
    ASSERT_EQ(e.write_sgi(path.c_str(), 0.0, 31.0), 1);
    const std::vector<unsigned char> bytes = file_bytes(path);
    ASSERT_EQ(bytes.size(), 512u + 32u);
    EXPECT_TRUE(bytes[7] == 8 && bytes[9] == 4 && bytes[11] == 1);
    EXPECT_EQ(bytes[512], 0);
    EXPECT_EQ(bytes[512 + 1], 8);
    EXPECT_EQ(bytes[512 + 31], 255);
    e.set_height_array(nullptr);
    EXPECT_EQ(printed([&] { EXPECT_EQ(e.write_sgi(path.c_str(), 0.0, 1.0), 0); }).err,
              "unable to write height array \n");
}

TEST(KeyFrames, InterpolatesExtrapolatesLinearlyAndKeepsNothingWithoutMemory)
{
    const double t[2] = {0.0, 1.0}, v[2] = {0.0, 10.0}, w[2] = {4.0, 2.0};
    const double* src[3] = {t, v, w};
    HyKeyFrames k;
    ASSERT_EQ(k.init(2, 2, src), 1);
    double out[2];
    for (auto [time, a, b] : {std::tuple{0.5, 5.0, 3.0}, {-1.0, -10.0, 6.0}, {2.0, 20.0, 0.0}}) {
        k.evaluate(time, out);
        EXPECT_DOUBLE_EQ(out[0], a) << time;
        EXPECT_DOUBLE_EQ(out[1], b) << time;
    }

    // Several segments: the segment is found by the first key at or after t.
    const double t4[4] = {0.0, 1.0, 3.0, 4.0}, v4[4] = {0.0, 1.0, -1.0, 5.0};
    const double* src4[2] = {t4, v4};
    ASSERT_EQ(k.init(4, 1, src4), 1); // replaces the old table
    EXPECT_EQ(k.channel_count(), 1);
    for (auto [time, value] :
         {std::pair{1.0, 1.0}, {2.0, 0.0}, {3.0, -1.0}, {3.5, 2.0}, {5.0, 11.0}, {-2.0, -2.0}}) {
        k.evaluate(time, out);
        EXPECT_DOUBLE_EQ(out[0], value) << time;
    }
    // The table owns copies: changing the sources changes nothing.
    double t1[1] = {3.0}, v1[1] = {42.0};
    const double* src1[2] = {t1, v1};
    ASSERT_EQ(k.init(1, 1, src1), 1);
    v1[0] = 0.0;
    for (double time : {-100.0, 3.0, 1e9}) {
        k.evaluate(time, out);
        EXPECT_EQ(out[0], 42.0);
    }
    k.clear();
    out[0] = 9.0;
    k.evaluate(1.0, out); // empty: nothing written
    EXPECT_EQ(out[0], 9.0);

    // The table, then each channel in turn, refused: nothing is kept and every block goes back.
    for (int grants = 0; grants < 3; ++grants) {
        const auto before = hymem::hook_bytes();
        Rationed ration(grants);
        EXPECT_EQ(printed([&] { EXPECT_EQ(k.init(2, 1, src), 0); }).err,
                  "unable to allocate space for key frames \n");
        EXPECT_EQ(k.key_count(), 0);
        EXPECT_EQ(hymem::hook_bytes(), before) << grants;
    }
}
