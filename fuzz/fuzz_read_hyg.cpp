// libFuzzer target for the hyg reader: any byte string must be read or refused without a crash, a
// hang or an unbounded allocation, and a grid that was read must answer queries and write itself
// back to a file that reads again.
#include "ocean/HyGridMulti.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::string g_in, g_out;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The reader reports every refused file on stdout/stderr; silence them (libFuzzer keeps its own
    // and the sanitizers' output) unless the caller chose otherwise.
    bool has_mask = false;
    for (int k = 1; k < *argc; ++k)
        if (std::strncmp((*argv)[k], "-close_fd_mask", 14) == 0)
            has_mask = true;
    if (!has_mask) {
        static char mask[] = "-close_fd_mask=3";
        char** args = static_cast<char**>(std::malloc(sizeof(char*) * (*argc + 2)));
        if (args) {
            for (int k = 0; k < *argc; ++k)
                args[k] = (*argv)[k];
            args[*argc] = mask;
            args[*argc + 1] = nullptr;
            *argv = args;  // lives for the whole run
            *argc += 1;
        }
    }
    const std::string stem = "/tmp/seavast_fuzz_hyg_" + std::to_string(::getpid());
    g_in = stem + "_in.hyg";
    g_out = stem + "_out.hyg";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (std::FILE* f = std::fopen(g_in.c_str(), "wb")) {
        if (size)
            std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    HyGridMulti grid(4, 4, 1.0, 1.0, 2, 2, 1.0, 1.0);
    const float* before = grid.heights;
    if (!grid.read_hyg(g_in.c_str())) {
        // A refused file leaves the grid as it was.
        if (grid.heights != before || grid.nx != 4 || grid.aux_count != 1)
            std::abort();
        return 0;
    }
    // Queries over the whole plane, including far and non-finite corners of it.
    volatile double sink = 0.0;
    const double pts[] = {0.0, -1.5, 2.25, 1e3, -1e12, 1e300, NAN};
    for (double x : pts)
        for (double y : pts) {
            double sx, sy;
            sink = sink + grid.get_height(x, y);
            grid.get_slope(x, y, sx, sy);
            sink = sink + sx + sy + grid.is_behind_reflecting_line(x, y);
        }
    double lo, hi;
    grid.get_height_range(lo, hi);
    // What was read writes back and reads again.
    if (grid.write_hyg(g_out.c_str())) {
        HyGridMulti again(2, 2, 1.0, 1.0, 2, 2, 1.0, 1.0);
        if (!again.read_hyg(g_out.c_str()) || again.nx != grid.nx || again.aux_count != grid.aux_count ||
            again.line_count != grid.line_count)
            std::abort();
    }
    return 0;
}
