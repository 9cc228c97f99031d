#include "ui/CTokener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <tuple>

namespace {

TEST(Tokener, KeysWindowsConversionsWritesAndHostileText)
{
    // Not after a letter or "_"; at the text start or after blanks; "=" is the key's; missing keeps -1.
    const std::tuple<const char*, const char*, std::int32_t> cases[] = {
        {"XID=5; bmp_id=7;id=8; [ class=CViewButton; left=238; ]", "id", 8}, {"id=3;", "id", 3},
        {"a=1;\nb=2;\tc=3;", "b", 2}, {"a=1;\nb=2;\tc=3;", "c", 3}, {"leftover=1; left=2;", "left", 2},
        {"a=1;\nb=2;\tc=3;", "d", -1}};
    for (const auto& [text, key, value] : cases) {
        std::int32_t v = -1;
        CTokener t(text);
        EXPECT_EQ(t.GetInt(key, v), value != -1) << text;
        EXPECT_EQ(t.LastFound(), value != -1) << text;
        EXPECT_EQ(v, value) << text;
    }

    // The last entry of a block written without ";" runs to the window end, never past it.
    const std::string text = "id=1; [ left=10; disabled=12 ] id=2; [ left=20; ]";
    CTokener t(text);
    const std::size_t open = text.find('['), close = text.find(']');
    std::int32_t v = 0;
    std::string str;
    for (std::size_t end : {close + 1, close, close - 2}) {
        t.SetWindow(static_cast<std::ptrdiff_t>(open), static_cast<std::ptrdiff_t>(end));
        ASSERT_TRUE(t.GetString("disabled", str));
        EXPECT_EQ(str, text.substr(text.find("12"), end - text.find("12"))) << end;
        ASSERT_TRUE(t.GetInt("disabled", v));
        EXPECT_EQ(v, end == close - 2 ? 1 : 12) << end;
        EXPECT_EQ(t.ValueEnd(t.FindValue("disabled")), end);
        ASSERT_TRUE(t.GetInt("left", v));
        EXPECT_EQ(v, 10);
        EXPECT_FALSE(t.GetInt("id", v)); // both ids lie outside
    }

    // The second block is outside the window.
    t.SetWindow(static_cast<std::ptrdiff_t>(close));
    ASSERT_TRUE(t.GetInt("left", v));
    EXPECT_EQ(v, 20);
    ASSERT_TRUE(t.GetInt("id", v));
    EXPECT_EQ(v, 2);

    // A window beyond the text is empty, not an error.
    t.SetWindow(100000, 200000);
    EXPECT_FALSE(t.GetInt("id", v));

    // Conversions follow atoi and atof, writes have six decimals, and hostile text never misbehaves.
    for (const char* s : {"12", "-7", "  +42xyz", "3.75", "-0.5", "1e3", "abc", "", "007", "12.000000",
                          " -3.25"}) {
        EXPECT_EQ(CTokener::ToInt(s), std::atoi(s)) << s;
        EXPECT_DOUBLE_EQ(CTokener::ToReal(s), std::atof(s)) << s;
    }
    // Where atoi and atof are undefined or unbounded we clamp or give 0, and say the value was not clean.
    const std::tuple<const char*, double, bool> unclean[] = {
        {"9999999999", 2147483647.0, false}, {"-9999999999", -2147483648.0, false},
        {"1e999", std::numeric_limits<double>::max(), true}, {"nan", 0.0, true}, {"inf", 0.0, true}};
    for (const auto& [text, value, real] : unclean) {
        bool clean = true;
        EXPECT_EQ(real ? CTokener::ToReal(text, &clean) : CTokener::ToInt(text, &clean), value) << text;
        EXPECT_FALSE(clean) << text;
    }
    bool clean = false;
    EXPECT_TRUE(CTokener::ToInt("26.000000", &clean) == 26 && clean);

    CTokener w;
    w.PutString("SeaVast_Ver", "1.400000");
    w.PutInt("OO_UR_R", 26);
    w.PutReal("PW_WINDSPEED", 7.25);
    w.PutReal("NEG", -0.0000001);
    w.PutString("S", "already;");
    EXPECT_EQ(w.GetText(),
              "SeaVast_Ver=1.400000;OO_UR_R=26.000000;PW_WINDSPEED=7.250000;NEG=0.000000;S=already;");

    std::int32_t i = 0;
    ASSERT_TRUE(w.GetInt("OO_UR_R", i));
    EXPECT_EQ(i, 26);
    EXPECT_FALSE(w.LastSuspect());

    // Round trip of random values at six decimals.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> dist(-24000.0, 24000.0);
    CTokener r;
    std::vector<double> values(200);
    for (std::size_t k = 0; k < values.size(); ++k)
        r.PutReal(std::to_string(k) + "K", values[k] = dist(rng));
    for (std::size_t k = 0; k < values.size(); ++k) {
        double d = 0;
        ASSERT_TRUE(r.GetReal(std::to_string(k) + "K", d));
        EXPECT_NEAR(d, values[k], 5e-7);
    }

    double d = 0;
    std::string s;
    // Truncated mid-value, repeated keys (the first wins), absurdly long value, binary bytes.
    CTokener hostile("A=1;A=2;B=" + std::string(100000, '7'));
    ASSERT_TRUE(hostile.GetInt("A", i));
    EXPECT_EQ(i, 1);
    ASSERT_TRUE(hostile.GetReal("B", d));
    EXPECT_TRUE(hostile.LastSuspect());
    EXPECT_TRUE(std::isfinite(d));

    rng.seed(11);
    for (int round = 0; round < 200; ++round) {
        std::string junk(static_cast<std::size_t>(rng() % 300), '\0');
        std::generate(junk.begin(), junk.end(), [&] { return static_cast<char>(rng() % 256); });
        if (round % 3 == 0)
            junk.append("X=");
        CTokener j(junk);
        j.SetWindow(static_cast<std::ptrdiff_t>(rng() % 400) - 50, static_cast<std::ptrdiff_t>(rng() % 400) - 50);
        j.GetInt("X", i);
        j.GetReal("X", d);
        j.GetString("X", s);
        EXPECT_TRUE(std::isfinite(d));
    }
    CTokener empty;
    EXPECT_FALSE(empty.GetInt("", i));
    EXPECT_FALSE(empty.GetString("X", s));
}

} // namespace
