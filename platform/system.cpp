#include "platform/system.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32

#include "platform/windows.h"

namespace {

// The errno closest to the reason a Windows call failed.
int errno_from_last_error() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

} // namespace

// Microsoft's C runtimes take _IOLBF as full buffering (and refuse a size of
// 0), so stdout goes unbuffered there to show each line as it is printed.
void prepare_process() {
    std::setvbuf(stdout, nullptr, _IONBF, BUFSIZ);
}

size_t page_size() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

// Committed pages read as zero and get physical memory on first touch.
void* map_zeroed_pages(size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void unmap_pages(void* pages, size_t) {
    VirtualFree(pages, 0, MEM_RELEASE);
}

// A committed region cannot be extended in place, so the grown one is a copy.
void* grow_mapped_pages(void* pages, size_t bytes, size_t new_bytes) {
    void* grown = map_zeroed_pages(new_bytes);
    if (grown == nullptr)
        return nullptr;
    std::memcpy(grown, pages, bytes);
    unmap_pages(pages, bytes);
    return grown;
}

void clear_mapped_pages(void* start, size_t bytes) {
    std::memset(start, 0, bytes);
}

int64_t tell_file(std::FILE* stream) {
    return _ftelli64(stream);
}

int seek_file(std::FILE* stream, int64_t offset, int origin) {
    return _fseeki64(stream, offset, origin);
}

// GetTempFileNameA creates the file under a fresh name; "D" then opens it
// to be deleted when the last handle to it closes.
std::FILE* open_temporary_file(const char*& directory) {
    static char folder[MAX_PATH + 1];
    directory = folder;
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) {
        errno = length == 0 ? errno_from_last_error() : ENAMETOOLONG;
        return nullptr;
    }
    char name[MAX_PATH];
    if (GetTempFileNameA(folder, "ase", 0, name) == 0) {
        errno = errno_from_last_error();
        return nullptr;
    }
    std::FILE* file = std::fopen(name, "w+bD");
    if (file == nullptr) {
        const int error = errno;
        DeleteFileA(name);
        errno = error;
    }
    return file;
}

// The Windows folder keeps the map beside the viewer and installs no other
// copy, so there is no installed file to look for.
std::filesystem::path running_program() {
    return {};
}

#else

#include <climits>
#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// A launcher may start the viewer with standard input, output or error
// closed. The next file or connection opened would then take that number:
// the X connection as descriptor 1 would receive the console lines and
// block the viewer. Each closed one is opened on /dev/null first.
void open_standard_streams() {
    for (int descriptor = 0; descriptor <= 2; ++descriptor)
        if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF &&
            open("/dev/null", O_RDWR) != descriptor)
            std::_Exit(1);
}

} // namespace

void prepare_process() {
    open_standard_streams();
    // A write beyond the file-size limit then fails with EFBIG and is
    // reported like any other write error, instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    // Console lines appear as they are printed, also when piped to a log.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
}

size_t page_size() {
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Fresh anonymous pages read as zero and cost nothing until written.
void* map_zeroed_pages(size_t bytes) {
    void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return pages == MAP_FAILED ? nullptr : pages;
}

void unmap_pages(void* pages, size_t bytes) {
    munmap(pages, bytes);
}

// The kernel moves the pages into a larger range without copying them.
void* grow_mapped_pages(void* pages, size_t bytes, size_t new_bytes) {
    void* grown = mremap(pages, bytes, new_bytes, MREMAP_MAYMOVE);
    return grown == MAP_FAILED ? nullptr : grown;
}

// Private anonymous pages given back read as zero when next touched.
void clear_mapped_pages(void* start, size_t bytes) {
    const uintptr_t page = page_size();
    const uintptr_t begin = reinterpret_cast<uintptr_t>(start);
    const uintptr_t end = begin + bytes;
    const uintptr_t first_page = (begin + page - 1) / page * page;
    const uintptr_t end_page = end / page * page;
    if (end_page <= first_page ||
        madvise(reinterpret_cast<void*>(first_page), end_page - first_page, MADV_DONTNEED) != 0) {
        std::memset(start, 0, bytes);
        return;
    }
    std::memset(start, 0, first_page - begin);
    std::memset(reinterpret_cast<void*>(end_page), 0, end - end_page);
}

int64_t tell_file(std::FILE* stream) {
    return ftello(stream);
}

int seek_file(std::FILE* stream, int64_t offset, int origin) {
    return fseeko(stream, static_cast<off_t>(offset), origin);
}

// The file is unlinked as soon as it is made, so nothing is left behind
// whichever way the process ends.
std::FILE* open_temporary_file(const char*& directory) {
    directory = std::getenv("TMPDIR");
    if (directory == nullptr || *directory == '\0')
        directory = "/tmp";
    char name[4096];
    if (std::snprintf(name, sizeof name, "%s/aseview-XXXXXX", directory) >=
        static_cast<int>(sizeof name)) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    const int descriptor = mkstemp(name);
    if (descriptor < 0)
        return nullptr;
    unlink(name);
    std::FILE* file = fdopen(descriptor, "w+");
    if (file == nullptr) {
        const int error = errno;
        close(descriptor);
        errno = error;
    }
    return file;
}

std::filesystem::path running_program() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program;
}

#endif
