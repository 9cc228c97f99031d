// The seavast command-line host run as a user runs it: files it writes (checked by their own headers
// and by reading them back), exact times, frame patterns, presets, exports, and the one-line errors.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "DriverFixture.h"
#include "host/CEffectVaskel1.h"
#include "ocean/HyGridMulti.h"
#include "ocean/HyOceanSurface.h"

namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::path(SEAVAST_BINARY_DIR) / ("cli_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    CliRun seavast(const std::string& args)
    {
        const fs::path err = dir_ / "stderr.txt";
        const std::string cmd = "cd '" + dir_.string() + "' && env -u SEAVAST_PLUGIN '" + std::string(SEAVAST_BIN_DIR) +
                                "/seavast' " + args + " 2>'" + err.string() + "'";
        CliRun r;
        FILE* pipe = popen(cmd.c_str(), "r");
        if (!pipe)
            return r;
        std::array<char, 4096> buf;
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0)
            r.out.append(buf.data(), n);
        const int raw = pclose(pipe);
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.err = slurp(err);
        fs::remove(err);
        return r;
    }
    // Files of the test folder, sorted.
    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir_;
};

// Width and height from a PNG's header chunk.
bool png_size(const std::string& bytes, int* w, int* h)
{
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return false;
    auto be32 = [&](std::size_t o) {
        return int((unsigned char)bytes[o]) << 24 | int((unsigned char)bytes[o + 1]) << 16 |
               int((unsigned char)bytes[o + 2]) << 8 | int((unsigned char)bytes[o + 3]);
    };
    *w = be32(16);
    *h = be32(20);
    return true;
}

int lines(const std::string& s) { return int(std::count(s.begin(), s.end(), '\n')); }

TEST_F(Cli, RendersFramesWithExactTimes)
{
    CliRun r = seavast("render -o one.png --size 80x40 --time 7.25 --mode \"Grayscale [Icons]\" -q");
    ASSERT_EQ(r.status, 0) << r.err;
    int w = 0, h = 0;
    ASSERT_TRUE(png_size(slurp(dir_ / "one.png"), &w, &h));
    EXPECT_EQ(w, 80);
    EXPECT_EQ(h, 40);

    // Frame 29 at 4 frames per second is 7.25 s as well: the same picture, byte for byte.
    r = seavast("render -o seq.###.png --size 80x40 --frames 28-30 --fps 4 --mode 1 -q");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ((std::vector<std::string>{"one.png", "seq.028.png", "seq.029.png", "seq.030.png"}), files());
    EXPECT_EQ(slurp(dir_ / "seq.029.png"), slurp(dir_ / "one.png"));
    EXPECT_NE(slurp(dir_ / "seq.028.png"), slurp(dir_ / "one.png"));

    // Key frames hold before the first: at 7.25 s the wind is the default 5 again.
    r = seavast("render -o kf.png --size 80x40 --time 7.25 --mode 1 -q --set \"PW_WSPEED=5@7.25,12@9\"");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(dir_ / "kf.png"), slurp(dir_ / "one.png"));
    r = seavast("render -o kf2.png --size 80x40 --time 7.25 --mode 1 -q --set \"Primary Waves/Wind Speed (M/S)=12\"");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(slurp(dir_ / "kf2.png"), slurp(dir_ / "one.png"));

    // TIFF and EXR by extension.
    for (const char* name : {"one.tif", "one.exr"}) {
        r = seavast(std::string("render -o ") + name + " --size 80x40 --mode 2 -q");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_GT(fs::file_size(dir_ / name), 1000u);
    }
    EXPECT_EQ(slurp(dir_ / "one.tif").substr(0, 2), "II");
    EXPECT_EQ(slurp(dir_ / "one.exr").substr(0, 4), "\x76\x2f\x31\x01");
}

TEST_F(Cli, PresetsSavedShownAndLoaded)
{
    CliRun r = seavast("preset save calm.wvp --set PW_WSPEED=2.5 --set \"Camera/Pan=45\" --set \"Haze Color=10,20,30\"");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = slurp(dir_ / "calm.wvp");
    EXPECT_EQ(text.rfind("SeaVast_Ver=1.000000;", 0), 0u);
    EXPECT_NE(text.find("PW_WSPEED=2.500000;"), std::string::npos);
    EXPECT_NE(text.find("AO_HCLR_G=0.078431;"), std::string::npos); // 20 / 255

    r = seavast("preset show calm.wvp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Primary Waves\n"), std::string::npos);
    EXPECT_NE(r.out.find("PW_WSPEED"), std::string::npos);
    EXPECT_NE(r.out.find("2.500000"), std::string::npos);

    // Loading the preset's primary waves is the same as setting them.
    r = seavast("render -o a.png --size 48x32 --mode 2 -q --preset calm.wvp --groups \"Primary Waves\"");
    ASSERT_EQ(r.status, 0) << r.err;
    r = seavast("render -o b.png --size 48x32 --mode 2 -q --set PW_WSPEED=2.5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(dir_ / "a.png"), slurp(dir_ / "b.png"));

    // A file without the version key loads nothing, and says so.
    std::ofstream(dir_ / "old.wvp") << "PW_WSPEED=9.000000;";
    r = seavast("render -o c.png --size 48x32 --mode 2 -q --preset old.wvp");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("SeaVast_Ver"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "c.png"));
}

