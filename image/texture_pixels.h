// A decoded image turned into pixels that OpenGL 1.1 takes as they are.
#pragma once

#include "image/tga.h"

#include <cstdint>

struct texture_pixels {
    int32_t width;               // a power of two, at most the size asked for
    int32_t height;              // a power of two, at most the size asked for
    uint32_t format;             // GL_RGB, GL_BGR_EXT, GL_BGRA_EXT or GL_LUMINANCE
    const unsigned char* pixels; // rows packed without padding, first row first
    unsigned char* owned;        // the converted copy behind pixels; null when none was needed
};

// Colour indices become their map entries (black for an index the map lacks);
// sides that are not powers of two are resampled up to the next one, at most
// `max_size`, so that GLU never has to rescale. `result` may point into
// `image`; free `result.owned` afterwards. False when a copy cannot be made.
bool make_texture_pixels(const tga_image& image, int32_t max_size, texture_pixels& result);
