// TGA files made to hurt the decoder: headers that claim up to 65535 x 65535
// pixels or a full colour map over a few bytes of data, and packets that
// reach past the last row. A file that can never fill its image is refused
// before the pixel buffer is allocated; the checks run in a child process
// whose address space is capped far below what the headers claim.
#include "image/tga.h"
#include "support/posix.h"
#include "tests/fixtures/tga_builder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct image_kind {
    int image_type;
    int bpp;
};

const image_kind kinds[] = {{1, 8}, {2, 24}, {2, 32}, {3, 8}, {9, 8}, {10, 24}, {10, 32}, {11, 8}};

// A header of this kind and size over `data_bytes` bytes of pixel data; the
// colour-mapped kinds get a one-entry map.
tga_fields claiming(const image_kind& kind, int width, int height, int descriptor,
                    size_t data_bytes) {
    tga_fields fields;
    fields.image_type = kind.image_type;
    fields.bpp = kind.bpp;
    fields.width = width;
    fields.height = height;
    fields.descriptor = descriptor;
    fields.encode = false;
    fields.pixels.assign(data_bytes, 0x81);
    if (kind.image_type % 8 == 1) {
        fields.color_map_type = 1;
        fields.color_map_length = 1;
        fields.color_map_size = 24;
        fields.color_map = {1, 2, 3};
    }
    return fields;
}

struct refusal {
    std::string what;
    std::string file;
    std::string reason;
};

// In a death-test child: caps the memory at what the process holds plus
// 256 MiB, decodes every file, and ends with status 0 when each decode
// failed with its reason. A decoder that asked for the gigabytes a header
// claims would get no memory and give another reason, or abort.
[[noreturn]] void decode_with_capped_memory(const std::vector<refusal>& refusals) {
    cap_memory_growth(size_t{256} << 20);
    bool all_refused = true;
    for (const refusal& r : refusals) {
        byte_stream stream(r.file);
        tga_image* image = read_tga(stream.get(), "hostile.tga", true);
        if (image != nullptr || r.reason != tga_error) {
            std::fprintf(stderr, "%s: %s\n", r.what.c_str(),
                         image != nullptr ? "decoded" : tga_error);
            all_refused = false;
        }
        free_tga(image);
    }
    std::exit(all_refused ? 0 : 1);
}

std::string short_pixels(size_t file_size, int width) {
    return "TGA: error reading (ftell == " + std::to_string(file_size) +
           ", width=" + std::to_string(width) + ")\n";
}

struct image_deleter {
    void operator()(tga_image* image) const { free_tga(image); }
};
using image_ptr = std::unique_ptr<tga_image, image_deleter>;

image_ptr decode(const std::string& file) {
    byte_stream stream(file);
    return image_ptr(read_tga(stream.get(), "test.tga", true));
}

} // namespace

TEST(TgaHostileDeathTest, HugeImagesOverAFewBytesAreRefusedBeforeTheirPixelBuffer) {
    const struct { int width, height; } sizes[] = {{65535, 65535}, {65535, 1}, {1, 65535}};
    std::vector<refusal> refusals;
    for (const image_kind& kind : kinds)
        for (const auto& size : sizes)
            for (int descriptor : {0x00, 0x10, 0x20, 0x30}) {
                const std::string file =
                    tga_file(claiming(kind, size.width, size.height, descriptor, 12));
                refusals.push_back(
                    {"type " + std::to_string(kind.image_type) + "/" + std::to_string(kind.bpp) +
                         ", " + std::to_string(size.width) + "x" + std::to_string(size.height) +
                         ", descriptor " + std::to_string(descriptor),
                     file, short_pixels(file.size(), size.width)});
            }
    EXPECT_EXIT(decode_with_capped_memory(refusals), testing::ExitedWithCode(0), "");
}

TEST(TgaHostileDeathTest, FullColourMapOverAFewBytesFailsReadingTheMap) {
    tga_fields fields = claiming(kinds[0], 1, 1, 0x20, 12);
    fields.color_map_index = 65535;
    fields.color_map_length = 65535;
    const std::string file = tga_file(fields);
    EXPECT_EXIT(decode_with_capped_memory({{"full colour map", file,
                                            "TGA: error reading colormap (ftell == " +
                                                std::to_string(file.size()) + ")\n"}}),
                testing::ExitedWithCode(0), "");
}

// A packet may reach past the last row; what lies beyond is read and
// dropped. A raw packet is read whole, so one whose body the file cuts off
// fails even where the image needs only its first element.
TEST(TgaHostile, PacketsReachingPastTheLastRow) {
    const std::vector<uint8_t> element = {10, 20, 30, 40};
    tga_fields fields = claiming({10, 32}, 1, 1, 0x20, 0);
    fields.footer = true;

    fields.pixels = {0xFF};
    fields.pixels.insert(fields.pixels.end(), element.begin(), element.end());
    image_ptr image = decode(tga_file(fields));
    ASSERT_NE(image, nullptr) << "a run of 128 for one pixel: " << tga_error;
    EXPECT_EQ(std::vector<uint8_t>(image->pixels, image->pixels + 4), element);

    fields.pixels = {0x7F};
    for (int i = 0; i < 128; ++i)
        fields.pixels.insert(fields.pixels.end(), element.begin(), element.end());
    fields.pixels[5] = 99; // the second element, beyond the image
    image = decode(tga_file(fields));
    ASSERT_NE(image, nullptr) << "a raw packet of 128 for one pixel: " << tga_error;
    EXPECT_EQ(std::vector<uint8_t>(image->pixels, image->pixels + 4), element);

    fields.footer = false;
    fields.pixels.resize(1 + 4 * 3);
    EXPECT_EQ(decode(tga_file(fields)), nullptr) << "a raw packet of 128 holding 3";
    fields.pixels = {0x85, 1, 2};
    EXPECT_EQ(decode(tga_file(fields)), nullptr) << "a run without its whole element";
}
