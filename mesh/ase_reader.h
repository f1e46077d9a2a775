// Reads the mesh of an ASE model file into the mesh store, or every mesh of
// it merged into one.
#pragma once

#include <cstdio>

struct ase_options {
    // Every mesh of the file goes into the store, each after the meshes
    // before it ("-all"); otherwise a second mesh ends the process.
    bool all_meshes = false;
    // The material list, material references and ids and the first set of
    // texture coordinates are read into material_table as well
    // ("-materials"); the store is read as without it.
    bool materials = false;
    // The line printed on standard error after "Sorry. only have support for
    // a single mesh"; none when empty.
    const char* several_meshes_hint = "";
};

// Opens `path` and scans it. A file that cannot be opened prints
// "File not there or something ;|", then on standard error the path, the
// system's reason and `hint`, and ends the process with status 1.
void load_ase(const char* path, const char* hint = "", const ase_options& options = {});

// Scans `stream` from its start: fourteen keywords are read, every other
// token is skipped with the rest of its line. A stream that cannot be
// measured (a pipe) is read from a temporary copy. A read error, or a copy
// that cannot be made, prints one line naming `path` and ends the process
// with status 1; `path` is used only in those lines.
void scan_ase(std::FILE* stream, const char* path, const ase_options& options = {});
