// Compares the dumps' float formatting with snprintf's "%f" of the float
// widened to double, over all 2^32 bit patterns, on every core. Prints the
// number of differences, the first few, and the time taken.
// Usage: check_float_format [FIRST_PATTERN LAST_PATTERN] (hexadecimal)
#include "mesh/mesh_dump.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr uint64_t block_size = 1 << 16;
constexpr int differences_shown = 10;

struct comparison {
    uint64_t first = 0, last = 0xffffffff;
    std::atomic<uint64_t> next_block{0};
    std::atomic<uint64_t> differences{0};
    std::mutex report_lock;
    int shown = 0;
};

void report_difference(comparison& run, uint32_t bits, const char* ours, const char* theirs) {
    std::lock_guard<std::mutex> hold(run.report_lock);
    if (run.shown++ < differences_shown)
        std::printf("0x%08" PRIx32 ": ours \"%s\", snprintf \"%s\"\n", bits, ours, theirs);
}

void compare_blocks(comparison& run) {
    char ours[float_text_max + 1], theirs[64];
    for (;;) {
        const uint64_t start = run.first + run.next_block.fetch_add(1) * block_size;
        if (start > run.last)
            return;
        const uint64_t end = std::min(start + block_size - 1, run.last);
        for (uint64_t pattern = start; pattern <= end; ++pattern) {
            const float value = std::bit_cast<float>(uint32_t(pattern));
            *format_float(ours, value) = '\0';
            std::snprintf(theirs, sizeof theirs, "%f", double(value));
            if (std::strcmp(ours, theirs) != 0) {
                run.differences.fetch_add(1);
                report_difference(run, uint32_t(pattern), ours, theirs);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    comparison run;
    if (argc == 3) {
        run.first = std::strtoull(argv[1], nullptr, 16);
        run.last = std::min<uint64_t>(std::strtoull(argv[2], nullptr, 16), 0xffffffff);
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
        workers.emplace_back(compare_blocks, std::ref(run));
    for (std::thread& worker : workers)
        worker.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%" PRIu64 " patterns from 0x%08" PRIx64 " to 0x%08" PRIx64
                ", %zu threads: %" PRIu64 " differences, %.1f s\n",
                run.last - run.first + 1, run.first, run.last, workers.size(),
                run.differences.load(), seconds);
    return run.differences.load() == 0 ? 0 : 1;
}
