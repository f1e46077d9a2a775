// Decoding one texture image, TGA, PNG, JPEG or BMP, into RGBA texels,
// within a bound on the memory its texels may take.
#pragma once

#include "image/material_textures.h"

#include <cstddef>
#include <cstdio>
#include <string>

// A size in bytes as people read it: "256 MiB", or "12 KiB" below a mebibyte.
std::string memory_size_text(size_t bytes);

enum class image_outcome {
    decoded,
    unreadable,  // not an image, damaged, or a read error: the reason says which
    over_budget, // a good header whose texels would pass the bytes left
};

// Decodes the image in `stream` (opened "rb", left open), its format known
// from its first bytes, into `image`, bottom row first. An image whose
// 4 * width * height bytes pass `texel_budget` is refused before any of its
// pixels are allocated. `path` only names the file in reasons.
image_outcome read_image(std::FILE* stream, const std::string& path, size_t texel_budget,
                         rgba_image& image, std::string& reason);
