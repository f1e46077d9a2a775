// Import throughput and peak memory of our ASE reader against assimp's
// importer and against merely reading the file's bytes, on the same files in
// the same run. With --meshes N the file holds N knots of FACES / N faces
// each, which our reader reads whole, every mesh into one store (-all); 1
// gives the one knot read that way. --materials reads the materials as well
// ("-materials"), to compare with the same read without them.
// Usage: import_bench [--dir DIR] [--reps N] [--meshes N] [--materials] [FACES ...]
#include "bench/bench_files.h"
#include "mesh/mesh_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef ASEVIEW_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace {

// Every mesh of the file into one store (--meshes N), or one mesh per file.
int meshes = 0;
ase_options reader_options;

bool import_assimp([[maybe_unused]] const std::string& path) {
#ifdef ASEVIEW_HAVE_ASSIMP
    Assimp::Importer importer;
    return importer.ReadFile(path, 0) != nullptr;
#else
    return false;
#endif
}

// Reads the file through a buffer and counts its lines: the floor under any
// parser that looks at every byte.
void scan_bytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    static char buffer[64 * 1024];
    size_t lines = 0, n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        lines += static_cast<size_t>(std::count(buffer, buffer + n, '\n'));
    std::fclose(file);
    if (lines == 0)
        std::puts("(empty file)");
}

template <typename Work> void time_once(timing& result, Work work) {
    const double start = now_seconds();
    work();
    result.seconds.push_back(now_seconds() - start);
}

long status_kib(const char* field) {
    std::FILE* file = std::fopen("/proc/self/status", "r");
    char line[256];
    long value = -1;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, file) != nullptr)
        if (std::strncmp(line, field, length) == 0)
            value = std::atol(line + length + 1);
    std::fclose(file);
    return value;
}

// Child mode: one import in a fresh process, printing how far resident
// memory rose above where it stood just before.
int report_peak(const char* importer, const std::string& path) {
    std::FILE* reset = std::fopen("/proc/self/clear_refs", "w");
    if (reset != nullptr) {
        std::fputs("5", reset); // restarts the peak count
        std::fclose(reset);
    }
    const long before = status_kib("VmRSS:");
    if (std::strcmp(importer, "ours") == 0)
        load_quietly(path, reader_options);
    else if (!import_assimp(path))
        return 1;
    std::printf("%ld\n", status_kib("VmHWM:") - before);
    return 0;
}

double peak_mib(const char* self, const char* importer, const std::string& path) {
    const std::string command = std::string(self) + " --peak " + importer + " " + path +
                                (reader_options.all_meshes ? " all" : " one") +
                                (reader_options.materials ? "-materials" : "");
    std::FILE* child = popen(command.c_str(), "r");
    long kib = -1;
    if (child == nullptr || std::fscanf(child, "%ld", &kib) != 1)
        kib = -1;
    if (child != nullptr)
        pclose(child);
    return kib < 0 ? -1 : kib / 1024.0;
}

double store_mib() {
    const mesh_store_t& m = mesh_store;
    const double bytes =
        double(m.num_vertex) * sizeof(d_data) + double(m.num_faces) * sizeof(f_data) +
        double(m.num_tfaces) * sizeof(t_face) + double(m.num_cvertex) * sizeof(c_data);
    return bytes / (1024.0 * 1024.0);
}

bool read_meshes_option(const char* option, const char* value, void*) {
    if (std::strcmp(option, "--meshes") != 0)
        return false;
    meshes = std::max(1, std::atoi(value));
    reader_options.all_meshes = true;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--peak") == 0) {
        reader_options.all_meshes = std::strncmp(argv[4], "all", 3) == 0;
        reader_options.materials = std::strstr(argv[4], "-materials") != nullptr;
        return report_peak(argv[2], argv[3]);
    }
    // --materials takes no value, so it leaves the arguments before the rest are read.
    const auto is_materials = [](char* argument) {
        return std::strcmp(argument, "--materials") == 0;
    };
    reader_options.materials = std::any_of(argv + 1, argv + argc, is_materials);
    argc = static_cast<int>(std::remove_if(argv + 1, argv + argc, is_materials) - argv);
    const bench_options options =
        read_bench_options(argc, argv, 5, {10000, 200000, 2000000}, read_meshes_option);
#ifndef ASEVIEW_HAVE_ASSIMP
    std::printf("assimp not installed (Debian's libassimp-dev): its columns are skipped\n");
#endif
    std::printf("%9s %8s | %-15s | %-15s | %-15s | %11s %9s | %9s %9s %9s\n", "faces", "MB",
                "ours MB/s", "assimp MB/s", "byte scan MB/s", "ours/assimp", "ours/scan",
                "store MiB", "ours MiB", "assimp MiB");
    std::printf("%9s %8s | %-15s | %-15s | %-15s | %11s %9s | %9s %9s %9s\n", "", "",
                "best / median", "best / median", "best / median", "(median)", "(median)", "",
                "peak rise", "peak rise");
    for (int faces : options.face_counts) {
        const std::string path = meshes > 0 ? bench_meshes_model(options.directory, faces, meshes)
                                            : bench_model(options.directory, faces);
        const double mb = file_size(path) / 1e6;
        scan_bytes(path); // bring the file into the page cache for everyone
        // The contenders take turns, so that a slow spell of this shared
        // machine falls on all of them alike.
        timing scan, ours, assimp;
        double store = 0;
        for (int round = 0; round < options.reps; ++round) {
            time_once(scan, [&] { scan_bytes(path); });
            time_once(ours, [&] { load_quietly(path, reader_options); });
            store = store_mib();
            reset_mesh_store();
#ifdef ASEVIEW_HAVE_ASSIMP
            time_once(assimp, [&] { import_assimp(path); });
#endif
        }
        const auto rate = [mb](double seconds) { return seconds > 0 ? mb / seconds : 0.0; };
        const double ours_peak = peak_mib(argv[0], "ours", path);
        const double assimp_peak = assimp.best() > 0 ? peak_mib(argv[0], "assimp", path) : -1;
        std::printf("%9d %8.1f | %6.0f / %6.0f | %6.0f / %6.0f | %6.0f / %6.0f | %11.2f %9.2f | "
                    "%9.1f %9.1f %9.1f\n",
                    faces, mb, rate(ours.best()), rate(ours.median()), rate(assimp.best()),
                    rate(assimp.median()), rate(scan.best()), rate(scan.median()),
                    assimp.median() > 0 ? assimp.median() / ours.median() : 0.0,
                    scan.median() / ours.median(), store, ours_peak, assimp_peak);
        std::fflush(stdout);
    }
    return 0;
}
