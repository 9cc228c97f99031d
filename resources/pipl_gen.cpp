// Writes the plug-in property list bytes to the file named on the command line.
#include <cstdio>

#include "resources/SeavastPiPL.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argc > 0 ? argv[0] : "pipl_gen");
        return 2;
    }
    std::FILE* f = std::fopen(argv[1], "wb");
    if (f == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(pipl::kPiPLBytes.data(), 1, pipl::kPiPLBytes.size(), f) == pipl::kPiPLBytes.size();
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "%s: write failed\n", argv[1]);
        return 1;
    }
    return 0;
}
