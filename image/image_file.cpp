#include "image/image_file.h"

#include "image/stb_decoders.h"
#include "image/tga.h"
#include "platform/gl.h"
#include "platform/system.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Compressed files larger than this hold no texture a viewer would want.
constexpr long long largest_compressed_file = 256LL << 20;

bool fits_budget(long long width, long long height, size_t texel_budget) {
    return width > 0 && height > 0 &&
           static_cast<unsigned long long>(width * height) <= texel_budget / 4;
}

std::string without_line_end(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

void set_over_budget(std::string& reason, long long width, long long height, size_t budget) {
    reason = std::to_string(width) + "x" + std::to_string(height) + " texels would pass the " +
             memory_size_text(budget) + " left for textures";
}

// The true-colour, greyscale or colour-mapped TGA pixels as RGBA.
void copy_tga_texels(const tga_image& tga, rgba_image& image) {
    const size_t count = static_cast<size_t>(tga.width) * static_cast<size_t>(tga.height);
    image.width = tga.width;
    image.height = tga.height;
    image.texels.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
        unsigned char* texel = &image.texels[4 * i];
        const unsigned char* pixel = tga.pixels + i * static_cast<size_t>(tga.components);
        texel[3] = 255;
        if (tga.format == GL_COLOR_INDEX) {
            const int index = pixel[0];
            if (index < tga.color_map_entries)
                std::memcpy(texel, tga.color_map + 3 * index, 3);
            else
                std::memset(texel, 0, 3);
        } else if (tga.components == 1) {
            std::memset(texel, pixel[0], 3);
        } else {
            texel[0] = pixel[2];
            texel[1] = pixel[1];
            texel[2] = pixel[0];
            if (tga.components == 4)
                texel[3] = pixel[3];
        }
    }
}

image_outcome read_tga_image(std::FILE* stream, const std::string& path, size_t texel_budget,
                             rgba_image& image, std::string& reason) {
    unsigned char header[18];
    if (seek_file(stream, 0, SEEK_SET) != 0 || std::fread(header, 1, 18, stream) != 18) {
        reason = "not an image: too short for a TGA header";
        return image_outcome::unreadable;
    }
    const long long width = header[12] + 256 * header[13];
    const long long height = header[14] + 256 * header[15];
    // The decoder allocates the pixels that its header declares.
    if (width > 0 && height > 0 && !fits_budget(width, height, texel_budget)) {
        set_over_budget(reason, width, height, texel_budget);
        return image_outcome::over_budget;
    }
    tga_image* tga = read_tga(stream, path.c_str(), false);
    if (tga == nullptr) {
        reason = without_line_end(tga_error);
        return image_outcome::unreadable;
    }
    copy_tga_texels(*tga, image);
    free_tga(tga);
    return image_outcome::decoded;
}

bool read_whole_file(std::FILE* stream, std::vector<unsigned char>& bytes, std::string& reason) {
    if (seek_file(stream, 0, SEEK_END) != 0) {
        reason = "cannot find its size";
        return false;
    }
    const int64_t size = tell_file(stream);
    if (size < 0 || seek_file(stream, 0, SEEK_SET) != 0) {
        reason = "cannot find its size";
        return false;
    }
    if (size > largest_compressed_file || size > INT_MAX) {
        reason = "larger than the " +
                 memory_size_text(static_cast<size_t>(largest_compressed_file)) +
                 " an image file may take";
        return false;
    }
    bytes.resize(static_cast<size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), stream) != bytes.size()) {
        reason = "read error";
        return false;
    }
    return true;
}

// stb_image's rows come top row first.
void put_bottom_row_first(rgba_image& image) {
    const size_t row_bytes = static_cast<size_t>(image.width) * 4;
    for (int32_t top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(image.texels.begin() + static_cast<ptrdiff_t>(row_bytes * top),
                         image.texels.begin() + static_cast<ptrdiff_t>(row_bytes * (top + 1)),
                         image.texels.begin() + static_cast<ptrdiff_t>(row_bytes * bottom));
}

image_outcome read_stb_image(std::FILE* stream, const char* format, size_t texel_budget,
                             rgba_image& image, std::string& reason) {
    std::vector<unsigned char> bytes;
    if (!read_whole_file(stream, bytes, reason))
        return image_outcome::unreadable;
    int width = 0;
    int height = 0;
    if (!stb_image_size(bytes, width, height, reason)) {
        reason = std::string(format) + ": " + reason;
        return image_outcome::unreadable;
    }
    if (!fits_budget(width, height, texel_budget)) {
        set_over_budget(reason, width, height, texel_budget);
        return image_outcome::over_budget;
    }
    // The file's bytes plus four times the image's texels cover a 16-bit
    // PNG's inflated rows and a progressive JPEG's coefficients, and stop a
    // deflate stream that inflates far past what the header declares.
    const size_t texel_bytes = size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(height);
    const size_t allowance = bytes.size() + 4 * texel_bytes + (size_t{1} << 20);
    if (!stb_decode_rgba(bytes, allowance, image.texels, reason)) {
        reason = std::string(format) + ": " + reason;
        return image_outcome::unreadable;
    }
    image.width = width;
    image.height = height;
    put_bottom_row_first(image);
    return image_outcome::decoded;
}

} // namespace

std::string memory_size_text(size_t bytes) {
    return bytes >= size_t{1} << 20 ? std::to_string(bytes >> 20) + " MiB"
                                    : std::to_string(bytes >> 10) + " KiB";
}

image_outcome read_image(std::FILE* stream, const std::string& path, size_t texel_budget,
                         rgba_image& image, std::string& reason) {
    image = {};
    unsigned char magic[4] = {};
    const size_t got = std::fread(magic, 1, sizeof magic, stream);
    image_outcome outcome = image_outcome::unreadable;
    if (got >= 4 && std::memcmp(magic, "\x89PNG", 4) == 0)
        outcome = read_stb_image(stream, "PNG", texel_budget, image, reason);
    else if (got >= 3 && std::memcmp(magic, "\xff\xd8\xff", 3) == 0)
        outcome = read_stb_image(stream, "JPEG", texel_budget, image, reason);
    else if (got >= 2 && std::memcmp(magic, "BM", 2) == 0)
        outcome = read_stb_image(stream, "BMP", texel_budget, image, reason);
    else
        outcome = read_tga_image(stream, path, texel_budget, image, reason);
    if (outcome != image_outcome::decoded)
        image = {};
    return outcome;
}
