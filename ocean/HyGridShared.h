// Internal to the grids (HyGrid.cpp, HyGridMulti.cpp): diagnostics and periodic index helpers.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

namespace hygrid {

// One diagnostic line on the standard error stream.
inline void report_error(const std::string& line)
{
    std::fputs(line.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// One line on the standard output stream ("Out of Memory" goes there).
inline void report_out(const char* line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// i reduced to 0..n-1 on a periodic axis of n nodes.
inline int wrap_index(int i, int n)
{
    const int r = i % n;
    return r < 0 ? r + n : r;
}

// Node coordinates beyond this are treated as far outside (and, on a periodic axis, reduced first)
// so that the conversion to int never overflows.
constexpr double kFarNode = 1.0e9;

// Periodic axis: reduce a huge coordinate by whole periods before taking the floor.
inline double reduce_periodic(double g, int n)
{
    if (g > -kFarNode && g < kFarNode)
        return g;
    if (!std::isfinite(g))
        return 0.0;
    return std::fmod(g, static_cast<double>(n));
}

} // namespace hygrid
