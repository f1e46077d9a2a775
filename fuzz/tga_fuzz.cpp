// The TGA decoder on arbitrary bytes, with and without the vertical flip and
// at the silent and the most talkative log level, then the conversion the
// environment texture makes of a decoded image. Both decodes must agree:
// the same outcome, and the same rows in opposite order.
#include "fuzz/fuzz_support.h"
#include "image/texture_pixels.h"
#include "image/tga.h"
#include "image/tga_readers.h"

#include <cstdlib>
#include <cstring>

namespace {

tga_image* decode(const uint8_t* data, size_t size, bool flip, int log_level) {
    std::FILE* stream = open_bytes(data, size);
    if (stream == nullptr)
        return nullptr;
    tga_log_level = log_level;
    tga_image* image = read_tga(stream, "fuzz.tga", flip);
    tga_log_level = 0;
    std::fclose(stream);
    return image;
}

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// Same size and layout, and row k of one is row height - 1 - k of the other.
void check_flipped_pair(const tga_image& bottom_first, const tga_image& top_first) {
    check(bottom_first.width == top_first.width && bottom_first.height == top_first.height &&
          bottom_first.components == top_first.components &&
          bottom_first.format == top_first.format &&
          bottom_first.color_map_entries == top_first.color_map_entries);
    check(bottom_first.width >= 1 && bottom_first.height >= 1);
    const size_t row_bytes = static_cast<size_t>(bottom_first.width) * bottom_first.components;
    const size_t height = static_cast<size_t>(bottom_first.height);
    for (size_t row = 0; row < height; ++row)
        check(std::memcmp(bottom_first.pixels + row * row_bytes,
                          top_first.pixels + (height - 1 - row) * row_bytes, row_bytes) == 0);
    if (bottom_first.color_map_entries > 0)
        check(std::memcmp(bottom_first.color_map, top_first.color_map,
                          static_cast<size_t>(bottom_first.color_map_entries) * 3) == 0);
}

// The largest texture side is kept small so that resampling stays cheap.
constexpr int32_t texture_side_limit = 512;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silence_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tga_image* bottom_first = decode(data, size, false, 0);
    tga_image* top_first = decode(data, size, true, 3);
    check((bottom_first == nullptr) == (top_first == nullptr));
    if (bottom_first != nullptr && top_first != nullptr) {
        check_flipped_pair(*bottom_first, *top_first);
        texture_pixels texture{};
        if (make_texture_pixels(*top_first, texture_side_limit, texture)) {
            check(texture.width >= 1 && texture.width <= texture_side_limit &&
                  texture.height >= 1 && texture.height <= texture_side_limit);
            std::free(texture.owned);
        }
    }
    free_tga(bottom_first);
    free_tga(top_first);
    return 0;
}
