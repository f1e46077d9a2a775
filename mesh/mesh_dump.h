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

// A failed write or close of any dump prints one line naming the file and
// the system's reason, ends that file and lets start-up go on.

// Longest "%f" text of a float: sign, 39 integer digits, point, six decimals.
constexpr int float_text_max = 47;

// Writes the text printf's "%f" gives for `value` widened to double in the C
// locale (exact value, ties at the sixth decimal to even) at `out`, which
// has room for float_text_max characters, and returns its end; no NUL.
char* format_float(char* out, float value);
