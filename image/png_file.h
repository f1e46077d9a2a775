// Pictures written as PNG files that a reader never sees half-written.
#pragma once

#include <cstdint>
#include <string>

// Writes width x height RGBA pixels, 8 bits a channel and rows from the top,
// as a PNG at `path`: into a temporary file in the same folder first, renamed
// onto `path` only once complete. False, with the reason in `failure` and no
// file left behind (an existing `path` untouched), when any step fails.
bool write_png_file(const char* path, const uint8_t* rgba, int width, int height,
                    std::string& failure);
