// The texture decoder on arbitrary bytes: PNG, JPEG and BMP through
// stb_image, anything else through the TGA decoder, under a texel budget
// the first byte chooses; then the conversion the upload makes. A first
// byte with its top bit set sends the rest to the shader script reader
// instead. A decoded image must be whole and within its budget.
#include "fuzz/fuzz_support.h"
#include "image/image_file.h"
#include "image/shader_scripts.h"
#include "image/texture_pixels.h"
#include "platform/gl.h"

#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// The largest texture side is kept small so that resampling stays cheap.
constexpr int32_t texture_side_limit = 512;

void fuzz_image(const uint8_t* data, size_t size, size_t texel_budget) {
    std::FILE* stream = open_bytes(data, size);
    if (stream == nullptr)
        return;
    rgba_image image;
    std::string reason;
    const image_outcome outcome = read_image(stream, "fuzz.image", texel_budget, image, reason);
    std::fclose(stream);
    if (outcome != image_outcome::decoded) {
        check(!reason.empty() && image.texels.empty());
        return;
    }
    check(image.width >= 1 && image.height >= 1);
    const size_t texel_bytes =
        size_t{4} * static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    check(image.texels.size() == texel_bytes && texel_bytes <= texel_budget);
    const tga_image view{image.width, image.height, 4, GL_RGBA, 0, 0, nullptr, image.texels.data()};
    texture_pixels texture{};
    if (make_texture_pixels(view, texture_side_limit, texture)) {
        check(texture.width >= 1 && texture.width <= texture_side_limit && texture.height >= 1 &&
              texture.height <= texture_side_limit);
        std::free(texture.owned);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silence_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    if ((data[0] & 0x80) != 0) {
        const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
        for (const shader_definition& definition : parse_shader_script(text))
            check(definition.images.size() <= 3);
        return 0;
    }
    // From 4 KiB, one 32 x 32 image, to 512 KiB in steps of 4 KiB.
    const size_t texel_budget = (size_t{data[0]} + 1) << 12;
    fuzz_image(data + 1, size - 1, texel_budget);
    return 0;
}
