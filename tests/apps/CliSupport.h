// Running the seavast command-line host as a user does and reading back what it writes (several folders).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace clitest {

struct CliRun {
    int status = -1;
    std::string out, err;
};

inline std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Exit status of a shell command, -1 when a signal ended it.
inline int shell(const std::string& command)
{
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// An empty folder of this process under the build tree: ctest runs the tests of a program in parallel.
inline std::string fresh_dir(const std::string& name)
{
    const std::string dir = std::string(SEAVAST_BINARY_DIR) + "/" + name + "_" + std::to_string(::getpid());
    shell("rm -rf '" + dir + "' && mkdir -p '" + dir + "'");
    return dir;
}

// `seavast <args>` through the shell, in `dir` when given, with `env` prefixed ("SEAVAST_PLUGIN=x").
// Its output goes to files of this process: ctest runs the tests of a program in parallel.
inline CliRun seavast(const std::string& args, const std::string& dir = "", const std::string& env = "")
{
    const std::string to = std::string(SEAVAST_BINARY_DIR) + "/cli_" + std::to_string(::getpid());
    CliRun run;
    run.status = shell((dir.empty() ? "" : "cd '" + dir + "' && ") + "env -u SEAVAST_PLUGIN " + env +
                       " '" SEAVAST_BIN_DIR "/seavast' " + args + " >'" + to + ".out' 2>'" + to + ".err'");
    run.out = slurp(to + ".out");
    run.err = slurp(to + ".err");
    std::remove((to + ".out").c_str());
    std::remove((to + ".err").c_str());
    return run;
}

} // namespace clitest
