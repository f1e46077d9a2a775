#include "platform/system.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// What became of whole pages given back to the system by give_back_pages.
enum class pages_back {
    zeroed, // they read as zero when next touched
    kept,   // the system took none: they hold what they held
    lost,   // given back but not had again: they cannot be touched
};

} // namespace

#ifdef _WIN32

#include "platform/windows.h"

#include <shellapi.h>

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

// `text` in UTF-16; false when it is not UTF-8.
bool wide_from_utf8(const char* text, std::wstring& wide) {
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (size == 0)
        return false;
    wide.resize(static_cast<size_t>(size));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), size);
    wide.pop_back();
    return true;
}

std::string utf8_from_wide(const wchar_t* wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size == 0)
        return {};
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.pop_back();
    return text;
}

// The console's own output code page, given back when the process ends.
UINT console_code_page = 0;

void give_back_console_code_page() {
    SetConsoleOutputCP(console_code_page);
}

// The console lines are UTF-8; a console shows them as letters only while
// its output code page is UTF-8. Pipes and files get the bytes unchanged.
void show_utf8_on_console() {
    DWORD mode;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) &&
        !GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode))
        return;
    console_code_page = GetConsoleOutputCP();
    if (console_code_page != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        std::atexit(give_back_console_code_page);
}

} // namespace

std::vector<std::string> utf8_arguments(const wchar_t* command_line) {
    int count = 0;
    wchar_t** wide_arguments = CommandLineToArgvW(command_line, &count);
    std::vector<std::string> arguments;
    if (wide_arguments == nullptr)
        return arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(utf8_from_wide(wide_arguments[i]));
    LocalFree(wide_arguments);
    return arguments;
}

// Microsoft's C runtimes take _IOLBF as full buffering (and refuse a size of
// 0), so stdout goes unbuffered there to show each line as it is printed.
// The C runtime's narrow argv holds the ANSI code page, where a letter that
// the page lacks becomes '?', so the arguments come from the wide command
// line instead (the manifest's UTF-8 code page does the same from Windows
// 10 1903 on; this serves the versions before it).
void prepare_process(int& argc, char**& argv) {
    std::setvbuf(stdout, nullptr, _IONBF, BUFSIZ);
    show_utf8_on_console();
    static std::vector<std::string> arguments = utf8_arguments(GetCommandLineW());
    static std::vector<char*> argument_pointers;
    if (arguments.empty())
        return;
    for (std::string& argument : arguments)
        argument_pointers.push_back(argument.data());
    argument_pointers.push_back(nullptr);
    argc = static_cast<int>(arguments.size());
    argv = argument_pointers.data();
}

std::filesystem::path native_path(const char* argument) {
    std::wstring wide;
    if (!wide_from_utf8(argument, wide))
        return argument;
    return wide;
}

extern "C" {

std::FILE* __real_fopen(const char* path, const char* mode);

// The Windows programs are linked with --wrap=fopen, so that every fopen
// comes here: the path is UTF-8 and opens through the wide call, which no
// ANSI code page stands in; one that is not UTF-8 goes on as it was.
std::FILE* __wrap_fopen(const char* path, const char* mode) {
    std::wstring wide_path;
    std::wstring wide_mode;
    if (path == nullptr || mode == nullptr || !wide_from_utf8(path, wide_path) ||
        !wide_from_utf8(mode, wide_mode))
        return __real_fopen(path, mode);
    return _wfopen(wide_path.c_str(), wide_mode.c_str());
}
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

void* reserve_pages(size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
}

// Committing pages already committed keeps them as they are.
bool use_reserved_pages(void* reservation, size_t bytes) {
    return VirtualAlloc(reservation, bytes, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

// Committed pages cannot change places, so they are copied.
bool move_into_reservation(void* pages, size_t bytes, void* reservation) {
    if (!use_reserved_pages(reservation, bytes))
        return false;
    std::memcpy(reservation, pages, bytes);
    unmap_pages(pages, bytes);
    return true;
}

// Decommitted pages are committed again at once, reading as zero; the
// commit can fail only when the system is out of memory.
static pages_back give_back_pages(void* pages, size_t bytes) {
    if (VirtualFree(pages, bytes, MEM_DECOMMIT) == 0)
        return pages_back::kept;
    return VirtualAlloc(pages, bytes, MEM_COMMIT, PAGE_READWRITE) != nullptr ? pages_back::zeroed
                                                                             : pages_back::lost;
}

int64_t tell_file(std::FILE* stream) {
    return _ftelli64(stream);
}

int seek_file(std::FILE* stream, int64_t offset, int origin) {
    return _fseeki64(stream, offset, origin);
}

// GetTempFileNameW creates the file under a fresh name; "D" then opens it
// to be deleted when the last handle to it closes. The wide calls take a
// folder of any letters, e.g. under a user name in Cyrillic.
std::FILE* open_temporary_file(const char*& directory) {
    static std::string folder_text;
    folder_text.clear();
    directory = folder_text.c_str();
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length >= MAX_PATH + 1) {
        errno = length == 0 ? errno_from_last_error() : ENAMETOOLONG;
        return nullptr;
    }
    folder_text = utf8_from_wide(folder);
    directory = folder_text.c_str();
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(folder, L"ase", 0, name) == 0) {
        errno = errno_from_last_error();
        return nullptr;
    }
    std::FILE* file = _wfopen(name, L"w+bD");
    if (file == nullptr) {
        const int error = errno;
        DeleteFileW(name);
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

void prepare_process(int&, char**&) {
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

// Inaccessible pages count as no memory in use, and are committed only as
// they are made usable.
void* reserve_pages(size_t bytes) {
    void* pages =
        mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return pages == MAP_FAILED ? nullptr : pages;
}

bool use_reserved_pages(void* reservation, size_t bytes) {
    return mprotect(reservation, bytes, PROT_READ | PROT_WRITE) == 0;
}

// The kernel moves the pages into the reservation without copying them.
bool move_into_reservation(void* pages, size_t bytes, void* reservation) {
    return mremap(pages, bytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED, reservation) != MAP_FAILED;
}

// Private anonymous pages given back read as zero when next touched.
static pages_back give_back_pages(void* pages, size_t bytes) {
    return madvise(pages, bytes, MADV_DONTNEED) == 0 ? pages_back::zeroed : pages_back::kept;
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

std::filesystem::path native_path(const char* argument) {
    return argument;
}

std::filesystem::path running_program() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program;
}

#endif

// Whole pages go back to the system instead of being written, so clearing
// a large array costs next to nothing; the parts of pages at either end are
// written.
bool clear_mapped_pages(void* start, size_t bytes) {
    const uintptr_t page = page_size();
    const uintptr_t begin = reinterpret_cast<uintptr_t>(start);
    const uintptr_t end = begin + bytes;
    const uintptr_t first_page = (begin + page - 1) / page * page;
    const uintptr_t end_page = end / page * page;
    const pages_back outcome =
        end_page > first_page
            ? give_back_pages(reinterpret_cast<void*>(first_page), end_page - first_page)
            : pages_back::kept;
    if (outcome == pages_back::lost)
        return false;
    if (outcome == pages_back::kept) {
        std::memset(start, 0, bytes);
        return true;
    }
    std::memset(start, 0, first_page - begin);
    std::memset(reinterpret_cast<void*>(end_page), 0, end - end_page);
    return true;
}
