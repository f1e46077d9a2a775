#include "platform/memory_status.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

memory_status read_text(const std::string& text) {
    memory_status status{};
    read_memory_status(text.data(), text.size(), &status);
    return status;
}

#ifdef __linux__
// The kernel's own figure for one /proc/meminfo field, in kibibytes.
unsigned long long meminfo_kib(const char* field) {
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    char line[256];
    unsigned long long kib = 0;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, file) != nullptr)
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            std::sscanf(line + length + 1, "%llu", &kib);
    std::fclose(file);
    return kib;
}
#endif

} // namespace

TEST(MemoryStatus, FiguresAreKibibytesTurnedIntoBytes) {
    const memory_status status = read_text("MemTotal:        1000 kB\n"
                                           "MemFree:          100 kB\n"
                                           "MemAvailable:     250 kB\n"
                                           "Buffers:           10 kB\n");
    EXPECT_EQ(status.total_physical, 1024000u);
    EXPECT_EQ(status.available_physical, 256000u);
    EXPECT_EQ(status.memory_load, 75u);
}

TEST(MemoryStatus, MemoryAbove4GiBIsCarriedWhole) {
    const memory_status status = read_text("MemTotal:       67108864 kB\n"
                                           "MemAvailable:   33554432 kB\n");
    EXPECT_EQ(status.total_physical, 68719476736u);
    EXPECT_EQ(status.available_physical, 34359738368u);
    EXPECT_EQ(status.memory_load, 50u);
}

TEST(MemoryStatus, WithoutMemAvailableFreeMemoryStandsIn) {
    const memory_status status = read_text("MemTotal:  1000 kB\nMemFree:  400 kB");
    EXPECT_EQ(status.available_physical, 409600u);
    EXPECT_EQ(status.memory_load, 60u);
}

TEST(MemoryStatus, UnreadableFiguresStayZero) {
    const memory_status empty = read_text("");
    EXPECT_EQ(empty.total_physical, 0u);
    EXPECT_EQ(empty.available_physical, 0u);
    EXPECT_EQ(empty.memory_load, 0u);

    const memory_status garbled = read_text("MemTotal: lots\nMemAvailable: 12 kB\n");
    EXPECT_EQ(garbled.total_physical, 0u);
    EXPECT_EQ(garbled.memory_load, 0u);
}

// On Linux the file stays open between queries; each one reads it again
// from its start. Elsewhere the system's query gives figures that fit.
TEST(MemoryStatus, EveryQueryMatchesTheKernelFigures) {
    for (int query = 0; query < 3; ++query) {
        SCOPED_TRACE(query);
        memory_status status{};
        query_memory_status(&status);
#ifndef __linux__
        EXPECT_GT(status.total_physical, 0u);
        EXPECT_GT(status.available_physical, 0u);
        EXPECT_LE(status.available_physical, status.total_physical);
        EXPECT_LE(status.memory_load, 100u);
#else
        EXPECT_EQ(status.total_physical, meminfo_kib("MemTotal") * 1024);
        // Available memory moves while the test runs; a few MiB of slack suffice.
        const double available = static_cast<double>(meminfo_kib("MemAvailable")) * 1024;
        EXPECT_NEAR(static_cast<double>(status.available_physical), available, 64.0 * 1024 * 1024);
        EXPECT_GT(status.available_physical, 0u);
        EXPECT_LE(status.available_physical, status.total_physical);
        EXPECT_LE(status.memory_load, 100u);
        const double load = 100.0 * (1.0 - available / (meminfo_kib("MemTotal") * 1024.0));
        EXPECT_NEAR(status.memory_load, load, 2.0);
#endif
    }
}
