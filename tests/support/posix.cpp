#include "support/posix.h"

#include <cstdlib>
#include <cstring>

#ifdef _WIN32

#include "platform/system.h"
#include "platform/windows.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <psapi.h>
#include <random>
#include <vector>

std::FILE* fmemopen(void* buffer, size_t size, const char*) {
    const char* directory = nullptr;
    std::FILE* file = open_temporary_file(directory);
    if (file == nullptr)
        return nullptr;
    if (std::fwrite(buffer, 1, size, file) != size || std::fflush(file) != 0) {
        std::fclose(file);
        return nullptr;
    }
    std::rewind(file);
    return file;
}

int pipe(int ends[2]) {
    return _pipe(ends, 1 << 16, _O_BINARY);
}

char* mkdtemp(char* pattern) {
    const size_t length = std::strlen(pattern);
    if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return nullptr;
    }
    static std::mt19937 random(std::random_device{}());
    const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (size_t i = length - 6; i < length; ++i)
            pattern[i] = letters[random() % (sizeof letters - 1)];
        std::error_code error;
        if (std::filesystem::create_directory(pattern, error))
            return pattern;
        if (error) {
            errno = error.value();
            return nullptr;
        }
    }
    errno = EEXIST;
    return nullptr;
}

int mincore(void* start, size_t length, unsigned char* pages) {
    const size_t page = page_size();
    const size_t count = (length + page - 1) / page;
    std::vector<PSAPI_WORKING_SET_EX_INFORMATION> states(count);
    for (size_t i = 0; i < count; ++i)
        states[i].VirtualAddress = static_cast<char*>(start) + i * page;
    if (!K32QueryWorkingSetEx(GetCurrentProcess(), states.data(),
                              static_cast<DWORD>(count * sizeof states[0]))) {
        errno = ENOMEM;
        return -1;
    }
    for (size_t i = 0; i < count; ++i)
        pages[i] = states[i].VirtualAttributes.Valid ? 1 : 0;
    return 0;
}

long sysconf(int name) {
    return name == _SC_PAGESIZE ? static_cast<long>(page_size()) : -1;
}

// A job object limits the memory the process commits.
bool cap_memory_growth(size_t extra_bytes) {
    PROCESS_MEMORY_COUNTERS counters{};
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return false;
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    limits.ProcessMemoryLimit = counters.PagefileUsage + extra_bytes;
    return job != nullptr &&
           SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits) &&
           AssignProcessToJobObject(job, GetCurrentProcess());
}

bool make_full_disk_file(const char*) {
    return false;
}

#else

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

// The process's virtual size in bytes, or -1.
long virtual_size_bytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0)
            return std::atol(line.c_str() + 7) * 1024;
    return -1;
}

} // namespace

bool cap_memory_growth(size_t extra_bytes) {
    const long held = virtual_size_bytes();
    if (held <= 0)
        return false;
    const rlim_t cap = static_cast<rlim_t>(held) + extra_bytes;
    const rlimit limit{cap, cap};
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

bool make_full_disk_file(const char* name) {
    std::filesystem::create_symlink("/dev/full", name);
    return true;
}

#endif
