#include "image/stb_decoders.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// What stb_image may yet allocate while it decodes one image, all its
// buffers together, and what it holds.
size_t stb_allowance = 0;
size_t stb_allocated = 0;

// Each block starts with its size, so that realloc and free can count it.
constexpr size_t block_header = 16;

// Blocks come zeroed: stb_image 2.27 reads the Huffman tables of its
// decoder state even when the file never defined the table a scan names.
void* stb_allocate(size_t size) {
    if (size > stb_allowance - stb_allocated || size > SIZE_MAX - block_header)
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::calloc(1, size + block_header));
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

// Private to this file: its functions are static, so they never meet
// another copy of stb_image that a program links. The file is built with
// -fwrapv, as stb_image's arithmetic on damaged data assumes.
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

} // namespace

bool stb_image_size(const std::vector<unsigned char>& bytes, int& width, int& height,
                    std::string& reason) {
    if (bytes.size() >= 2 && bytes[0] == 0xff && bytes[1] == 0xd8 && !jpeg_tables_fit(bytes)) {
        reason = "a Huffman table of more than 256 codes";
        return false;
    }
    // Reading a header takes stb_image's decoder state, not the image.
    stb_allowance = size_t{1} << 20;
    stb_allocated = 0;
    int channels = 0;
    if (stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                              &channels) == 0) {
        reason = stbi_failure_reason();
        return false;
    }
    return true;
}

bool stb_decode_rgba(const std::vector<unsigned char>& bytes, size_t allowance,
                     std::vector<unsigned char>& texels, std::string& reason) {
    stb_allowance = allowance;
    stb_allocated = 0;
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* decoded = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width,
                                             &height, &channels, 4);
    if (decoded == nullptr) {
        reason = stbi_failure_reason();
        return false;
    }
    texels.assign(decoded,
                  decoded + size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(height));
    stbi_image_free(decoded);
    return true;
}
