// Writes the bundled model: a trefoil knot tube with rainbow vertex colours,
// in the layout of a modelling tool's ASCII scene export.
// Usage: make_model OUTPUT.ase [segments sides]
#include "tools/ase_writer.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT.ase [segments sides]\n", argv[0]);
        return 2;
    }
    const int segments = argc == 4 ? std::atoi(argv[2]) : 150;
    const int sides = argc == 4 ? std::atoi(argv[3]) : 12;
    if (segments < 3 || sides < 3) {
        std::fprintf(stderr, "segments and sides must be at least 3\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    write_ase(out, build_tube(segments, sides));
    return std::fclose(out) == 0 ? 0 : 1;
}
