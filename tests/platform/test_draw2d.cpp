// 2-D drawing layer: Bresenham lines checked by their defining properties and against a larger canvas
// (clipping must not move a pixel), the translucent blend against rounded arithmetic.
#include "platform/Draw2D.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

struct Canvas {
    Canvas(int w, int h, int padding = 0)
        : width(w), height(h), row_bytes(4 * w + padding), bytes(std::size_t(row_bytes) * h, 0) {}
    std::uint8_t* at(int column, int row) { return bytes.data() + std::size_t(row) * row_bytes + 4 * column; }
    // Pixels whose red byte is set, as (column, memory row).
    std::set<std::pair<long, long>> painted()
    {
        std::set<std::pair<long, long>> s;
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c)
                if (at(c, r)[2] != 0)
                    s.insert({c, r});
        return s;
    }
    // A drawing view over the whole canvas, top row first, with a white pen.
    HyOffscreen view()
    {
        HyOffscreen v(bytes.data(), row_bytes, width, height);
        v.set_pen(HyPenColour{255, 255, 255});
        return v;
    }
    int width, height, row_bytes;
    std::vector<std::uint8_t> bytes;
};

const HyPenColour kWhite{255, 255, 255};

// The properties that define the line: one pixel per step of the major axis, both ends included,
// 8-connected, and each pixel's minor coordinate the nearest to the exact line (ties away from the start).
void expect_bresenham(const std::set<std::pair<long, long>>& px, long c0, long r0, long c1, long r1)
{
    const long dc = c1 - c0, dr = r1 - r0;
    const long steps = std::max(std::labs(dc), std::labs(dr));
    ASSERT_EQ(long(px.size()), steps + 1) << c0 << "," << r0 << " -> " << c1 << "," << r1;
    EXPECT_TRUE(px.count({c0, r0}));
    EXPECT_TRUE(px.count({c1, r1}));
    const bool column_major = std::labs(dc) >= std::labs(dr);
    for (const auto& [c, r] : px) {
        const long major = column_major ? c - c0 : r - r0;
        const long minor = column_major ? r - r0 : c - c0;
        const double exact =
            steps == 0 ? 0.0 : double(major) * (column_major ? dr : dc) / (column_major ? dc : dr);
        const double off = minor - exact;
        const double toward_end = (column_major ? dr : dc) >= 0 ? off : -off;
        EXPECT_TRUE(std::fabs(off) < 0.5 || (std::fabs(off) == 0.5 && toward_end > 0))
            << "pixel " << c << "," << r << " is " << off << " off the line";
    }
}

} // namespace

// Pixels are blue, green, red, alpha with row 0 at the top; rectangles and outlines stay inside the picture
// and never touch the row padding.
TEST(Draw2D, PixelsRectanglesOutlinesAndPadding)
{
    Canvas top(3, 2), bottom(3, 2);
    HyOffscreen a = top.view();
    HyOffscreen b(bottom.at(0, 1), -bottom.row_bytes, 3, 2); // bottom-up: the top row is last in memory
    for (HyOffscreen* v : {&a, &b}) {
        v->set_pen(HyPenColour{10, 20, 30});
        v->put_pixel(2, 0);
    }
    const std::vector<std::uint8_t> bgra{30, 20, 10, 255};
    EXPECT_EQ(std::vector<std::uint8_t>(top.at(2, 0), top.at(2, 0) + 4), bgra);
    EXPECT_EQ(std::vector<std::uint8_t>(bottom.at(2, 1), bottom.at(2, 1) + 4), bgra);
    EXPECT_EQ(bottom.at(2, 0)[3], 0);
    EXPECT_EQ(a.pixel(3, 0), nullptr);
    EXPECT_EQ(a.pixel(0, -1), nullptr);

    Canvas cv(10, 6, 12);
    std::fill(cv.bytes.begin(), cv.bytes.end(), 0xEE);
    HyOffscreen v = cv.view();
    v.clear(HyPenColour{0, 0, 0}, 0); // the pen stays white
    v.fill_rect(7, 4, 2, 1);          // corners in either order, inclusive
    EXPECT_EQ(cv.painted().size(), 6u * 4u);
    EXPECT_TRUE(cv.painted().count({2, 1}) && cv.painted().count({7, 4}));
    v.fill_rect(-100, -100, 100, 100);
    EXPECT_EQ(cv.painted().size(), 60u);
    v.fill_alpha(7);
    for (int r = 0; r < 6; ++r) {
        EXPECT_EQ(cv.at(9, r)[3], 7);
        for (int k = 40; k < cv.row_bytes; ++k)
            EXPECT_EQ(cv.bytes[std::size_t(r) * cv.row_bytes + k], 0xEE);
    }

    Canvas box(12, 12), open(12, 12);
    const HyPoint2D square[4] = {{2, 2}, {2, 9}, {9, 9}, {9, 2}};
    box.view().polyline(square, 4, true);
    EXPECT_EQ(box.painted().size(), 4u * 7u); // the perimeter of an 8 x 8 square
    open.view().polyline(square, 4, false);
    EXPECT_EQ(open.painted().size(), 4u * 7u - 6u); // the closing side is missing, its ends remain
}

