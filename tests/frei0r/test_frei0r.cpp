// The frei0r plug-in in real hosts (ffmpeg, melt) against `seavast render`, and loaded as a host does.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/apps/CliSupport.h"

extern "C" {
#include <frei0r.h>
}

namespace {

using clitest::shell;
using clitest::slurp;

const std::string kFrei0rDir = std::string(SEAVAST_BINARY_DIR) + "/lib/frei0r-1";
constexpr int kW = 320, kH = 180;
constexpr std::size_t kFrame = std::size_t(kW) * kH * 4;

// One folder per test process (ctest runs tests in parallel), removed when the process ends.
const struct TempDir {
    std::string path = clitest::fresh_dir("test_frei0r");
    ~TempDir() { shell("rm -rf '" + path + "'"); }
} kTemp;

// The sanitizer runtimes of this test program, for hosts that load our instrumented modules.
std::string sanitizer_preload()
{
    std::string libs;
    for (const char* symbol : {"__asan_init", "__ubsan_handle_add_overflow"}) {
        Dl_info info{};
        void* address = ::dlsym(RTLD_DEFAULT, symbol);
        if (address && ::dladdr(address, &info) && info.dli_fname && std::strstr(info.dli_fname, ".so"))
            libs += std::string(libs.empty() ? "" : ":") + info.dli_fname;
    }
    return libs.empty() ? "" : "LD_PRELOAD='" + libs + "' ASAN_OPTIONS=detect_leaks=0 ";
}

const std::string kHostEnv = "env -u SEAVAST_PLUGIN FREI0R_PATH='" + kFrei0rDir + "' " + sanitizer_preload();

// RGB of an image file, decoded by ffmpeg (a reader independent of ours).
std::string rgb_of_file(const std::string& image)
{
    const std::string raw = image + ".rgb";
    EXPECT_EQ(shell("ffmpeg -v error -y -i '" + image + "' -f rawvideo -pix_fmt rgb24 '" + raw + "'"), 0);
    return slurp(raw);
}

std::string rgb_of_rgba(const std::string& rgba)
{
    std::string rgb;
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4)
        rgb.append(rgba, i, 3);
    return rgb;
}

// `seavast render` of one frame, as RGB.
std::string seavast_frame(const std::string& time, const std::string& sets)
{
    const std::string png = kTemp.path + "/sv_" + time + "_" + std::to_string(std::hash<std::string>()(sets));
    const std::string args = "render -q --size 320x180 --mode 1 --time " + time + " " + sets;
    EXPECT_EQ(clitest::seavast(args + " -o '" + png + ".png'").status, 0);
    return rgb_of_file(png + ".png");
}

// ffmpeg's frames and melt's key-framed wind speed at its keys are byte for byte what `seavast render` draws.
TEST(Frei0rHosts, FfmpegAndMeltFramesAreByteIdenticalToSeavastRender)
{
    const std::string raw = kTemp.path + "/ffmpeg.rgba";
    ASSERT_EQ(shell(kHostEnv + "ffmpeg -v error -y -f lavfi -i \"frei0r_src=size=320x180:framerate=25:"
                    "filter_name=seavast:filter_params='|PW_WSPEED=7;CP_Z=20|1'\" -frames:v 3 "
                    "-f rawvideo -pix_fmt rgba '" + raw + "'"),
              0);
    const std::string frames = slurp(raw);
    ASSERT_EQ(frames.size(), 3 * kFrame);
    const char* times[] = {"0", "0.04", "0.08"};
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(rgb_of_rgba(frames.substr(std::size_t(k) * kFrame, kFrame)) ==
                    seavast_frame(times[k], "--set PW_WSPEED=7 --set CP_Z=20"))
            << "frame " << k << " at " << times[k] << " s";
    EXPECT_NE(frames.substr(0, kFrame), frames.substr(kFrame, kFrame)) << "the sea moves between frames";

    const std::string profile = kTemp.path + "/profile";
    // melt itself crashes on a profile without a description.
    std::ofstream(profile)
        << "description=test\ncolorspace=709\nframe_rate_num=25\nframe_rate_den=1\n"
           "width=320\nheight=180\nprogressive=1\nsample_aspect_num=1\nsample_aspect_den=1\n"
           "display_aspect_num=16\ndisplay_aspect_den=9\n";
    const std::string melt = kTemp.path + "/melt.rgba";
    ASSERT_EQ(shell(kHostEnv + "melt -silent -profile '" + profile + "' frei0r.seavast render_mode=1 " +
                    "wind_speed='0=0.25;2=0.75' out=2 -consumer 'avformat:" + melt +
                    "' f=rawvideo vcodec=rawvideo pix_fmt=rgba an=1 2>/dev/null"),
              0);
    const std::string keyed = slurp(melt);
    ASSERT_EQ(keyed.size(), 3 * kFrame);
    // 0.25 and 0.75 of the slider's 0..20.
    EXPECT_TRUE(rgb_of_rgba(keyed.substr(0, kFrame)) == seavast_frame("0", "--set PW_WSPEED=5"));
    EXPECT_TRUE(rgb_of_rgba(keyed.substr(2 * kFrame, kFrame)) ==
                seavast_frame("0.08", "--set PW_WSPEED=15"));
}

