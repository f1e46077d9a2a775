// A small model in the exporter's text layout, for tests that need the
// viewer to show something.
#pragma once

#include <string>

// A cube of the given half size centred on the origin, made of twelve
// triangles. Every corner has its own colour, all of them bright (each
// channel 0.4 or 1.0), and a vertex normal pointing away from the centre.
std::string colour_cube_ase(int half_size);
