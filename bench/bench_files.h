// Benchmark inputs: exporter-style knot models of a given face count, made
// once and kept for later runs.
#pragma once

#include <cstdint>
#include <string>

// Path of a model with `faces` faces (a multiple of 40) in `directory`,
// writing it first when it is not there yet.
std::string bench_model(const std::string& directory, int faces);

// Loads the model into a fresh mesh store, keeping the reader's count lines
// off the benchmark's table.
void load_quietly(const std::string& path);

uint64_t file_size(const std::string& path);

// Seconds of monotonic time since an arbitrary start.
double now_seconds();
