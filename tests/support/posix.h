// The POSIX calls the unit tests use. On Windows, small stand-ins of our own
// take their place, over a temporary file, an anonymous pipe, the working set
// and a job object.
#pragma once

#include <cstddef>
#include <cstdio>

#ifdef _WIN32

#include <io.h> // read, write, close, dup2

// A stream that reads `size` bytes of `buffer` from their start; the mode
// is taken as "rb" whatever it says. Unlike glibc's, it is a file, so it
// seeks beyond its end.
std::FILE* fmemopen(void* buffer, size_t size, const char* mode);
inline constexpr bool fmemopen_seeks_beyond_end = true;
int pipe(int ends[2]);
char* mkdtemp(char* pattern);
// Bit 0 of each page's byte: the page is in the working set.
int mincore(void* start, size_t length, unsigned char* pages);
inline constexpr int _SC_PAGESIZE = 30;
long sysconf(int name);

#else

#include <sys/mman.h>
#include <unistd.h>

inline constexpr bool fmemopen_seeks_beyond_end = false;

#endif

// Caps the memory the process may yet take at about `extra_bytes` beyond
// what it holds now; false when the system gives no way to.
bool cap_memory_growth(size_t extra_bytes);

// Makes `name` a file every write to which fails with ENOSPC, as on a full
// disk; false where no such file can be made (Windows has no /dev/full).
bool make_full_disk_file(const char* name);
