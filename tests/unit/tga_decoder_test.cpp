// Decoded pixels of every image type, orientation and framing against
// stb_image, an independent decoder, reading the very same bytes.
#include "image/tga.h"
#include "tests/fixtures/tga_builder.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STBI_ONLY_TGA
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

using bytes = std::vector<uint8_t>;

struct image_kind {
    const char* name;
    int image_type;
    int bpp;
};

const image_kind kinds[] = {
    {"colour-mapped", 1, 8},        {"true-colour 24", 2, 24},
    {"true-colour 32", 2, 32},      {"greyscale", 3, 8},
    {"colour-mapped RLE", 9, 8},    {"true-colour 24 RLE", 10, 24},
    {"true-colour 32 RLE", 10, 32}, {"greyscale RLE", 11, 8},
};

// The colour-mapped images store entries 2 to 21; indices 0 and 1 name the
// black entries in front of them.
constexpr int first_index = 2;
constexpr int stored_entries = 20;

bytes stored_color_map() {
    bytes map;
    for (int entry = 0; entry < stored_entries; ++entry) {
        map.push_back(static_cast<uint8_t>(entry * 10 + 1));  // blue
        map.push_back(static_cast<uint8_t>(entry * 7 + 2));   // green
        map.push_back(static_cast<uint8_t>(255 - entry * 9)); // red
    }
    return map;
}

bool indexed(const image_kind& kind) {
    return kind.image_type % 8 == 1;
}

// Top row first. Stretches of equal pixels alternate with changing ones, so
// run-length encoding makes run and raw packets of many lengths.
bytes make_picture(const image_kind& kind, int width, int height) {
    const int element_size = kind.bpp / 8;
    bytes picture;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < element_size; ++k) {
                const bool in_run = (x / 5 + y) % 3 == 0;
                const int value = in_run ? y * 13 + k : x * 37 + y * 11 + k * 5;
                picture.push_back(static_cast<uint8_t>(
                    indexed(kind) ? value % (first_index + stored_entries) : value));
            }
    return picture;
}

tga_fields make_fields(const image_kind& kind, const bytes& picture, int width, int height,
                       int descriptor) {
    tga_fields fields;
    fields.image_type = kind.image_type;
    fields.bpp = kind.bpp;
    fields.width = width;
    fields.height = height;
    fields.descriptor = descriptor | (kind.bpp == 32 ? 0x08 : 0x00);
    if (indexed(kind)) {
        fields.color_map_type = 1;
        fields.color_map_index = first_index;
        fields.color_map_length = stored_entries;
        fields.color_map_size = 24;
        fields.color_map = stored_color_map();
    }
    fields.pixels = stored_order(picture, width, height, kind.bpp / 8, descriptor);
    return fields;
}

// stb_image reads a first index as a number of bytes to skip: give it the
// same colours as a map that starts at index 0 with the black entries stored.
tga_fields as_stb_reads_it(tga_fields fields) {
    if (fields.color_map_type == 1) {
        fields.color_map.insert(fields.color_map.begin(), 3 * fields.color_map_index, 0);
        fields.color_map_length += fields.color_map_index;
        fields.color_map_index = 0;
    }
    return fields;
}

// Our image as red, green, blue (and alpha), colour indices looked up in the
// decoded map.
bytes as_rgb(const tga_image& image) {
    bytes rgb;
    const size_t pixel_count = static_cast<size_t>(image.width) * image.height;
    for (size_t i = 0; i < pixel_count; ++i) {
        const uint8_t* pixel = image.pixels + i * image.components;
        if (image.format == GL_COLOR_INDEX) {
            EXPECT_LT(pixel[0], image.color_map_entries);
            rgb.insert(rgb.end(), image.color_map + 3 * pixel[0],
                       image.color_map + 3 * pixel[0] + 3);
        } else if (image.components == 1) {
            rgb.push_back(pixel[0]);
        } else {
            rgb.insert(rgb.end(), {pixel[2], pixel[1], pixel[0]});
            if (image.components == 4)
                rgb.push_back(pixel[3]);
        }
    }
    return rgb;
}