// Lines are Bresenham in every octant; the same line on a canvas big enough to hold it and on a small one:
// the small one is a window of it.
TEST(Draw2D, LinesAreBresenhamInEveryOctantAndClippingKeepsTheirPixels)
{
    Canvas hand(8, 8); // slope 1/2: the tie at column 1 goes away from the start
    hand.view().line(0, 0, 4, 2);
    EXPECT_EQ(hand.painted(), (std::set<std::pair<long, long>>{{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}));
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> cd(0, 63), rd(0, 47);
    for (int k = 0; k < 300; ++k) {
        Canvas cv(64, 48);
        const long c0 = cd(rng), r0 = rd(rng);
        long c1 = cd(rng), r1 = rd(rng);
        if (k % 10 == 0)
            c1 = c0; // vertical
        if (k % 10 == 1)
            r1 = r0; // horizontal
        if (k % 10 == 2)
            c1 = std::clamp<long>(c0 + (r1 - r0), 0, 63); // diagonal or near it
        if (k % 10 == 3)
            c1 = c0, r1 = r0; // a dot
        cv.view().line(c0, r0, c1, r1);
        expect_bresenham(cv.painted(), c0, r0, c1, r1);
    }

    constexpr int kOff = 100;
    std::uniform_int_distribution<int> d(-90, 150);
    for (int k = 0; k < 200; ++k) {
        const long c0 = d(rng), r0 = d(rng), c1 = d(rng), r1 = d(rng);
        Canvas big(64 + 2 * kOff, 48 + 2 * kOff), small(64, 48);
        big.view().line(c0 + kOff, r0 + kOff, c1 + kOff, r1 + kOff);
        small.view().line(c0, r0, c1, r1);
        for (int r = 0; r < 48; ++r)
            for (int c = 0; c < 64; ++c)
                ASSERT_EQ(small.at(c, r)[2], big.at(c + kOff, r + kOff)[2])
                    << c0 << "," << r0 << " -> " << c1 << "," << r1 << " at " << c << "," << r;
    }
    // Far-off ends: one pixel per visible column, on the exact line, without walking the whole line.
    Canvas cv(64, 48);
    const long long far = 1000000000000LL;
    cv.view().line(-far, 10, far, 30);
    const auto px = cv.painted();
    ASSERT_EQ(px.size(), 64u);
    for (const auto& [c, r] : px)
        EXPECT_EQ(r, 20) << c; // the line rises 20 rows over 2e12 columns
    Canvas steep(64, 48);
    HyOffscreen vs = steep.view();
    vs.line(-far, -far, far, far);
    EXPECT_EQ(steep.painted().size(), 48u); // the diagonal through (0,0)
    vs.line(INT64_MIN / 4, 5, INT64_MAX / 4, 5);
    EXPECT_EQ(steep.painted().size(), 48u + 64u - 1u);
}

TEST(Draw2D, BlendIsRoundedSourceOverAndUnusableBuffersDrawNothing)
{
    Canvas cv(1, 1);
    HyOffscreen v = cv.view();
    std::uint8_t* p = cv.at(0, 0);
    for (int alpha : {0, 1, 70, 128, 254, 255})
        for (int dst = 0; dst < 256; dst += 5)
            for (std::uint8_t src : {0, 99, 255}) {
                std::fill(p, p + 4, std::uint8_t(dst));
                v.blend_pixel(0, 0, HyPenColour{src, src, src}, std::uint8_t(alpha));
                const long expect = std::lround((src * alpha + dst * (255.0 - alpha)) / 255.0);
                EXPECT_EQ(p[2], expect) << int(src) << " over " << dst << " at " << alpha;
                EXPECT_EQ(p[0], expect);
                EXPECT_EQ(p[3], alpha + std::lround(dst * (255.0 - alpha) / 255.0));
            }

    std::vector<std::uint8_t> bytes(64, 0x55);
    HyOffscreen none(nullptr, 16, 4, 4);
    HyOffscreen narrow(bytes.data(), 15, 4, 4); // row bytes cannot hold 4 pixels
    HyOffscreen empty(bytes.data(), 16, 0, 4);
    HyOffscreen negative(bytes.data(), 16, 4, -1);
    HyOffscreen narrow_up(bytes.data() + 48, -15, 4, 4); // bottom-up, same fault
    for (HyOffscreen* bad : {&none, &narrow, &empty, &negative, &narrow_up}) {
        EXPECT_FALSE(bad->valid());
        bad->set_pen(kWhite);
        bad->put_pixel(0, 0);
        bad->line(0, 0, 3, 3);
        bad->fill_rect(0, 0, 3, 3);
        bad->blend_pixel(0, 0, kWhite, 100);
        bad->fill_alpha(0);
        bad->clear(kWhite, 0);
        EXPECT_EQ(bad->pixel(0, 0), nullptr);
    }
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0x55), 64);
    Canvas one(1, 1);
    HyOffscreen o = one.view();
    o.line(-5, -5, 5, 5);
    o.polyline(nullptr, 3, true);
    EXPECT_EQ(one.painted().size(), 1u);
}
