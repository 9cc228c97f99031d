// The seavast command-line host run as a user runs it: the files it writes (checked by their headers and
// read back), exact times, frame patterns, presets, exports, and the one-line errors.
#include <algorithm>
#include <filesystem>

#include "DriverFixture.h"
#include "ocean/HyGridMulti.h"
#include "tests/apps/CliSupport.h"

namespace {

namespace fs = std::filesystem;
using clitest::CliRun;

// The linked plug-in in a host kit is there to compare the command's output with.
class Cli : public driver_test::Driver {
protected:
    void SetUp() override
    {
        Driver::SetUp();
        dir_ = fs::path(SEAVAST_BINARY_DIR) /
               ("cli_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    CliRun seavast(const std::string& args) { return clitest::seavast(args, dir_); }
    std::string file(const std::string& name) const { return clitest::slurp(dir_ / name); }
    void render(const std::string& args)
    {
        const CliRun r = seavast("render " + args);
        ASSERT_EQ(r.status, 0) << args << "\n" << r.err;
    }
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

TEST_F(Cli, RendersFramesWithExactTimesAndSavesShowsAndLoadsPresets)
{
    render("-o one.png --size 80x40 --time 7.25 --mode \"Grayscale [Icons]\" -q");
    const std::string png = file("one.png");
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x50\0\0\0\x28", 8)); // 80 x 40, big-endian

    // Frame 29 at 4 frames per second is 7.25 s as well: the same picture, byte for byte.
    render("-o seq.###.png --size 80x40 --frames 28-30 --fps 4 --mode 1 -q");
    EXPECT_EQ((std::vector<std::string>{"one.png", "seq.028.png", "seq.029.png", "seq.030.png"}), files());
    EXPECT_EQ(file("seq.029.png"), png);
    EXPECT_NE(file("seq.028.png"), png);

    // Key frames hold before the first: at 7.25 s the wind is the default 5 again.
    render("-o kf.png --size 80x40 --time 7.25 --mode 1 -q --set \"PW_WSPEED=5@7.25,12@9\"");
    EXPECT_EQ(file("kf.png"), png);
    render("-o kf2.png --size 80x40 --time 7.25 --mode 1 -q --set \"Primary Waves/Wind Speed (M/S)=12\"");
    EXPECT_NE(file("kf2.png"), png);

    // A preset saved, shown and loaded.
    CliRun r = seavast(
        "preset save calm.wvp --set PW_WSPEED=2.5 --set \"Camera/Pan=45\" --set \"Haze Color=10,20,30\"");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = file("calm.wvp");
    EXPECT_EQ(text.rfind("SeaVast_Ver=1.000000;", 0), 0u);
    EXPECT_NE(text.find("PW_WSPEED=2.500000;"), std::string::npos);
    EXPECT_NE(text.find("AO_HCLR_G=0.078431;"), std::string::npos); // 20 / 255

    r = seavast("preset show calm.wvp");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* shown : {"Primary Waves\n", "PW_WSPEED", "2.500000"})
        EXPECT_NE(r.out.find(shown), std::string::npos) << shown;

    // Loading the preset's primary waves is the same as setting them.
    render("-o a.png --size 48x32 --mode 2 -q --preset calm.wvp --groups \"Primary Waves\"");
    render("-o b.png --size 48x32 --mode 2 -q --set PW_WSPEED=2.5");
    EXPECT_EQ(file("a.png"), file("b.png"));

    // A file without the version key loads nothing, and says so.
    std::ofstream(dir_ / "old.wvp") << "PW_WSPEED=9.000000;";
    r = seavast("render -o c.png --size 48x32 --mode 2 -q --preset old.wvp");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("SeaVast_Ver"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "c.png"));
}

TEST_F(Cli, ErrorsAreOneLineAndLeaveNoFile)
{
    // "Water Color Scale" is in three groups; "Ocean Complexity" cannot vary over time.
    std::vector<std::string> bad = {"render -o x.png --mode Sepia", "render -o x.jpg --mode 1",
                                    "render -o no/such/folder/x.png --mode 1", "export -o x.txt",
                                    "preset show missing.wvp"};
    for (const char* rest : {"--set Nope=3", "--set PW_WSPEED=fast", "--set \"Gamma Scale=9\"",
                             "--set \"Water Color Scale=2\"", "--set \"Render Mode:=Sepia\"",
                             "--set \"Ocean Complexity=1@0,2@1\"", "--time 1.2345678", "--size 0x10",
                             "--map1 missing.png", "--frames 0-3", "--preset missing.wvp",
                             "--preset missing.wvp --groups Weather"})
        bad.push_back(std::string("render -o x.png --mode 1 ") + rest);
    for (const std::string& args : bad) {
        const CliRun r = seavast(args);
        EXPECT_EQ(r.status, 1) << args << "\n" << r.err;
        EXPECT_EQ(clitest::lines(r.err).size(), 1u) << args << "\n" << r.err;
        EXPECT_EQ(r.err.rfind("seavast: ", 0), 0u) << args << "\n" << r.err;
        EXPECT_TRUE(files().empty()) << args << ": left " << files().front();
    }
    EXPECT_EQ(seavast("render -o x.png --compression 10 --mode 1").status, 2);
}

// The exported grid holds the heights of a surface built from the same parameters in this process.
TEST_F(Cli, ExportedGridsReadBackWithTheSameHeights)
{
    set(ParamGroup::RenderOptions, "Render Mode:", 2);
    for (const char* t : {"0", "2.5"}) {
        const std::string name = std::string("sea_") + t + ".hyg";
        const CliRun r = seavast("export -o " + name + " --time " + t);
        ASSERT_EQ(r.status, 0) << r.err;
        HyGridMulti read(4, 4, 1.0, 1.0, 4, 4, 1.0, 1.0);
        ASSERT_EQ(read.read_hyg((dir_ / name).c_str()), 1);

        // The default values as a host holds them (16.16), rendered by the linked plug-in.
        ASSERT_EQ(render_at(std::stod(t)), PF_Err_NONE);
        HyOceanSurface* sea = effect().Surface();
        double worst = 0.0, spread = 0.0;
        for (double x = -90.0; x <= 90.0; x += 7.3)
            for (double y = -60.0; y <= 60.0; y += 5.9) {
                const double b = sea->get_height(x, y);
                worst = std::max(worst, std::fabs(read.get_height(x, y) - b));
                spread = std::max(spread, std::fabs(b));
            }
        // The file keeps node heights exactly; spacings and placements travel as single floats, which
        // moves interpolated heights by a few micrometres.
        EXPECT_LT(worst, 2e-5) << t;
        EXPECT_GT(spread, 0.1) << t; // a sea, not a flat grid
        HyGridMulti* grid = nullptr;
        sea->get_grid(grid);
        ASSERT_EQ(read.nx, grid->nx);
        ASSERT_EQ(read.ny, grid->ny);
        EXPECT_EQ(std::memcmp(read.heights, grid->heights, sizeof(float) * std::size_t(grid->nx * grid->ny)),
                  0);
    }
    EXPECT_NE(file("sea_0.hyg"), file("sea_2.5.hyg"));

    ASSERT_EQ(seavast("export -o sea.sgi --time 1 --extent 64 --samples 128").status, 0);
    const std::string sgi = file("sea.sgi");
    ASSERT_GE(sgi.size(), 512u + 3u * 128u * 128u);
    EXPECT_EQ(sgi.substr(0, 2), "\x01\xDA"); // SGI magic 474
}

// PNG at any compression, TIFF, EXR and --threads hold the same pixels (read back by ImageMagick); a
// 16-bit gray-alpha PNG map acts as the same map in an 8-bit TIFF; a map sequence follows the frames.
TEST_F(Cli, OutputLevelsFormatsThreadsAndMapsKeepThePixels)
{
    const std::string frame = " --size 96x64 --mode 2 -q --time 1.5";
    const char* runs[][2] = {{"one.png", ""}, {"z0.png", " --compression 0"}, {"z9.png", " --compression 9"},
                             {"one.tif", ""}, {"t3.png", " --threads 3"}};
    std::string first;
    for (const auto& run : runs) {
        render(std::string("-o ") + run[0] + frame + run[1]);
        const std::string raw = std::string(run[0]) + ".rgba";
        ASSERT_EQ(clitest::shell("cd '" + dir_.string() + "' && convert " + run[0] + " -depth 8 rgba:" + raw),
                  0);
        const std::string pixels = file(raw);
        EXPECT_EQ(pixels.size(), 96u * 64u * 4u);
        if (first.empty())
            first = pixels;
        EXPECT_EQ(pixels, first) << run[0];
    }
    EXPECT_GT(fs::file_size(dir_ / "z0.png"), fs::file_size(dir_ / "z9.png"));
    EXPECT_EQ(file("one.tif").substr(0, 2), "II");
    render("-o one.exr" + frame);
    EXPECT_EQ(file("one.exr").substr(0, 4), "\x76\x2f\x31\x01");

    ASSERT_EQ(clitest::shell("cd '" + dir_.string() +
                             "' && convert one.png -colorspace Gray -depth 8 gray.tif && " +
                             "convert gray.tif -define png:bit-depth=16 -define png:color-type=4 gray16.png"),
              0);
    const std::string map = " --size 64x48 --mode 2 -q --time 1 --set IM1CENTERX=0 "
                            "--set \"Image Map 1/Displace on:=Luminance\" --set IM1INTENSITY=3 --map1 ";
    render("-o from_tif.png" + map + "gray.tif");
    render("-o from_png.png" + map + "gray16.png");
    render("-o plain.png --size 64x48 --mode 2 -q --time 1");
    EXPECT_EQ(file("from_png.png"), file("from_tif.png"));
    EXPECT_NE(file("from_png.png"), file("plain.png"));

    // Map layers as a numbered sequence, as a texture.
    std::filesystem::copy_file(dir_ / "gray.tif", dir_ / "map.0001.tif");
    render("-o map.0002.tif --size 40x40 --mode 2 -q --time 2");
    render("-o anim.#.png --size 64x48 --mode 1 -q --frames 1-2 --fps 1 --map2 map.####.tif "
           "--set \"Image Map 2/Map is:=Texture On Surface\"");
    EXPECT_TRUE(fs::exists(dir_ / "anim.1.png"));
    EXPECT_TRUE(fs::exists(dir_ / "anim.2.png"));
}

} // namespace