// stb_image leaves the right-to-left bit aside; undo that order to compare.
bytes unmirrored(const bytes& rgb, int width, int height, int channels) {
    bytes out(rgb.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                out[(static_cast<size_t>(y) * width + x) * channels + c] =
                    rgb[(static_cast<size_t>(y) * width + (width - 1 - x)) * channels + c];
    return out;
}

bytes rows_reversed(const bytes& rgb, int width, int height, int channels) {
    bytes out;
    const size_t row_bytes = static_cast<size_t>(width) * channels;
    for (int y = height - 1; y >= 0; --y)
        out.insert(out.end(), rgb.begin() + y * row_bytes, rgb.begin() + (y + 1) * row_bytes);
    return out;
}

struct image_deleter {
    void operator()(tga_image* image) const { free_tga(image); }
};
using image_ptr = std::unique_ptr<tga_image, image_deleter>;

image_ptr decode(const std::string& file, bool flip) {
    byte_stream stream(file);
    return image_ptr(read_tga(stream.get(), "test.tga", flip));
}

bytes decode_with_stb(const std::string& file, int& width, int& height, int& channels) {
    stbi_uc* data =
        stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(file.data()),
                              static_cast<int>(file.size()), &width, &height, &channels, 0);
    EXPECT_NE(data, nullptr) << stbi_failure_reason();
    if (data == nullptr)
        return {};
    bytes out(data, data + static_cast<size_t>(width) * height * channels);
    stbi_image_free(data);
    return out;
}

struct framing {
    const char* name;
    std::string id;
    std::string trailing;
    bool footer;
};

const framing framings[] = {
    {"bare", "", "", false},
    {"ID field and 2.0 footer", "aseview test image", "", true},
    {"trailing bytes", "", std::string("\x01\x02\x03\x04\x05", 5), false},
};

TEST(TgaDecoder, EveryTypeOrientationWidthAndFramingMatchesStbImage) {
    const int widths[] = {1, 7, 130};
    const int height = 9; // a 1-pixel-wide image still fills the 26 bytes a footer takes
    for (const image_kind& kind : kinds)
        for (int descriptor : {0x00, 0x10, 0x20, 0x30})
            for (int width : widths)
                for (const framing& frame : framings) {
                    SCOPED_TRACE(std::string(kind.name) + ", descriptor " +
                                 std::to_string(descriptor) + ", width " + std::to_string(width) +
                                 ", " + frame.name);
                    const bytes picture = make_picture(kind, width, height);
                    tga_fields fields = make_fields(kind, picture, width, height, descriptor);
                    fields.id = frame.id;
                    fields.trailing = frame.trailing;
                    fields.footer = frame.footer;

                    const image_ptr top_first = decode(tga_file(fields), true);
                    const image_ptr bottom_first = decode(tga_file(fields), false);
                    ASSERT_NE(top_first, nullptr) << tga_error;
                    ASSERT_NE(bottom_first, nullptr) << tga_error;
                    EXPECT_EQ(top_first->width, width);
                    EXPECT_EQ(top_first->height, height);
                    EXPECT_EQ(top_first->components, kind.bpp / 8);

                    int stb_width = 0, stb_height = 0, channels = 0;
                    bytes expected = decode_with_stb(tga_file(as_stb_reads_it(fields)), stb_width,
                                                     stb_height, channels);
                    ASSERT_EQ(stb_width, width);
                    ASSERT_EQ(stb_height, height);
                    if ((descriptor & 0x10) != 0)
                        expected = unmirrored(expected, width, height, channels);
                    EXPECT_EQ(as_rgb(*top_first), expected);
                    EXPECT_EQ(as_rgb(*bottom_first),
                              rows_reversed(expected, width, height, channels));
                }
}

