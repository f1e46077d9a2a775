// stb_image's PNG, JPEG and BMP decoders, behind the checks that Debian's
// stb_image 2.27 needs, with all they allocate for one image bounded.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The image's size from its header, allocating nothing of its size; false,
// with the reason, for a file stb_image does not take.
bool stb_image_size(const std::vector<unsigned char>& bytes, int& width, int& height,
                    std::string& reason);

// Decodes the image into `texels`: RGBA, top row first. stb_image's own
// buffers may take `allowance` bytes together; false, with the reason, when
// the file is damaged or needs more.
bool stb_decode_rgba(const std::vector<unsigned char>& bytes, size_t allowance,
                     std::vector<unsigned char>& texels, std::string& reason);
