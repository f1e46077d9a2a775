// Truevision TGA decoding: colour-mapped, true-colour and greyscale images,
// uncompressed or run-length encoded, as one record of tightly packed rows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// One decoded image. The record and both buffers come from malloc; the
// caller owns them and releases them with free_tga.
struct tga_image {
    int32_t width;             // pixels per row, 1-65535
    int32_t height;            // rows, 1-65535
    int32_t components;        // bytes per pixel: 1, 3 or 4
    uint32_t format;           // GL layout of pixels: COLOR_INDEX, BGR_EXT, BGRA_EXT or LUMINANCE
    int32_t color_map_entries; // 3-byte entries in color_map; 0 without a map
    uint32_t color_map_format; // GL_RGB with a colour map, else 0
    unsigned char* color_map;  // red, green, blue per entry; null without a map
    unsigned char* pixels;     // rows left to right, no gaps, bytes in file order (B, G, R, A)
};

// Reason for the last failed decode, one line.
extern char tga_error[256];

// Decodes the image in `stream` (opened "rb", left open), seeking as needed.
// Without `flip` the first buffer row is the picture's bottom row, as OpenGL
// expects; with it, the top row. `path` only names the file in messages.
// Returns null on failure, with the reason in tga_error.
tga_image* read_tga(FILE* stream, const char* path, bool flip);

// Why load_tga gave no image: "cannot open" with the system's reason, or
// "cannot use" with the decoder's (tga_error).
struct tga_load_failure {
    const char* action = nullptr;
    std::string reason;
};

// Opens and decodes `path` with the top row first. When the file cannot be
// opened or decoded, prints one console line, fills `failure` and returns
// null; the caller decides what follows.
tga_image* load_tga(const char* path, tga_load_failure& failure);

// Releases the record and its buffers; null is allowed.
void free_tga(tga_image* image);
