// The few services whose calls differ between Linux (POSIX) and Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// Sets up the process before anything else runs: standard streams that a
// launcher left closed, write errors instead of signals, and console lines
// that appear as they are printed, also when stdout is a pipe. On Windows
// also `argc` and `argv`, made again in UTF-8 from the wide command line, and
// a console that shows UTF-8 lines as letters.
void prepare_process(int& argc, char**& argv);

// The path that a command-line argument names: its bytes on Linux; on
// Windows the argument is UTF-8, as every path string of the viewer is there.
std::filesystem::path native_path(const char* argument);

// The size of a memory page in bytes.
size_t page_size();

// `bytes` of zeroed, writable memory straight from the system, whose pages
// take physical memory only when first touched; null when it cannot be had.
void* map_zeroed_pages(size_t bytes);

// Returns memory from map_zeroed_pages, `bytes` being the size asked for.
void unmap_pages(void* pages, size_t bytes);

// Grows memory from map_zeroed_pages from `bytes` to `new_bytes`, keeping
// its contents, the added bytes reading as zero; the pages may move. Null,
// with the old memory kept, when the new size cannot be had.
void* grow_mapped_pages(void* pages, size_t bytes, size_t new_bytes);

// Address space for `bytes` with no memory behind it, for an array to grow
// into without moving; null when it cannot be had. unmap_pages, given all
// `bytes`, releases it.
void* reserve_pages(size_t bytes);

// Makes the first `bytes` of a reservation writable memory, the new part
// reading as zero; false when the system cannot give it.
bool use_reserved_pages(void* reservation, size_t bytes);

// Moves `bytes` of memory from map_zeroed_pages to the start of a
// reservation, keeping its contents and making it usable there; false, with
// the memory left where it was, when it cannot.
bool move_into_reservation(void* pages, size_t bytes, void* reservation);

// Sets `bytes` from `start`, inside memory from map_zeroed_pages, to zero;
// whole pages go back to the system instead of being written. False when
// the system took pages back and cannot give them again (out of memory):
// the memory must then not be touched.
bool clear_mapped_pages(void* start, size_t bytes);

// The position of `stream` and a seek on it, in 64 bits on every system.
int64_t tell_file(std::FILE* stream);
int seek_file(std::FILE* stream, int64_t offset, int origin);

// An empty file for reading and writing in binary mode, in the system's
// temporary folder, that is gone when closed or when the process ends. Null,
// with errno set, when it cannot be made. `directory` is set to the folder
// tried, for messages.
std::FILE* open_temporary_file(const char*& directory);

// The path of the running program, for finding the files installed beside
// it; empty where the system does not tell it.
std::filesystem::path running_program();

#ifdef _WIN32
// The arguments of a Windows command line, split as the shell splits them,
// in UTF-8; empty when it cannot be split.
std::vector<std::string> utf8_arguments(const wchar_t* command_line);
#endif
