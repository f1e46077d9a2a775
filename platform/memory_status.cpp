#include "platform/memory_status.h"

#include <cerrno>
#include <cstring>

namespace {

// The kibibytes after "`field`:" at `line`, or false when the line holds
// another field or no number that fits in bytes.
bool read_kib_field(const char* line, const char* end, const char* field, uint64_t& kib) {
    const size_t field_length = std::strlen(field);
    if (static_cast<size_t>(end - line) <= field_length ||
        std::memcmp(line, field, field_length) != 0 || line[field_length] != ':')
        return false;
    const char* cursor = line + field_length + 1;
    while (cursor < end && (*cursor == ' ' || *cursor == '\t'))
        ++cursor;
    if (cursor == end || *cursor < '0' || *cursor > '9')
        return false;
    uint64_t value = 0;
    for (; cursor < end && *cursor >= '0' && *cursor <= '9'; ++cursor) {
        value = value * 10 + static_cast<uint64_t>(*cursor - '0');
        if (value > UINT64_MAX / 1024)
            return false;
    }
    kib = value;
    return true;
}

} // namespace

#ifdef _WIN32

#include "platform/windows.h"

void query_memory_status(memory_status* status) {
    MEMORYSTATUSEX figures{};
    figures.dwLength = sizeof figures;
    if (!GlobalMemoryStatusEx(&figures)) {
        *status = memory_status{};
        return;
    }
    status->memory_load = figures.dwMemoryLoad;
    status->total_physical = figures.ullTotalPhys;
    status->available_physical = figures.ullAvailPhys;
}

#else

#include <fcntl.h>
#include <unistd.h>

namespace {

// /proc/meminfo is about 1.5 KiB; the figures the panel needs are its first lines.
constexpr size_t meminfo_capacity = 8192;

int meminfo_fd = -1; // open from the first query on

// Reads the whole file from its start; the kernel writes it afresh at every
// read from offset 0. Returns the byte count, or -1 on a read error.
ssize_t read_meminfo(char (&buffer)[meminfo_capacity]) {
    size_t filled = 0;
    while (filled < sizeof buffer) {
        const ssize_t count =
            pread(meminfo_fd, buffer + filled, sizeof buffer - filled, static_cast<off_t>(filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        filled += static_cast<size_t>(count);
    }
    return static_cast<ssize_t>(filled);
}

} // namespace

void query_memory_status(memory_status* status) {
    if (meminfo_fd < 0)
        meminfo_fd = open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
    char text[meminfo_capacity];
    const ssize_t length = meminfo_fd < 0 ? -1 : read_meminfo(text);
    if (length < 0) {
        // A descriptor that failed is dropped, so the next frame opens the file afresh.
        if (meminfo_fd >= 0)
            close(meminfo_fd);
        meminfo_fd = -1;
        *status = memory_status{};
        return;
    }
    read_memory_status(text, static_cast<size_t>(length), status);
}

#endif

// The figures are in kibibytes. MemAvailable is the kernel's estimate of what
// new allocations can get without swapping; kernels older than 3.14 lack it,
// and there MemFree, a lower bound, stands in rather than showing no memory.
void read_memory_status(const char* text, size_t length, memory_status* status) {
    *status = memory_status{};
    const char* const text_end = text + length;
    uint64_t kib = 0;
    uint64_t free_kib = 0;
    bool has_available = false;
    for (const char* line = text; line < text_end;) {
        const char* line_end =
            static_cast<const char*>(std::memchr(line, '\n', static_cast<size_t>(text_end - line)));
        const char* next_line = line_end == nullptr ? text_end : line_end + 1;
        if (line_end == nullptr)
            line_end = text_end;
        if (read_kib_field(line, line_end, "MemTotal", kib)) {
            status->total_physical = kib * 1024;
        } else if (read_kib_field(line, line_end, "MemAvailable", kib)) {
            status->available_physical = kib * 1024;
            has_available = true;
        } else if (read_kib_field(line, line_end, "MemFree", kib)) {
            free_kib = kib;
        }
        line = next_line;
    }
    if (!has_available)
        status->available_physical = free_kib * 1024;
    if (status->total_physical > 0 && status->available_physical <= status->total_physical) {
        const uint64_t used = status->total_physical - status->available_physical;
        status->memory_load = static_cast<uint32_t>(used * 100 / status->total_physical);
    }
}