// The plug-in as a frei0r host sees it: a shared object and its f0r_ functions.
struct Frei0r {
    void* handle = ::dlopen((kFrei0rDir + "/seavast.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    template <class F> F symbol(const char* name) const { return reinterpret_cast<F>(::dlsym(handle, name)); }
    decltype(&f0r_init) init = symbol<decltype(&f0r_init)>("f0r_init");
    decltype(&f0r_construct) construct = symbol<decltype(&f0r_construct)>("f0r_construct");
    decltype(&f0r_destruct) destruct = symbol<decltype(&f0r_destruct)>("f0r_destruct");
    decltype(&f0r_set_param_value) set = symbol<decltype(&f0r_set_param_value)>("f0r_set_param_value");
    decltype(&f0r_update) update = symbol<decltype(&f0r_update)>("f0r_update");
    decltype(&f0r_get_plugin_info) info = symbol<decltype(&f0r_get_plugin_info)>("f0r_get_plugin_info");

    void text(f0r_instance_t i, int param, const std::string& value) const
    {
        const char* s = value.c_str();
        set(i, const_cast<char**>(&s), param);
    }
    void number(f0r_instance_t i, int param, double value) const { set(i, &value, param); }
    std::vector<std::uint32_t> frame(f0r_instance_t i, double seconds) const
    {
        std::vector<std::uint32_t> out(std::size_t(kW) * kH, 0xDEADBEEFu);
        update(i, seconds, nullptr, out.data());
        return out;
    }
};

bool transparent_black(const std::vector<std::uint32_t>& f)
{
    return std::all_of(f.begin(), f.end(), [](std::uint32_t p) { return p == 0; });
}

TEST(Frei0rInstances, RenderIndependentlyAndSurviveHostileValues)
{
    Frei0r lib;
    ASSERT_TRUE(lib.handle) << ::dlerror();
    ASSERT_TRUE(lib.init && lib.construct && lib.update && lib.info);
    ASSERT_EQ(lib.init(), 1);
    f0r_plugin_info_t info{};
    lib.info(&info);
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_SOURCE);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);

    // Reference frames, each from an instance alone.
    auto solo = [&](const std::string& settings) {
        f0r_instance_t i = lib.construct(kW, kH);
        lib.text(i, 1, settings);
        lib.text(i, 2, "Grayscale [No Icons]");
        auto f = lib.frame(i, 0.5);
        lib.destruct(i);
        return f;
    };
    const auto calm = solo("PW_WSPEED=2"), rough = solo("PW_WSPEED=18;PW_WDIR=30");
    ASSERT_NE(calm, rough);
    ASSERT_FALSE(transparent_black(calm));

    f0r_instance_t a = lib.construct(kW, kH), b = lib.construct(kW, kH);
    for (f0r_instance_t i : {a, b})
        lib.text(i, 2, "Grayscale [No Icons]");
    lib.text(a, 1, "PW_WSPEED=2");
    lib.text(b, 1, "PW_WSPEED=18;PW_WDIR=30");
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(lib.frame(b, 0.5), rough) << "round " << round;
        EXPECT_EQ(lib.frame(a, 0.5), calm) << "round " << round;
    }

    // Hostile values: the frame goes transparent black, the host keeps running, a good value heals.
    std::string garbage(10240, ' ');
    for (std::size_t k = 0; k < garbage.size(); ++k)
        garbage[k] = char(33 + (k * 37) % 94); // printable, with = ; , @ among them
    testing::internal::CaptureStderr();
    for (const std::string& bad : {std::string("NO_SUCH_KEY=1"), std::string("PW_WSPEED=1e9"), garbage}) {
        lib.text(a, 1, bad);
        EXPECT_TRUE(transparent_black(lib.frame(a, 0.5)));
        EXPECT_TRUE(transparent_black(lib.frame(a, 0.54)));
        EXPECT_EQ(lib.frame(b, 0.5), rough) << "one instance's bad value leaves the other alone";
    }
    lib.text(a, 1, "PW_WSPEED=2");
    lib.number(a, 3, 7.0); // wind_speed beyond 0..1
    EXPECT_TRUE(transparent_black(lib.frame(a, 0.5)));
    lib.number(a, 3, 0.1); // 0.1 of 0..20
    const auto healed = lib.frame(a, 0.5);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(healed, calm);
    // Four bad values, each told once although two frames each were asked for.
    EXPECT_EQ(clitest::lines(told).size(), 4u) << told;
    lib.destruct(a);
    lib.destruct(b);
}

} // namespace
