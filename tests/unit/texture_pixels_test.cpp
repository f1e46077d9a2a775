// Decoded images as the texture upload takes them: own layout when OpenGL
// can take it, colour indices looked up, sides resampled to powers of two.
#include "image/texture_pixels.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

tga_image image_of(int width, int height, int components, uint32_t format, bytes& pixels) {
    return {width, height, components, format, 0, 0, nullptr, pixels.data()};
}

bytes copied(const texture_pixels& upload, int components) {
    return bytes(upload.pixels,
                 upload.pixels + static_cast<size_t>(upload.width) * upload.height * components);
}

TEST(TexturePixels, PowerOfTwoImageIsUploadedFromTheDecodedBufferInItsOwnOrder) {
    for (uint32_t format : {GL_BGR_EXT, GL_BGRA_EXT, GL_LUMINANCE}) {
        bytes pixels(4 * 2 * 4, 7);
        const tga_image image = image_of(4, 2, 3, format, pixels);
        texture_pixels upload{};
        ASSERT_TRUE(make_texture_pixels(image, 1024, upload));
        EXPECT_EQ(upload.format, format);
        EXPECT_EQ(upload.pixels, pixels.data());
        EXPECT_EQ(upload.owned, nullptr);
        EXPECT_EQ(upload.width, 4);
        EXPECT_EQ(upload.height, 2);
    }
}

TEST(TexturePixels, ColourIndicesBecomeTheirEntriesAndMissingEntriesBlack) {
    bytes map{0, 0, 0, 10, 20, 30, 40, 50, 60}; // entry 0 lies in front of the stored ones
    bytes pixels{1, 2, 0, 3};
    tga_image image = image_of(2, 2, 1, GL_COLOR_INDEX, pixels);
    image.color_map_entries = 3;
    image.color_map = map.data();
    texture_pixels upload{};
    ASSERT_TRUE(make_texture_pixels(image, 1024, upload));
    EXPECT_EQ(upload.format, static_cast<uint32_t>(GL_RGB));
    EXPECT_EQ(copied(upload, 3), (bytes{10, 20, 30, 40, 50, 60, 0, 0, 0, 0, 0, 0}));
    std::free(upload.owned);
}

TEST(TexturePixels, OddSidesAreResampledUpToTheNextPowerOfTwo) {
    // 3 x 5 grey values y * 10 + x become 4 x 8, each from its nearest source.
    bytes pixels;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x)
            pixels.push_back(static_cast<uint8_t>(y * 10 + x));
    const tga_image image = image_of(3, 5, 1, GL_LUMINANCE, pixels);
    texture_pixels upload{};
    ASSERT_TRUE(make_texture_pixels(image, 1024, upload));
    ASSERT_EQ(upload.width, 4);
    ASSERT_EQ(upload.height, 8);
    EXPECT_EQ(copied(upload, 1),
              (bytes{0,  0,  1,  2,  0,  0,  1,  2,  10, 10, 11, 12, 10, 10, 11, 12,
                     20, 20, 21, 22, 30, 30, 31, 32, 30, 30, 31, 32, 40, 40, 41, 42}));
    std::free(upload.owned);
}

TEST(TexturePixels, ColourMappedOddImageIsLookedUpThenResampled) {
    bytes map{1, 2, 3, 4, 5, 6};
    bytes pixels{0, 1, 1};
    tga_image image = image_of(3, 1, 1, GL_COLOR_INDEX, pixels);
    image.color_map_entries = 2;
    image.color_map = map.data();
    texture_pixels upload{};
    ASSERT_TRUE(make_texture_pixels(image, 1024, upload));
    EXPECT_EQ(upload.format, static_cast<uint32_t>(GL_RGB));
    EXPECT_EQ(copied(upload, 3), (bytes{1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6}));
    std::free(upload.owned);
}

TEST(TexturePixels, SidesStopAtTheLargestTextureSize) {
    bytes pixels(300 * 4, 9);
    const tga_image image = image_of(300, 1, 4, GL_BGRA_EXT, pixels);
    texture_pixels upload{};
    ASSERT_TRUE(make_texture_pixels(image, 64, upload));
    EXPECT_EQ(upload.width, 64);
    EXPECT_EQ(upload.height, 1);
    EXPECT_EQ(copied(upload, 4), bytes(64 * 4, 9));
    std::free(upload.owned);
}

} // namespace