TEST_F(Cli, ErrorsAreOneLineAndLeaveNoFile)
{
    const char* bad[] = {
        "render -o x.png --mode 1 --set Nope=3",
        "render -o x.png --mode 1 --set PW_WSPEED=fast",
        "render -o x.png --mode 1 --set \"Gamma Scale=9\"",
        "render -o x.png --mode 1 --set \"Water Color Scale=2\"", // in three groups
        "render -o x.png --mode 1 --set \"Render Mode:=Sepia\"",
        "render -o x.png --mode 1 --set \"Ocean Complexity=1@0,2@1\"", // cannot vary over time
        "render -o x.png --mode 1 --time 1.2345678",
        "render -o x.png --mode Sepia",
        "render -o x.png --mode 1 --size 0x10",
        "render -o x.png --mode 1 --map1 missing.png",
        "render -o x.png --mode 1 --frames 0-3",
        "render -o x.jpg --mode 1",
        "render -o no/such/folder/x.png --mode 1",
        "render -o x.png --mode 1 --preset missing.wvp",
        "render -o x.png --mode 1 --preset missing.wvp --groups Weather",
        "export -o x.txt",
        "preset show missing.wvp",
    };
    for (const char* args : bad) {
        const CliRun r = seavast(args);
        EXPECT_EQ(r.status, 1) << args << "\n" << r.err;
        EXPECT_EQ(lines(r.err), 1) << args << "\n" << r.err;
        EXPECT_EQ(r.err.rfind("seavast: ", 0), 0u) << args << "\n" << r.err;
        EXPECT_TRUE(files().empty()) << args << ": left " << files().front();
    }
    // Every "Render Mode:" choice renders by its name.
    for (const char* mode : {"Wireframe", "Texture [No Geometry]", "Light Tracking", "Realistic",
                             "Too Realistic [RTM]", "Depth Map"}) {
        const CliRun r = seavast(std::string("render -o m.png --size 32x18 --mode \"") + mode + "\"");
        EXPECT_EQ(r.status, 0) << mode << "\n" << r.err;
    }
}

TEST_F(Cli, ImageMapLayersAndSequences)
{
    // A map layer written by the tool itself, then used as a displacement and as a sequence.
    CliRun r = seavast("render -o map.0001.png --size 40x40 --mode 2 -q --time 1");
    ASSERT_EQ(r.status, 0) << r.err;
    r = seavast("render -o map.0002.png --size 40x40 --mode 2 -q --time 2");
    ASSERT_EQ(r.status, 0) << r.err;
    r = seavast("render -o plain.png --size 64x48 --mode 2 -q --time 1");
    ASSERT_EQ(r.status, 0) << r.err;
    r = seavast("render -o mapped.png --size 64x48 --mode 2 -q --time 1 --map1 map.0001.png --set IM1CENTERX=0 "
                "--set \"Image Map 1/Displace on:=Luminance\" --set \"IM1INTENSITY=3\"");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(slurp(dir_ / "mapped.png"), slurp(dir_ / "plain.png"));
    r = seavast("render -o anim.#.png --size 64x48 --mode 1 -q --frames 1-2 --fps 1 --map2 map.####.png "
                "--set \"Image Map 2/Map is:=Texture On Surface\"");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir_ / "anim.1.png"));
    EXPECT_TRUE(fs::exists(dir_ / "anim.2.png"));
}

