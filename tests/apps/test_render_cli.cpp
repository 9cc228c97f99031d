// `seavast render` over frame ranges and patterns, --stats, and Ctrl-C in the middle of a render.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Child {
    pid_t pid = -1;
    fs::path out, err;
    int status = -1; // exit status; -1 when a signal ended it (the handler did not take over)
};

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Starts `seavast render <args>` in `dir`, standard output and error into files there.
Child start(const fs::path& dir, std::vector<std::string> args)
{
    Child run;
    run.out = dir / "stdout.txt";
    run.err = dir / "stderr.txt";
    args.insert(args.begin(), {std::string(SEAVAST_BIN_DIR) + "/seavast", "render"});
    run.pid = ::fork();
    if (run.pid == 0) {
        ::unsetenv("SEAVAST_PLUGIN");
        std::freopen(run.out.c_str(), "w", stdout);
        std::freopen(run.err.c_str(), "w", stderr);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return run;
}

void finish(Child& run)
{
    int raw = 0;
    ::waitpid(run.pid, &raw, 0);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

fs::path fresh_dir(const std::string& name)
{
    const fs::path dir = fs::path(SEAVAST_BINARY_DIR) / ("test_render_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

TEST(SeavastRender, SteppedRangeWithPrintfPatternAndStats)
{
    const fs::path dir = fresh_dir("step");
    Child run = start(dir, {"--size", "48x27", "--mode", "1", "--frames", "2-8:3", "--stats", "-o",
                          (dir / "f_%03d.png").string()});
    finish(run);
    ASSERT_EQ(run.status, 0) << slurp(run.err);
    EXPECT_EQ(slurp(run.err), "") << "no progress bar when standard error is not a terminal";
    for (int f = 2; f <= 8; ++f)
        EXPECT_EQ(fs::exists(dir / ("f_00" + std::to_string(f) + ".png")), f % 3 == 2) << f;
    const std::string stats = slurp(run.out);
    std::istringstream lines(stats);
    std::vector<long> frames;
    for (std::string line; std::getline(lines, line);)
        if (long f = 0; std::sscanf(line.c_str(), "frame %ld ", &f) == 1)
            frames.push_back(f);
    EXPECT_EQ(frames, (std::vector<long>{2, 5, 8})) << stats;
    EXPECT_NE(stats.find("3 frames"), std::string::npos) << stats;

    // Frame 5 of the stepped range is the frame 5 a range of its own renders: same time, same pixels.
    Child single = start(dir, {"--size", "48x27", "--mode", "1", "--frames", "5", "-q", "-o",
                             (dir / "single.####.png").string()});
    finish(single);
    ASSERT_EQ(single.status, 0) << slurp(single.err);
    EXPECT_EQ(slurp(dir / "single.0005.png"), slurp(dir / "f_005.png"));

    Child bad = start(dir, {"--frames", "8-2", "-o", (dir / "x.####.png").string()});
    finish(bad);
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(slurp(bad.err).find("A-B:STEP"), std::string::npos) << slurp(bad.err);
    fs::remove_all(dir);
}

TEST(SeavastRender, CtrlCStopsWithStatus130AndLeavesNoPartialFile)
{
    const fs::path dir = fresh_dir("interrupt");
    Child run = start(dir, {"--size", "1200x1200", "--mode", "1", "--frames", "0-100000", "-o",
                          (dir / "big.####.png").string()});
    // Interrupt once a frame or two are out, or after a while on a slow machine.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(dir / "big.0001.png") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(run.pid, SIGINT);
    finish(run);
    EXPECT_EQ(run.status, 130) << slurp(run.err);
    EXPECT_NE(slurp(run.err).find("interrupted"), std::string::npos) << slurp(run.err);

    // Whole frames 0 .. n-1 and nothing else: no temporary file, no frame n.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".png" || e.path().string().find(".part") != std::string::npos)
            names.push_back(e.path().filename().string());
    for (std::size_t n = 0; n < names.size(); ++n) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "big.%04zu.png", n);
        EXPECT_TRUE(fs::exists(dir / expected)) << "frames written: " << names.size();
    }
    fs::remove_all(dir);
}

} // namespace
