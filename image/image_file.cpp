#include "image/image_file.h"

#include "image/tga.h"
#include "platform/gl.h"
#include "platform/system.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// What stb_image may allocate while it decodes one image, all its buffers
// together: the file's bytes plus four times the image's texels cover a
// 16-bit PNG's inflated rows and a progressive JPEG's coefficients, and
// stop a deflate stream that inflates far past what the header declares.
size_t stb_allowance = 0;
size_t stb_allocated = 0;

// Each block starts with its size, so that realloc and free can count it.
constexpr size_t block_header = 16;

void* stb_allocate(size_t size) {
    if (size > stb_allowance - stb_allocated || size > SIZE_MAX - block_header)
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(size + block_header));
    if (block == nullptr)
        return nullptr;
    std::memcpy(block, &size, sizeof size);
    stb_allocated += size;
    return block + block_header;
}

void stb_release(void* pointer) {
    if (pointer == nullptr)
        return;
    unsigned char* block = static_cast<unsigned char*>(pointer) - block_header;
    size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    stb_allocated -= size;
    std::free(block);
}

void* stb_reallocate(void* pointer, size_t new_size) {
    if (pointer == nullptr)
        return stb_allocate(new_size);
    unsigned char* block = static_cast<unsigned char*>(pointer) - block_header;
    size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    if (new_size > size &&
        (new_size - size > stb_allowance - stb_allocated || new_size > SIZE_MAX - block_header))
        return nullptr;
    auto* moved = static_cast<unsigned char*>(std::realloc(block, new_size + block_header));
    if (moved == nullptr)
        return nullptr;
    stb_allocated = stb_allocated - size + new_size;
    std::memcpy(moved, &new_size, sizeof new_size);
    return moved + block_header;
}

} // namespace

// stb_image's PNG, JPEG and BMP decoders, private to this file: its
// functions are static, so they never meet another copy of stb_image that a
// program links.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_FAILURE_USERMSG
#define STBI_MAX_DIMENSIONS 65535
#define STBI_MALLOC(size) stb_allocate(size)
#define STBI_REALLOC(pointer, size) stb_reallocate(pointer, size)
#define STBI_FREE(pointer) stb_release(pointer)
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

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

size_t big_endian_16(const std::vector<unsigned char>& bytes, size_t at) {
    return at + 1 < bytes.size() ? size_t{bytes[at]} << 8 | bytes[at + 1] : 0;
}

// Whether the Huffman tables of the DHT segment whose length starts at `at`
// hold at most 256 codes each, as the tables stb_image fills have room for
// (Debian's stb_image 2.27 writes past them otherwise).
bool huffman_segment_fits(const std::vector<unsigned char>& bytes, size_t at) {
    long long left = static_cast<long long>(big_endian_16(bytes, at)) - 2;
    at += 2;
    while (left > 0) {
        // Past the end stb_image reads zeros, so a table cut short still counts.
        size_t codes = 0;
        for (size_t i = at + 1; i <= at + 16 && i < bytes.size(); ++i)
            codes += bytes[i];
        if (codes > 256)
            return false;
        at += 17 + codes;
        left -= static_cast<long long>(17 + codes);
    }
    return true;
}

// Checks every Huffman table stb_image may read. Up to the first scan the
// segments are walked as stb_image walks them, skipping stray bytes up to
// the next 0xFF; after it, every 0xFF 0xC4 pair counts, since stb_image may
// take one as a marker in the coded data or the bytes after it.
bool jpeg_tables_fit(const std::vector<unsigned char>& bytes) {
    size_t at = 2;
    while (at < bytes.size()) {
        if (bytes[at++] != 0xff)
            continue;
        while (at < bytes.size() && bytes[at] == 0xff)
            ++at;
        if (at >= bytes.size())
            return true;
        const unsigned char marker = bytes[at++];
        if (marker == 0xda)
            break;
        if (marker == 0xc4 && !huffman_segment_fits(bytes, at))
            return false;
        if (marker != 0xd8 && marker != 0xd9 && (marker < 0xd0 || marker > 0xd7))
            at += big_endian_16(bytes, at);
    }
    for (; at + 1 < bytes.size(); ++at)
        if (bytes[at] == 0xff && bytes[at + 1] == 0xc4 && !huffman_segment_fits(bytes, at + 2))
            return false;
    return true;
}

image_outcome read_stb_image(std::FILE* stream, const char* format, size_t texel_budget,
                             rgba_image& image, std::string& reason) {
    std::vector<unsigned char> bytes;
    if (!read_whole_file(stream, bytes, reason))
        return image_outcome::unreadable;
    if (std::strcmp(format, "JPEG") == 0 && !jpeg_tables_fit(bytes)) {
        reason = "JPEG: a Huffman table of more than 256 codes";
        return image_outcome::unreadable;
    }
    const int length = static_cast<int>(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info_from_memory(bytes.data(), length, &width, &height, &channels) == 0) {
        reason = std::string(format) + ": " + stbi_failure_reason();
        return image_outcome::unreadable;
    }
    if (!fits_budget(width, height, texel_budget)) {
        set_over_budget(reason, width, height, texel_budget);
        return image_outcome::over_budget;
    }
    const size_t texel_bytes = size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(height);
    stb_allowance = bytes.size() + 4 * texel_bytes + (size_t{1} << 20);
    stb_allocated = 0;
    stbi_uc* texels = stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 4);
    if (texels == nullptr) {
        reason = std::string(format) + ": " + stbi_failure_reason();
        return image_outcome::unreadable;
    }
    image.width = width;
    image.height = height;
    image.texels.assign(texels, texels + texel_bytes);
    stbi_image_free(texels);
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
