// Reads the one mesh of an ASE model file into the mesh store.
#pragma once

#include <cstdio>

// Opens `path` and scans it; a file that cannot be opened prints
// "File not there or something ;|" and ends the process with status 1.
void load_ase(const char* path);

// Scans `stream` from its start: fourteen keywords are read, every other
// token is skipped with the rest of its line. A stream that cannot be
// measured (a pipe) is read from a temporary copy. A read error, or a copy
// that cannot be made, prints one line naming `path` and ends the process
// with status 1; `path` is used only in those lines.
void scan_ase(std::FILE* stream, const char* path);
