#include "platform/memory_status.h"

void query_memory_status(memory_status* status) {
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    if (file == nullptr) {
        *status = memory_status{};
        return;
    }
    read_memory_status(file, status);
    std::fclose(file);
}

// The figures are in kibibytes. MemAvailable is the kernel's estimate of what
// new allocations can get without swapping; kernels older than 3.14 lack it,
// and there MemFree, a lower bound, stands in rather than showing no memory.
void read_memory_status(std::FILE* meminfo, memory_status* status) {
    *status = memory_status{};
    char line[256];
    unsigned long long kib;
    unsigned long long free_kib = 0;
    bool has_available = false;
    while (std::fgets(line, sizeof line, meminfo) != nullptr) {
        if (std::sscanf(line, "MemTotal: %llu kB", &kib) == 1) {
            status->total_physical = kib * 1024;
        } else if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
            status->available_physical = kib * 1024;
            has_available = true;
        } else if (std::sscanf(line, "MemFree: %llu kB", &kib) == 1) {
            free_kib = kib;
        }
    }
    if (!has_available)
        status->available_physical = free_kib * 1024;
    if (status->total_physical > 0 && status->available_physical <= status->total_physical) {
        const uint64_t used = status->total_physical - status->available_physical;
        status->memory_load = static_cast<uint32_t>(used * 100 / status->total_physical);
    }
}
