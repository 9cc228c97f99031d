// The pixel hand-over buffer: allocation in one step, the gathering rules of `accumulate`, `accepts`, and
// `flush` laying the work in front of or behind what the final planes hold.
#include "tests/render/render_test_support.h"

using render_test::AllocationBudget;
using render_test::Canvas;

namespace {

// A grey piece of colour v (premultiplied by its weight w) at squared distance d.
void put(HyPixelBuffer& b, int r, int c, double v, double d, double w)
{
    const double colour[3] = {v * w, v * w, v * w};
    b.accumulate(r, c, colour, d, w);
}

} // namespace

TEST(PixelBuffer, AllocationIsOneBlockOfRowsOrNothing)
{
    // Rows follow each other (the empty start is pinned where the first pieces land and flush).
    Canvas rig(3, 5);
    const HyPixelBuffer& b = rig.buffer;
    EXPECT_TRUE(b.coverage[1] == b.coverage[0] + 5 && b.coverage[2] == b.coverage[0] + 10);

    const std::int64_t before = hymem::heap_bytes();
    std::vector<float> p(100);
    HyPixelBuffer none(10, 10, p.data(), p.data(), p.data());
    {
        AllocationBudget refuse_all(0);
        EXPECT_EQ(none.allocate(), 0);
    }
    EXPECT_TRUE(none.work_weight == nullptr && none.coverage == nullptr);
    EXPECT_EQ(hymem::heap_bytes(), before);
    EXPECT_EQ(none.allocate(), 1);
}

TEST(PixelBuffer, AccumulateGathersNearerOverFartherWithinOnePixel)
{
    Canvas rig(1, 2);
    HyPixelBuffer& b = rig.buffer;
    // Each piece (pixel, grey value, squared distance, weight), then the pixel's weight, depth and grey.
    const double D = (0.25 * 200 + 0.5 * 100) / 0.75, D2 = 0.25 * 400 + 0.75 * D,
                 D3 = (300 * 0.4 + 100 * 0.3) / 0.7;
    const struct {
        int c;
        double v, d, w, weight, depth, grey;
    } steps[] = {
        {0, 0.3, 100.0, 0.5, 0.5, 100.0, 0.15},          // first piece: taken as it is
        {0, 0.2, 200.0, 0.25, 0.75, D, 0.2},             // farther, fits: weights add, depth the mean
        {0, 1.0, 400.0, 0.5, 1.0, D2, 0.2 + 0.25},       // farther, overfills: its open quarter counts
        {0, 1.0, 500.0, 0.5, 1.0, D2, 0.45},             // farther on a full pixel: dropped
        {0, 0.8, 50.0, 0.2, 1.0, 0.8 * D2 + 10.0, 0.16 + 0.8 * 0.45}, // nearer on a full pixel: in front
        {1, 0.5, 300.0, 0.4, 0.4, 300.0, 0.2},           // the other pixel is untouched so far
        {1, 0.1, 100.0, 0.3, 0.7, D3, 0.23},             // nearer below full weight: simply adds
        {1, 1.0, 20.0, 0.5, 1.0, 0.5 * D3 + 10.0, 0.5 + (0.5 / 0.7) * 0.23}, // overfills: the rest shrinks
    };
    for (const auto& s : steps) {
        put(b, 0, s.c, s.v, s.d, s.w);
        EXPECT_FLOAT_EQ(b.work_weight[0][s.c], float(s.weight)) << &s - steps;
        EXPECT_FLOAT_EQ(b.work_depth[0][s.c], float(s.depth)) << &s - steps;
        for (int k = 0; k < 3; ++k)
            EXPECT_FLOAT_EQ(b.channels[k][0][s.c], float(s.grey)) << &s - steps;
    }
}

TEST(PixelBuffer, FlushLaysWorkInFrontOrBehindAndAcceptsOnlyWhatIsNearer)
{
    Canvas rig(1, 3);
    HyPixelBuffer& b = rig.buffer;
    // Pixel 0: half covered in white at distance^2 100. Pixel 1: nothing. Pixel 2: full grey 0.4 at 400.
    put(b, 0, 0, 1.0, 100.0, 0.5);
    put(b, 0, 2, 0.4, 400.0, 1.0);
    b.flush();
    const float cover[3] = {0.5f, 0.0f, 1.0f}, depth[3] = {100.0f, 1e16f, 400.0f}, red[3] = {0.5f, 0.0f, 0.4f};
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(b.coverage[0][k] == cover[k] && b.distance_squared[0][k] == depth[k]) << k;
        EXPECT_FLOAT_EQ(rig.r[k], red[k]) << k;
        EXPECT_TRUE(b.work_weight[0][k] == 0.0f && b.work_depth[0][k] == 1e16f && b.channels[0][0][k] == 0.0f);
    }
    // An empty pixel takes anything (the default near limit passes all); a full one only what lies in front.
    EXPECT_TRUE(b.accepts(0, 1, 0.0));
    EXPECT_TRUE(b.accepts(0, 2, 399.0) && !b.accepts(0, 2, 400.0) && !b.accepts(0, 2, 900.0));
    // Second pass. Pixel 0: a farther quarter goes behind the half already there; pixel 2: a nearer half
    // goes in front of the full pixel.
    put(b, 0, 0, 0.8, 900.0, 0.25);
    put(b, 0, 2, 1.0, 25.0, 0.5);
    b.flush();
    EXPECT_TRUE(b.coverage[0][0] == 0.25f * 0.5f + 0.5f && b.distance_squared[0][0] == 100.0f); // nearer stays
    EXPECT_TRUE(b.coverage[0][2] == 1.0f && b.distance_squared[0][2] == 25.0f);
    EXPECT_FLOAT_EQ(rig.r[0], 0.5f + 0.5f * 0.2f);
    EXPECT_FLOAT_EQ(rig.b[2], 0.5f * 0.4f + 0.5f);
    // A near limit refuses pieces nearer than it, in `accepts` and in `accumulate`.
    b.near_limit = 50.0f;
    EXPECT_FALSE(b.accepts(0, 1, 49.0));
    put(b, 0, 1, 1.0, 49.0, 0.5);
    EXPECT_EQ(b.work_weight[0][1], 0.0f);
    // With the flag, the limit is 0.95 x the plane's value at the pixel.
    float plane_row[3] = {0.0f, 100.0f, 0.0f};
    float* plane[1] = {plane_row};
    b.near_limit_plane = plane;
    b.near_limit_on = 1;
    EXPECT_TRUE(!b.accepts(0, 1, 94.0) && b.accepts(0, 1, 96.0));
}
