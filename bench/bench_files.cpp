#include "bench/bench_files.h"

#include "mesh/ase_reader.h"
#include "mesh/mesh_store.h"
#include "tools/ase_writer.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

std::string bench_model(const std::string& directory, int faces) {
    std::filesystem::create_directories(directory);
    const std::string path = directory + "/knot-" + std::to_string(faces) + ".ase";
    if (!std::filesystem::exists(path)) {
        const std::string partial = path + ".partial";
        std::FILE* out = std::fopen(partial.c_str(), "w");
        if (out == nullptr) {
            std::perror(partial.c_str());
            std::exit(1);
        }
        // Twenty sides a ring: 40 faces per ring.
        write_ase(out, build_tube(faces / 40, 20));
        std::fclose(out);
        std::filesystem::rename(partial, path);
    }
    return path;
}

void load_quietly(const std::string& path) {
    std::fflush(stdout);
    const int saved = dup(1);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    reset_mesh_store();
    load_ase(path.c_str());
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(null_fd);
}

uint64_t file_size(const std::string& path) {
    return std::filesystem::file_size(path);
}

double now_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
