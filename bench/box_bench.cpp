// Start-up without a display, up to the window: reading a model with -all,
// then the box that places it (measure_model_box), the first pass over the
// faces after the reader. A file of N knots against one knot of the same
// size, in turns, each step in this thread's processor time, so that other
// work on a shared machine does not count.
// Usage: box_bench [--dir DIR] [--reps N] [--meshes N] [FACES ...]
#include "bench/bench_files.h"
#include "mesh/mesh_store.h"
#include "render/model_fit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

int meshes = 10;

double thread_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Reads the model and measures its box, adding each step's time.
void start_up(const std::string& path, timing& reading, timing& box) {
    ase_options every_mesh;
    every_mesh.all_meshes = true;
    const double start = thread_seconds();
    load_quietly(path, every_mesh);
    const double read = thread_seconds();
    const model_box measured = measure_model_box(mesh_store);
    box.seconds.push_back(thread_seconds() - read);
    reading.seconds.push_back(read - start);
    if (measured.corner_count == 0)
        std::puts("(no corners)");
    reset_mesh_store();
}

bool read_meshes_option(const char* option, const char* value, void*) {
    if (std::strcmp(option, "--meshes") != 0)
        return false;
    meshes = std::max(2, std::atoi(value));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const bench_options options = read_bench_options(argc, argv, 9, {400000}, read_meshes_option);
    std::printf("%9s %6s | %-17s | %-17s\n", "faces", "meshes", "read ms median", "box ms median");
    for (int faces : options.face_counts) {
        const std::string several = bench_meshes_model(options.directory, faces, meshes);
        const std::string one = bench_meshes_model(options.directory, faces, 1);
        timing several_read, several_box, one_read, one_box;
        for (int round = 0; round < options.reps; ++round) {
            start_up(several, several_read, several_box);
            start_up(one, one_read, one_box);
        }
        std::printf("%9d %6d | %17.1f | %17.1f\n", faces, meshes, several_read.median() * 1e3,
                    several_box.median() * 1e3);
        std::printf("%9d %6d | %17.1f | %17.1f\n", faces, 1, one_read.median() * 1e3,
                    one_box.median() * 1e3);
    }
    return 0;
}
