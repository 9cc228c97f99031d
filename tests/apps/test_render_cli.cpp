// `seavast render` over frame ranges and patterns, --stats, and Ctrl-C in the middle of a render.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/apps/CliSupport.h"

namespace fs = std::filesystem;

namespace {

using namespace clitest;

TEST(SeavastRender, SteppedRangeWithPrintfPatternStatsAndCtrlC)
{
    fs::path dir = fresh_dir("test_render_step");
    CliRun run = seavast("render --size 48x27 --mode 1 --frames 2-8:3 --stats -o f_%03d.png", dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "no progress bar when standard error is not a terminal";
    for (int f = 2; f <= 8; ++f)
        EXPECT_EQ(fs::exists(dir / ("f_00" + std::to_string(f) + ".png")), f % 3 == 2) << f;
    std::vector<long> frames;
    for (const std::string& line : lines(run.out))
        if (long f = 0; std::sscanf(line.c_str(), "frame %ld ", &f) == 1)
            frames.push_back(f);
    EXPECT_EQ(frames, (std::vector<long>{2, 5, 8})) << run.out;
    EXPECT_NE(run.out.find("3 frames"), std::string::npos) << run.out;

    // Frame 5 of the stepped range is the frame 5 a range of its own renders: same time, same pixels.
    run = seavast("render --size 48x27 --mode 1 --frames 5 -q -o single.####.png", dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(dir / "single.0005.png"), slurp(dir / "f_005.png"));

    run = seavast("render --frames 8-2 -o x.####.png", dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("A-B:STEP"), std::string::npos) << run.err;
    fs::remove_all(dir);

    // Ctrl-C in the middle of a render: status 130, and no partial file.
    dir = fresh_dir("test_render_interrupt");
    const std::string err = (dir / "stderr.txt").string(), pattern = (dir / "big.####.png").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::unsetenv("SEAVAST_PLUGIN");
        std::freopen(err.c_str(), "w", stderr);
        ::execl(SEAVAST_BIN_DIR "/seavast", "seavast", "render", "--size", "1200x1200", "--mode", "1",
                "--frames", "0-100000", "-o", pattern.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Interrupt once a frame or two are out, or after a while on a slow machine.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(dir / "big.0001.png") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(pid, SIGINT);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 130) << slurp(err);
    EXPECT_NE(slurp(err).find("interrupted"), std::string::npos) << slurp(err);

    // Whole frames 0 .. n-1 and nothing else: no temporary file, no frame n.
    std::size_t written = 0;
    for (const auto& e : fs::directory_iterator(dir))
        written += e.path().extension() == ".png" || e.path().string().find(".part") != std::string::npos;
    for (std::size_t n = 0; n < written; ++n) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "big.%04zu.png", n);
        EXPECT_TRUE(fs::exists(dir / expected)) << "frames written: " << written;
    }
    fs::remove_all(dir);
}

} // namespace