TEST(TgaDecoder, TrueColourKeepsFileByteOrderAndNamesIt) {
    const struct {
        int bpp;
        uint32_t format;
    } cases[] = {{24, GL_BGR_EXT}, {32, GL_BGRA_EXT}};
    for (const auto& c : cases) {
        tga_fields fields;
        fields.bpp = c.bpp;
        fields.pixels = {10, 20, 30, 40};
        fields.pixels.resize(static_cast<size_t>(c.bpp / 8));
        fields.footer = true; // files shorter than a footer are refused
        const image_ptr image = decode(tga_file(fields), true);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->format, c.format);
        EXPECT_EQ(bytes(image->pixels, image->pixels + c.bpp / 8), fields.pixels);
        EXPECT_EQ(image->color_map, nullptr);
        EXPECT_EQ(image->color_map_entries, 0);
        EXPECT_EQ(image->color_map_format, 0u);
    }
}

TEST(TgaDecoder, ColourMapWithFirstIndexTwoHasTwoBlackEntriesThenTheFileEntriesAsRgb) {
    tga_fields fields;
    fields.image_type = 1;
    fields.bpp = 8;
    fields.color_map_type = 1;
    fields.color_map_index = 2;
    fields.color_map_length = 3;
    fields.color_map_size = 24;
    fields.color_map = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    fields.pixels = {4};
    const image_ptr image = decode(tga_file(fields), true);
    ASSERT_NE(image, nullptr) << tga_error;
    EXPECT_EQ(image->format, static_cast<uint32_t>(GL_COLOR_INDEX));
    EXPECT_EQ(image->color_map_format, static_cast<uint32_t>(GL_RGB));
    ASSERT_EQ(image->color_map_entries, 5);
    EXPECT_EQ(bytes(image->color_map, image->color_map + 15),
              (bytes{0, 0, 0, 0, 0, 0, 3, 2, 1, 6, 5, 4, 9, 8, 7}));
    EXPECT_EQ(image->pixels[0], 4);
}

TEST(TgaDecoder, OrientationBitsAndFlipChooseWhereTheFirstFileRowGoes) {
    const struct {
        int descriptor;
        bool flip;
        bytes buffer; // the file holds rows {1, 2} then {3, 4}
    } cases[] = {
        {0x00, true, {3, 4, 1, 2}},  {0x20, true, {1, 2, 3, 4}},  {0x00, false, {1, 2, 3, 4}},
        {0x20, false, {3, 4, 1, 2}}, {0x10, false, {2, 1, 4, 3}}, {0x30, true, {2, 1, 4, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("descriptor " + std::to_string(c.descriptor) + (c.flip ? " flipped" : ""));
        tga_fields fields;
        fields.image_type = 3;
        fields.bpp = 8;
        fields.width = 2;
        fields.height = 2;
        fields.descriptor = c.descriptor;
        fields.pixels = {1, 2, 3, 4};
        fields.footer = true;
        const image_ptr image = decode(tga_file(fields), c.flip);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(bytes(image->pixels, image->pixels + 4), c.buffer);
    }
}

TEST(TgaDecoder, RunLengthPacketsMayCrossRowsAndReachPastTheLastRow) {
    tga_fields fields;
    fields.image_type = 11;
    fields.bpp = 8;
    fields.width = 3;
    fields.height = 2;
    fields.encode = false;
    // A run of 4 across the row boundary, then a raw packet of 4 of which
    // only 2 belong to the image.
    fields.pixels = {0x83, 7, 0x03, 1, 2, 8, 9};
    fields.footer = true;
    const image_ptr image = decode(tga_file(fields), true);
    ASSERT_NE(image, nullptr) << tga_error;
    EXPECT_EQ(bytes(image->pixels, image->pixels + 6), (bytes{7, 7, 7, 7, 1, 2}));
}

} // namespace
