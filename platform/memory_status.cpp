#include "platform/memory_status.h"

#include <cstdio>
#include <cstring>

// /proc/meminfo gives kibibytes; MemAvailable is the kernel's estimate of
// what new allocations can get without swapping, not merely free pages.
void query_memory_status(memory_status* status) {
    *status = memory_status{};
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    if (file == nullptr)
        return;
    char line[256];
    unsigned long long kib;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::sscanf(line, "MemTotal: %llu kB", &kib) == 1)
            status->total_physical = kib * 1024;
        else if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1)
            status->available_physical = kib * 1024;
    }
    std::fclose(file);
    if (status->total_physical > 0 && status->available_physical <= status->total_physical) {
        const uint64_t used = status->total_physical - status->available_physical;
        status->memory_load = static_cast<uint32_t>(used * 100 / status->total_physical);
    }
}
