// The seavast command-line host: listings against the checked-in table, exit status, help, module search.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/apps/CliSupport.h"

namespace {

using namespace clitest;

const std::vector<std::string> kTable = lines(slurp(SEAVAST_SOURCE_DIR "/tests/apps/data/params.tsv"));

// Line-by-line comparison that names the first differing parameter row.
void expect_same_table(const std::vector<std::string>& want, const CliRun& run)
{
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto got = lines(run.out);
    for (std::size_t i = 0; i < std::min(want.size(), got.size()); ++i)
        ASSERT_EQ(got[i], want[i]) << "line " << i + 1;
    EXPECT_EQ(got.size(), want.size());
}

// A host without groups: the rows without the group rows, renumbered, no group column; ids follow the new
// index, except the camera's, which count from 200 as with groups (where its group start holds 200).
std::vector<std::string> without_groups(const std::vector<std::string>& table)
{
    std::vector<std::string> out{table.at(0)};
    for (std::size_t i = 1; i < table.size(); ++i) {
        std::vector<std::string> f;
        std::string cell;
        for (std::istringstream in(table[i]); std::getline(in, cell, '\t');)
            f.push_back(cell);
        if (f.at(4) == "group_start" || f.at(4) == "group_end")
            continue;
        const int index = int(out.size()) - 1, id = std::stoi(f[1]);
        std::string row = std::to_string(index);
        row.append("\t").append(std::to_string(id >= 200 ? id - 1 : id == 0 ? 0 : index)).append("\t-");
        for (std::size_t k = 3; k < f.size(); ++k)
            row.append("\t").append(f[k]);
        out.push_back(row);
    }
    return out;
}

TEST(Seavast, ListingsExitStatusesAndModuleSearch)
{
    ASSERT_EQ(kTable.size(), 1u + 124u);
    expect_same_table(kTable, seavast("params --format tsv"));
    expect_same_table(kTable, seavast("params --format tsv --api-major 12")); // the first with groups
    const auto old = without_groups(kTable);
    ASSERT_EQ(old.size(), 1u + 102u);
    expect_same_table(old, seavast("params --format tsv --api-major 11"));

    // The text table: quoted names, blanks kept, the NAME column at the same place on every row.
    const CliRun run = seavast("params");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto table = lines(run.out);
    ASSERT_EQ(table.size(), 1u + 124u);
    EXPECT_EQ(table[0].rfind("INDEX", 0), 0u);
    EXPECT_NE(run.out.find("\"Max Distance (KM) \""), std::string::npos);
    const std::size_t column = table[0].find("NAME");
    for (std::size_t i = 2; i < table.size(); ++i)
        ASSERT_EQ(table[i][column], '"') << table[i];

    // About, help and version exit 0, mistakes 2; the module is found by option, then environment, then
    // next to the program.
    const CliRun about = seavast("about");
    ASSERT_EQ(about.status, 0) << about.err;
    const auto text = lines(about.out);
    ASSERT_EQ(text.size(), 3u) << about.out;
    EXPECT_NE(text[0].find("1.4.8"), std::string::npos) << text[0];
    EXPECT_EQ(std::count(text.begin(), text.end(), ""), 0) << about.out;

    const std::pair<const char*, std::vector<const char*>> answers[] = {
        {"--help", {"Usage:", "--plugin"}}, {"about --help", {"Usage:", "--plugin"}},
        {"params --help", {"Usage:", "--plugin", "--api-major", "--format"}},
        {"params -h", {"Usage:", "--plugin"}}, {"--version", {"1.4.8"}}};
    for (const auto& [args, texts] : answers) {
        const CliRun run = seavast(args);
        EXPECT_EQ(run.status, 0) << args;
        for (const char* text : texts)
            EXPECT_NE(run.out.find(text), std::string::npos) << args << ": " << text;
    }

    for (const char* args : {"", "nonsense", "params --format xml", "params --api-major 0",
                             "params --api-major x", "about extra", "params --no-such-option"}) {
        const CliRun run = seavast(args);
        EXPECT_EQ(run.status, 2) << "'" << args << "'";
        EXPECT_TRUE(run.out.empty() || run.err.size() > 0) << args;
    }

    const std::string good = " --plugin '" SEAVAST_BIN_DIR "/Seavast.so'",
                      env = "SEAVAST_PLUGIN=/nonexistent/env.so";
    const struct {
        std::string args, env;
        int status;
        const char* err;
    } cases[] = {
        {"about --plugin /nonexistent/Seavast.so", "", 1, "/nonexistent/Seavast.so"},
        {"about", env, 1, "/nonexistent/env.so"},
        {"about" + good, env, 0, ""},
        {good + " params --format tsv", env, 0, ""},
        {"about --plugin '" SEAVAST_SOURCE_DIR "/tests/apps/data/params.tsv'", "", 1,
         "cannot load plug-in module"},
    };
    for (const auto& c : cases) {
        const CliRun run = seavast(c.args, "", c.env);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << "\n" << run.err;
    }
}

} // namespace
