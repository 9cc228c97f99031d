// The seavast command-line host, run as a user runs it: its output against checked-in tables,
// its exit status, its help.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs `seavast <args>` through the shell; `env` is prefixed (e.g. "SEAVAST_PLUGIN=x").
CliRun seavast(const std::string& args, const std::string& env = "")
{
    // ctest runs the tests of this program in parallel processes: each needs its own file.
    const std::string err_file =
        std::string(SEAVAST_BINARY_DIR) + "/test_apps_stderr_" + std::to_string(::getpid()) + ".txt";
    const std::string command = "env -u SEAVAST_PLUGIN " + env + " '" + std::string(SEAVAST_BIN_DIR) +
                                "/seavast' " + args + " 2>'" + err_file + "'";
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.out.append(buffer.data(), n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = slurp(err_file);
    std::remove(err_file.c_str());
    return run;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Line-by-line comparison that names the first differing parameter row.
void expect_same_table(const std::string& expected_file, const std::string& actual)
{
    const std::string expected = slurp(std::string(SEAVAST_SOURCE_DIR) + "/tests/apps/data/" + expected_file);
    ASSERT_FALSE(expected.empty()) << expected_file;
    const auto want = lines(expected);
    const auto got = lines(actual);
    for (std::size_t i = 0; i < std::min(want.size(), got.size()); ++i)
        ASSERT_EQ(got[i], want[i]) << expected_file << " line " << i + 1;
    EXPECT_EQ(got.size(), want.size()) << expected_file;
}

TEST(SeavastParams, TsvMatchesTheCheckedInTableForAHostWithGroups)
{
    const CliRun run = seavast("params --format tsv");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    expect_same_table("params.tsv", run.out);
    EXPECT_EQ(lines(run.out).size(), 1u + 124u);
}

TEST(SeavastParams, TsvMatchesTheCheckedInTableForAnOldHost)
{
    const CliRun run = seavast("params --format tsv --api-major 11");
    ASSERT_EQ(run.status, 0) << run.err;
    expect_same_table("params_api11.tsv", run.out);
    EXPECT_EQ(lines(run.out).size(), 1u + 102u);
    // API 12 is the first with groups.
    const CliRun twelve = seavast("params --format tsv --api-major 12");
    ASSERT_EQ(twelve.status, 0) << twelve.err;
    expect_same_table("params.tsv", twelve.out);
}

TEST(SeavastParams, TextTableShowsQuotedNamesAndAligns)
{
    const CliRun run = seavast("params");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto table = lines(run.out);
    ASSERT_EQ(table.size(), 1u + 124u);
    EXPECT_EQ(table[0].rfind("INDEX", 0), 0u);
    EXPECT_NE(run.out.find("\"Max Distance (KM) \""), std::string::npos);
    // The NAME column starts at the same place on every row.
    const std::size_t column = table[0].find("NAME");
    for (std::size_t i = 2; i < table.size(); ++i)
        ASSERT_EQ(table[i][column], '"') << table[i];
}

TEST(SeavastAbout, ThreeLinesWithTheVersion)
{
    const CliRun run = seavast("about");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto text = lines(run.out);
    ASSERT_EQ(text.size(), 3u) << run.out;
    EXPECT_NE(text[0].find("1.4.8"), std::string::npos) << text[0];
    for (const std::string& line : text)
        EXPECT_FALSE(line.empty());
}

TEST(SeavastUsage, HelpExitsZeroAndMistakesExitTwo)
{
    for (const char* args : {"--help", "about --help", "params --help", "params -h"}) {
        const CliRun run = seavast(args);
        EXPECT_EQ(run.status, 0) << args;
        EXPECT_NE(run.out.find("Usage:"), std::string::npos) << args;
        EXPECT_NE(run.out.find("--plugin"), std::string::npos) << args;
    }
    EXPECT_NE(seavast("params --help").out.find("--api-major"), std::string::npos);
    EXPECT_NE(seavast("params --help").out.find("--format"), std::string::npos);

    const CliRun version = seavast("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("1.4.8"), std::string::npos);

    for (const char* args : {"", "nonsense", "params --format xml", "params --api-major 0", "params --api-major x",
                             "about extra", "params --no-such-option"}) {
        const CliRun run = seavast(args);
        EXPECT_EQ(run.status, 2) << "'" << args << "'";
        EXPECT_TRUE(run.out.empty() || run.err.size() > 0) << args;
    }
}

TEST(SeavastPlugin, ModuleIsFoundByOptionThenEnvironmentThenNextToTheProgram)
{
    const std::string good = std::string(SEAVAST_BIN_DIR) + "/Seavast.so";

    CliRun run = seavast("about --plugin /nonexistent/Seavast.so");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("/nonexistent/Seavast.so"), std::string::npos) << run.err;

    run = seavast("about", "SEAVAST_PLUGIN=/nonexistent/env.so");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("/nonexistent/env.so"), std::string::npos) << run.err;

    run = seavast("about --plugin '" + good + "'", "SEAVAST_PLUGIN=/nonexistent/env.so");
    EXPECT_EQ(run.status, 0) << run.err;

    run = seavast("--plugin '" + good + "' params --format tsv", "SEAVAST_PLUGIN=/nonexistent/env.so");
    EXPECT_EQ(run.status, 0) << run.err;

    // A file that is not a module.
    run = seavast("about --plugin '" + std::string(SEAVAST_SOURCE_DIR) + "/tests/apps/data/params.tsv'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot load plug-in module"), std::string::npos) << run.err;
}

} // namespace