// The exported grid holds the heights of a surface built from the same parameters in this process.
TEST_F(Cli, ExportedGridsReadBackWithTheSameHeights)
{
    for (const char* t : {"0", "2.5"}) {
        const std::string name = std::string("sea_") + t + ".hyg";
        const CliRun r = seavast("export -o " + name + " --time " + t);
        ASSERT_EQ(r.status, 0) << r.err;
        HyGridMulti read(4, 4, 1.0, 1.0, 4, 4, 1.0, 1.0);
        ASSERT_EQ(read.read_hyg((dir_ / name).c_str()), 1);

        // The default values as a host holds them (16.16), read by an effect object of this process.
        hostkit::Host host(hostkit::Module::from_entry(PluginEntry, "linked plug-in"));
        ASSERT_EQ(host.setup(), PF_Err_NONE);
        driver_test::ParamArray values(host);
        CAEHost adapter(0, 0);
        values.bind(adapter);
        CEffectVaskel1 fx;
        fx.SetHost(&adapter);
        fx.RegisterParams();
        ASSERT_EQ(fx.UpdateSettingsFromHost(), kEffectOk);
        ASSERT_EQ(fx.UpdateSurface(std::stod(t)), kEffectOk);
        host.global_setdown();
        int checked = 0;
        double worst = 0.0, spread = 0.0;
        for (double x = -90.0; x <= 90.0; x += 7.3)
            for (double y = -60.0; y <= 60.0; y += 5.9) {
                const double a = read.get_height(x, y), b = fx.Surface()->get_height(x, y);
                worst = std::max(worst, std::fabs(a - b));
                spread = std::max(spread, std::fabs(b));
                ++checked;
            }
        EXPECT_GT(checked, 400);
        // The file keeps node heights exactly; spacings and placements travel as single floats, which
        // moves interpolated heights by a few micrometres.
        EXPECT_LT(worst, 2e-5) << t;
        HyGridMulti* grid = nullptr;
        fx.Surface()->get_grid(grid);
        ASSERT_EQ(read.nx, grid->nx);
        ASSERT_EQ(read.ny, grid->ny);
        EXPECT_EQ(std::memcmp(read.heights, grid->heights, sizeof(float) * std::size_t(grid->nx) * std::size_t(grid->ny)), 0);
        EXPECT_GT(spread, 0.1) << t; // a sea, not a flat grid
    }
    EXPECT_NE(slurp(dir_ / "sea_0.hyg"), slurp(dir_ / "sea_2.5.hyg"));

    const CliRun r = seavast("export -o sea.sgi --time 1 --extent 64 --samples 128");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string sgi = slurp(dir_ / "sea.sgi");
    ASSERT_GE(sgi.size(), 512u + 3u * 128u * 128u);
    EXPECT_EQ((unsigned char)sgi[0], 0x01); // SGI magic 474
    EXPECT_EQ((unsigned char)sgi[1], 0xDA);
}

} // namespace

// PNG files at any compression level, TIFF files and renders with any thread count hold the same
// pixels (read back by ImageMagick); a map read as a 16-bit gray-alpha PNG acts as the same map
// read as an 8-bit TIFF.
TEST_F(Cli, OutputLevelsFormatsAndThreadsKeepThePixels)
{
    const std::string frame = " --size 96x64 --mode 2 -q --time 1.5";
    const char* runs[][2] = {{"one.png", ""},       {"z0.png", " --compression 0"}, {"z9.png", " --compression 9"},
                             {"one.tif", ""},       {"t1.png", " --threads 1"},     {"t3.png", " --threads 3"}};
    std::string first;
    for (const auto& run : runs) {
        const CliRun r = seavast(std::string("render -o ") + run[0] + frame + run[1]);
        ASSERT_EQ(r.status, 0) << run[0] << r.err;
        const std::string raw = std::string(run[0]) + ".rgba";
        ASSERT_EQ(std::system(("cd '" + dir_.string() + "' && convert " + run[0] + " -depth 8 rgba:" + raw).c_str()), 0);
        const std::string pixels = slurp(dir_ / raw);
        EXPECT_EQ(pixels.size(), 96u * 64u * 4u);
        if (first.empty())
            first = pixels;
        EXPECT_EQ(pixels, first) << run[0];
    }
    EXPECT_GT(fs::file_size(dir_ / "z0.png"), fs::file_size(dir_ / "z9.png"));
    ASSERT_EQ(seavast("render -o m1.png --size 96x64 --mode 1 -q --threads 1").status, 0);
    ASSERT_EQ(seavast("render -o m7.png --size 96x64 --mode 1 -q --threads 7").status, 0);
    EXPECT_EQ(slurp(dir_ / "m1.png"), slurp(dir_ / "m7.png"));
    EXPECT_EQ(seavast("render -o x.png --compression 10" + frame).status, 2);

    ASSERT_EQ(std::system(("cd '" + dir_.string() + "' && convert one.png -colorspace Gray -depth 8 gray.tif && " +
                           "convert gray.tif -define png:bit-depth=16 -define png:color-type=4 gray16.png")
                              .c_str()),
              0);
    const std::string map = " --size 64x48 --mode 2 -q --time 1 --set IM1CENTERX=0 "
                            "--set \"Image Map 1/Displace on:=Luminance\" --set IM1INTENSITY=3 --map1 ";
    ASSERT_EQ(seavast("render -o from_tif.png" + map + "gray.tif").status, 0);
    ASSERT_EQ(seavast("render -o from_png.png" + map + "gray16.png").status, 0);
    ASSERT_EQ(seavast("render -o plain.png --size 64x48 --mode 2 -q --time 1").status, 0);
    EXPECT_EQ(slurp(dir_ / "from_png.png"), slurp(dir_ / "from_tif.png"));
    EXPECT_NE(slurp(dir_ / "from_png.png"), slurp(dir_ / "plain.png"));
}
