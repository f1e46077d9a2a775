// The machine's physical memory, as the statistics panel shows it.
#pragma once

#include <cstddef>
#include <cstdint>

struct memory_status {
    uint32_t memory_load;        // percent of physical memory in use, 0..100
    uint64_t total_physical;     // bytes of physical memory installed
    uint64_t available_physical; // bytes available for new allocations
};

// Fills `status` with the system's figures; a figure it cannot read stays 0.
// On Linux they come from /proc/meminfo: the panel calls this every frame,
// so it keeps the file open from its first call and reads it into a buffer
// of its own, with no heap allocation. On Windows from GlobalMemoryStatusEx.
void query_memory_status(memory_status* status);

// Fills `status` from `length` bytes of text in the layout of /proc/meminfo.
void read_memory_status(const char* text, size_t length, memory_status* status);
