#include "image/texture_pixels.h"

#include "platform/gl.h"

#include <cstdlib>
#include <cstring>

namespace {

unsigned char* expand_color_indices(const tga_image& image) {
    const size_t pixel_count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    auto* rgb = static_cast<unsigned char*>(std::malloc(pixel_count * 3));
    if (rgb == nullptr)
        return nullptr;
    for (size_t i = 0; i < pixel_count; ++i) {
        const int index = image.pixels[i];
        if (index < image.color_map_entries)
            std::memcpy(rgb + 3 * i, image.color_map + 3 * index, 3);
        else
            std::memset(rgb + 3 * i, 0, 3);
    }
    return rgb;
}

int32_t power_of_two_size(int32_t size, int32_t max_size) {
    int32_t power = 1;
    while (power < size && power <= max_size / 2)
        power *= 2;
    return power;
}

// Nearest source pixel for each target pixel. GLU's own rescaling, the
// alternative, leaves the last row black when only the width changes.
unsigned char* resample(const unsigned char* pixels, int32_t width, int32_t height,
                        int32_t components, int32_t new_width, int32_t new_height) {
    const size_t pixel_size = static_cast<size_t>(components);
    auto* out = static_cast<unsigned char*>(
        std::malloc(static_cast<size_t>(new_width) * static_cast<size_t>(new_height) * pixel_size));
    if (out == nullptr)
        return nullptr;
    unsigned char* target = out;
    for (int32_t y = 0; y < new_height; ++y) {
        const size_t source_y = static_cast<size_t>(int64_t{y} * height / new_height);
        const unsigned char* source_row =
            pixels + source_y * static_cast<size_t>(width) * pixel_size;
        for (int32_t x = 0; x < new_width; ++x, target += pixel_size) {
            const size_t source_x = static_cast<size_t>(int64_t{x} * width / new_width);
            std::memcpy(target, source_row + source_x * pixel_size, pixel_size);
        }
    }
    return out;
}

} // namespace

bool make_texture_pixels(const tga_image& image, int32_t max_size, texture_pixels& result) {
    result = {image.width, image.height, image.format, image.pixels, nullptr};
    int32_t components = image.components;
    if (image.format == GL_COLOR_INDEX) {
        result.owned = expand_color_indices(image);
        if (result.owned == nullptr)
            return false;
        result.pixels = result.owned;
        result.format = GL_RGB;
        components = 3;
    }
    const int32_t width = power_of_two_size(image.width, max_size);
    const int32_t height = power_of_two_size(image.height, max_size);
    if (width == image.width && height == image.height)
        return true;
    unsigned char* resampled =
        resample(result.pixels, image.width, image.height, components, width, height);
    std::free(result.owned);
    result = {width, height, result.format, resampled, resampled};
    return resampled != nullptr;
}
