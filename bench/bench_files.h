// Benchmark inputs: exporter-style knot models of a given face count, made
// once and kept for later runs.
#pragma once

#include "mesh/ase_reader.h"

#include <cstdint>
#include <string>
#include <vector>

// Path of a model with `faces` faces (a multiple of 40) in `directory`,
// writing it first when it is not there yet.
std::string bench_model(const std::string& directory, int faces);

// Path of a model of `meshes` knots (objects one after the other) of
// `faces` / `meshes` faces each, `faces` in all, written first when needed.
std::string bench_meshes_model(const std::string& directory, int faces, int meshes);

// Loads the model into a fresh mesh store, keeping the reader's count lines
// off the benchmark's table.
void load_quietly(const std::string& path, const ase_options& options = {});

uint64_t file_size(const std::string& path);

// Seconds of monotonic time since an arbitrary start.
double now_seconds();

// Seconds of repeated runs of one contender.
struct timing {
    std::vector<double> seconds;
    double best() const;
    double median() const;
};

// The options every benchmark takes: --dir DIR (where the models are made),
// --reps N and face counts. An option it does not know goes to `extra`
// with its value, which returns false to refuse it.
struct bench_options {
    std::string directory = "build/bench-data";
    int reps;
    std::vector<int> face_counts;
};
using extra_option = bool (*)(const char* option, const char* value, void* context);
bench_options read_bench_options(int argc, char** argv, int reps,
                                 const std::vector<int>& face_counts, extra_option extra = nullptr,
                                 void* context = nullptr);
