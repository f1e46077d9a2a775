// Plain-text dumps of the mesh store into the current directory.
#pragma once

// Prints the mesh summary, then writes the vertex positions to "dump.txt";
// prints "PROBLEM" and writes nothing when the file cannot be opened.
void dump_data();

// Writes the face normals to "norm.txt"; a file that cannot be opened ends
// the process with status 1.
void dump_norm();

// Writes the vertex normals to "vnorml.txt"; a file that cannot be opened is
// reported on the console and nothing is written.
void dump_vnorm();
