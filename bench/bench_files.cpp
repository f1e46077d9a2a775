#include "bench/bench_files.h"

#include "mesh/ase_reader.h"
#include "mesh/mesh_store.h"
#include "tools/ase_writer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
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

std::string bench_meshes_model(const std::string& directory, int faces, int meshes) {
    const std::string knot = bench_model(directory, faces / meshes);
    const std::string path =
        directory + "/knots-" + std::to_string(faces) + "-in-" + std::to_string(meshes) + ".ase";
    if (!std::filesystem::exists(path)) {
        const std::string partial = path + ".partial";
        std::filesystem::remove(partial);
        for (int mesh = 0; mesh < meshes; ++mesh) {
            std::FILE* in = std::fopen(knot.c_str(), "rb");
            std::FILE* out = std::fopen(partial.c_str(), "ab");
            if (in == nullptr || out == nullptr) {
                std::perror(partial.c_str());
                std::exit(1);
            }
            char chunk[65536];
            for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
                std::fwrite(chunk, 1, got, out);
            std::fclose(in);
            std::fclose(out);
        }
        std::filesystem::rename(partial, path);
    }
    return path;
}

void load_quietly(const std::string& path, const ase_options& options) {
    std::fflush(stdout);
    const int saved = dup(1);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    reset_mesh_store();
    load_ase(path.c_str(), "", options);
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

namespace {

std::vector<double> sorted(const std::vector<double>& seconds) {
    std::vector<double> copy = seconds;
    std::sort(copy.begin(), copy.end());
    return copy;
}

} // namespace

double timing::best() const {
    return seconds.empty() ? 0 : sorted(seconds).front();
}

double timing::median() const {
    return seconds.empty() ? 0 : sorted(seconds)[seconds.size() / 2];
}

bench_options read_bench_options(int argc, char** argv, int reps,
                                 const std::vector<int>& face_counts, extra_option extra,
                                 void* context) {
    bench_options options{"build/bench-data", reps, {}};
    for (int i = 1; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (std::strcmp(argv[i], "--dir") == 0 && has_value)
            options.directory = argv[++i];
        else if (std::strcmp(argv[i], "--reps") == 0 && has_value)
            options.reps = std::max(1, std::atoi(argv[++i]));
        else if (argv[i][0] == '-' && has_value && extra != nullptr &&
                 extra(argv[i], argv[i + 1], context))
            ++i;
        else
            options.face_counts.push_back(std::atoi(argv[i]));
    }
    if (options.face_counts.empty())
        options.face_counts = face_counts;
    return options;
}
