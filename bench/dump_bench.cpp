// Throughput of the three dumps ("dump.txt", "norm.txt", "vnorml.txt") with
// our writer against the previous fprintf writer, on the same loaded model
// in the same run. Each writes into a scratch directory of its own, removed
// at the end; with --keep DIR both outputs stay in DIR/FACES/{ours,fprintf}
// for a byte-for-byte comparison with cmp.
// Usage: dump_bench [--dir DIR] [--reps N] [--keep DIR] [FACES ...]
#include "bench/bench_files.h"
#include "mesh/mesh_dump.h"
#include "mesh/mesh_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The writer as it was before our own formatting: glibc's fprintf for every
// record. Kept here as the benchmark's peer and the reference for cmp.
void dump_data_fprintf() {
    std::printf("Mesh Data\n");
    std::printf("The amount of faces in this mesh is\t%i\n", mesh_store.num_faces);
    std::printf("The amount of vertices in this mesh is\t%i\n", mesh_store.num_vertex);
    std::FILE* file = std::fopen("dump.txt", "w+");
    if (file == nullptr) {
        std::printf("PROBLEM\n");
        return;
    }
    std::fprintf(file, "-----MAX_FACES = %i\n", mesh_store.num_faces);
    for (int32_t i = 0; i < mesh_store.num_vertex; ++i) {
        const float* pos = mesh_store.v_data[i].pos;
        std::fprintf(file, "vertex pos = %i\n X=%f\n\t\t\t\tY=%f\n\tZ=%f\n", i, pos[0], pos[1],
                     pos[2]);
    }
    std::fclose(file);
}

void dump_norm_fprintf() {
    std::FILE* file = std::fopen("norm.txt", "w+");
    if (file == nullptr) {
        std::printf("error in dump_norm()\n");
        std::exit(1);
    }
    for (int32_t i = 0; i < mesh_store.num_faces; ++i) {
        const float* norm = mesh_store.f_list[i].norm;
        std::fprintf(file, "face num=%i\nX Comp = %f\tY Comp = %f\tZ Comp %f\n\n", i, norm[0],
                     norm[1], norm[2]);
    }
    std::fclose(file);
}

void dump_vnorm_fprintf() {
    std::FILE* file = std::fopen("vnorml.txt", "w+");
    if (file == nullptr) {
        std::printf("error in dump_vnorm(): cannot open \"vnorml.txt\"\n");
        return;
    }
    for (int32_t i = 0; i < mesh_store.num_vertex; ++i) {
        const float* norm = mesh_store.v_data[i].norm;
        std::fprintf(file, "position = %i\t x = %f\t y = %f\t z = %f\n", i, norm[0], norm[1],
                     norm[2]);
    }
    std::fclose(file);
}

const char* const dump_names[] = {"dump.txt", "norm.txt", "vnorml.txt"};

// Writes the three dumps in `directory`, starting from no files, with the
// summary lines sent to /dev/null so they stay off the table.
void time_dumps(timing& result, const std::filesystem::path& directory, void (*data)(),
                void (*norm)(), void (*vnorm)()) {
    for (const char* name : dump_names)
        std::filesystem::remove(directory / name);
    std::filesystem::current_path(directory);
    std::fflush(stdout);
    const int console = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    const double start = now_seconds();
    data();
    norm();
    vnorm();
    const double end = now_seconds();
    std::fflush(stdout);
    dup2(console, 1);
    close(console);
    close(null);
    result.seconds.push_back(end - start);
}

uint64_t dump_bytes(const std::filesystem::path& directory) {
    uint64_t bytes = 0;
    for (const char* name : dump_names)
        bytes += std::filesystem::file_size(directory / name);
    return bytes;
}

std::filesystem::path make_scratch_directory() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string pattern = std::string(tmpdir != nullptr ? tmpdir : "/tmp") + "/dump_bench.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("dump_bench: scratch directory");
        std::exit(1);
    }
    return pattern;
}

} // namespace

int main(int argc, char** argv) {
    std::string keep;
    const auto take_keep = [](const char* option, const char* value, void* context) {
        if (std::strcmp(option, "--keep") != 0)
            return false;
        *static_cast<std::string*>(context) = value;
        return true;
    };
    const bench_options options =
        read_bench_options(argc, argv, 5, {200000, 2000000}, take_keep, &keep);
    const int reps = options.reps;
    const std::filesystem::path start_directory = std::filesystem::current_path();
    const std::string data_directory = std::filesystem::absolute(options.directory);
    const std::filesystem::path scratch =
        keep.empty() ? make_scratch_directory() : std::filesystem::absolute(keep);
    std::printf("%9s %8s | %-15s | %-15s | %-13s\n", "faces", "dump MB", "ours MB/s",
                "fprintf MB/s", "ours/fprintf");
    std::printf("%9s %8s | %-15s | %-15s | %-13s\n", "", "", "best / median", "best / median",
                "best / median");
    for (int faces : options.face_counts) {
        load_quietly(bench_model(data_directory, faces));
        const std::filesystem::path ours_directory = scratch / std::to_string(faces) / "ours";
        const std::filesystem::path fprintf_directory = scratch / std::to_string(faces) / "fprintf";
        std::filesystem::create_directories(ours_directory);
        std::filesystem::create_directories(fprintf_directory);
        // The writers take turns, so that a slow spell of this shared
        // machine falls on both alike.
        timing ours, previous;
        for (int round = 0; round < reps; ++round) {
            time_dumps(ours, ours_directory, dump_data, dump_norm, dump_vnorm);
            time_dumps(previous, fprintf_directory, dump_data_fprintf, dump_norm_fprintf,
                       dump_vnorm_fprintf);
        }
        const double mb = dump_bytes(ours_directory) / 1e6;
        std::printf("%9d %8.1f | %6.0f / %6.0f | %6.0f / %6.0f | %5.2f / %5.2f\n", faces, mb,
                    mb / ours.best(), mb / ours.median(), mb / previous.best(),
                    mb / previous.median(), previous.best() / ours.best(),
                    previous.median() / ours.median());
        std::fflush(stdout);
        std::filesystem::current_path(start_directory);
        if (keep.empty())
            std::filesystem::remove_all(scratch / std::to_string(faces));
    }
    if (keep.empty())
        std::filesystem::remove_all(scratch);
    else
        std::printf("outputs kept: cmp %s/FACES/ours/FILE %s/FACES/fprintf/FILE\n", scratch.c_str(),
                    scratch.c_str());
    return 0;
}
