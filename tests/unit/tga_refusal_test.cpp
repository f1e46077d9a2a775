// What the decoder refuses and says: every refusal with its exact reason, the
// progress lines, files cut at every length, and headers that claim more
// than the file holds.
#include "image/tga.h"
#include "image/tga_readers.h"
#include "support/temp_dir.h"
#include "tests/fixtures/tga_builder.h"
#include "tests/fixtures/tga_console.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// Decodes and releases; true when an image came back.
bool decodes(const std::string& file, const char* path = "test.tga") {
    byte_stream stream(file);
    tga_image* image = read_tga(stream.get(), path, true);
    free_tga(image);
    return image != nullptr;
}

// A 3 x 2 true-colour image with a footer, the base most cases change.
tga_fields valid_fields() {
    tga_fields fields;
    fields.width = 3;
    fields.height = 2;
    fields.pixels.assign(18, 0x40);
    fields.footer = true;
    return fields;
}

tga_fields with(std::function<void(tga_fields&)> change) {
    tga_fields fields = valid_fields();
    change(fields);
    return fields;
}

struct refusal_case {
    const char* cause;
    std::string file;
    std::string reason;
};

TEST(TgaRefusal, EveryRefusalReturnsNullWithItsReason) {
    const std::string channel = "TGA: channel sizes other than 8 bits are unimplemented";
    const refusal_case cases[] = {
        {"file shorter than a footer", std::string(25, '\0'),
         "TGA: Cannot read footer from \"test.tga\""},
        {"ID field past the end", tga_file(with([](tga_fields& s) {
             s.id_length = 255;
             s.pixels.clear();
         })),
         fmemopen_seeks_beyond_end ? "TGA: error reading (ftell == 44, width=3)\n"
                                   : "TGA: Cannot skip ID field in \"test.tga\""},
        {"zero width", tga_file(with([](tga_fields& s) { s.width = 0; })),
         "TGA: width, height, or bpp is zero in \"test.tga\""},
        {"zero height", tga_file(with([](tga_fields& s) { s.height = 0; })),
         "TGA: width, height, or bpp is zero in \"test.tga\""},
        {"zero bpp", tga_file(with([](tga_fields& s) { s.bpp = 0; })),
         "TGA: width, height, or bpp is zero in \"test.tga\""},
        {"type 0", tga_file(with([](tga_fields& s) { s.image_type = 0; })),
         "TGA: unrecognized image type 0\n"},
        {"type 4", tga_file(with([](tga_fields& s) { s.image_type = 4; })),
         "TGA: unrecognized image type 4\n"},
        {"type 8", tga_file(with([](tga_fields& s) { s.image_type = 8; })),
         "TGA: unrecognized image type 8\n"},
        {"type 12", tga_file(with([](tga_fields& s) { s.image_type = 12; })),
         "TGA: unrecognized image type 12\n"},
        {"type 255", tga_file(with([](tga_fields& s) { s.image_type = 255; })),
         "TGA: unrecognized image type 255\n"},
        {"16-bit true-colour", tga_file(with([](tga_fields& s) { s.bpp = 16; })), channel},
        {"16-bit true-colour RLE", tga_file(with([](tga_fields& s) {
             s.image_type = 10;
             s.bpp = 16;
         })),
         channel},
        {"16-bit greyscale", tga_file(with([](tga_fields& s) {
             s.image_type = 3;
             s.bpp = 16;
         })),
         channel},
        {"16-bit indices", tga_file(with([](tga_fields& s) {
             s.image_type = 1;
             s.bpp = 16;
             s.color_map_type = 1;
         })),
         channel},
        {"indexed without a map", tga_file(with([](tga_fields& s) {
             s.image_type = 1;
             s.bpp = 8;
         })),
         "TGA: indexed image has invalid color map type 0\n"},
        {"true-colour with a map", tga_file(with([](tga_fields& s) { s.color_map_type = 1; })),
         "TGA: non-indexed image has invalid color map type 1\n"},
        {"greyscale with map type 2", tga_file(with([](tga_fields& s) {
             s.image_type = 11;
             s.bpp = 8;
             s.color_map_type = 2;
         })),
         "TGA: non-indexed image has invalid color map type 2\n"},
        {"empty colour map", tga_file(with([](tga_fields& s) {
             s.image_type = 9;
             s.bpp = 8;
             s.color_map_type = 1;
             s.color_map_size = 24;
         })),
         "TGA: invalid color map length 0"},
        {"16-bit colour map", tga_file(with([](tga_fields& s) {
             s.image_type = 1;
             s.bpp = 8;
             s.color_map_type = 1;
             s.color_map_length = 1;
             s.color_map_size = 16;
         })),
         channel},
        {"colour map cut short", tga_file(with([](tga_fields& s) {
             s.image_type = 1;
             s.bpp = 8;
             s.color_map_type = 1;
             s.color_map_length = 10;
             s.color_map_size = 24;
             s.color_map.assign(8, 1);
             s.pixels.clear();
             s.footer = false;
         })),
         "TGA: error reading colormap (ftell == 26)\n"},
        {"pixel data one byte short", tga_file(with([](tga_fields& s) {
                                          s.pixels.resize(17);
                                          s.footer = false;
                                          s.trailing = std::string(9, 'x');
                                      })).substr(0, 18 + 17),
         "TGA: error reading (ftell == 35, width=3)\n"},
        {"run-length data one byte short",
         [] {
             tga_fields s = valid_fields();
             s.image_type = 10;
             s.footer = false;
             s.pixels.assign(18, 0);
             for (int i = 0; i < 18; ++i)
                 s.pixels[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
             std::string file = tga_file(s);
             return file.substr(0, file.size() - 1);
         }(),
         "TGA: error reading (ftell == 36, width=3)\n"},
    };
    for (const refusal_case& c : cases) {
        SCOPED_TRACE(c.cause);
        std::strcpy(tga_error, "stale reason");
        EXPECT_FALSE(decodes(c.file));
        EXPECT_EQ(std::string(tga_error), c.reason);
    }
}

TEST(TgaRefusal, HeaderClaimingGigabytesInA30ByteFileFailsBeforeReadingRows) {
    for (int image_type : {2, 10}) {
        SCOPED_TRACE("type " + std::to_string(image_type));
        tga_fields fields;
        fields.image_type = image_type;
        fields.width = 65535;
        fields.height = 65535;
        fields.bpp = 32;
        fields.encode = false;
        fields.pixels.assign(12, 0xFF);
        const std::string file = tga_file(fields);
        ASSERT_EQ(file.size(), 30u);
        tga_console console(3); // traces every read and packet
        EXPECT_FALSE(decodes(file));
        const std::string output = console.text();
        EXPECT_EQ(output.find("fread"), std::string::npos) << output;
        EXPECT_EQ(output.find("packet"), std::string::npos) << output;
        EXPECT_EQ(std::string(tga_error), "TGA: error reading (ftell == 30, width=65535)\n");
    }
}

TEST(TgaRefusal, LongPathIsCutToFitTheReasonBuffer) {
    const std::string path(1000, 'p');
    EXPECT_FALSE(decodes("short", path.c_str()));
    const std::string reason(tga_error);
    EXPECT_EQ(reason.size(), sizeof tga_error - 1);
    EXPECT_EQ(reason.rfind("TGA: Cannot read footer from \"ppp", 0), 0u);
}

// The valid files of every type, without trailing bytes, so that any cut
// loses data the image needs.
std::vector<std::string> valid_files() {
    std::vector<std::string> files;
    const int types[][2] = {{1, 8}, {2, 24}, {2, 32}, {3, 8}, {9, 8}, {10, 24}, {10, 32}, {11, 8}};
    for (const auto& type : types) {
        tga_fields fields;
        fields.image_type = type[0];
        fields.bpp = type[1];
        fields.width = 5;
        fields.height = 4;
        fields.id = "id";
        const int element_size = type[1] / 8;
        for (int i = 0; i < 20 * element_size; ++i)
            fields.pixels.push_back(static_cast<uint8_t>(i / 7 % 2 == 0 ? 3 : i));
        if (type[0] % 8 == 1) {
            fields.color_map_type = 1;
            fields.color_map_index = 1;
            fields.color_map_length = 40;
            fields.color_map_size = 24;
            fields.color_map.assign(120, 9);
        }
        files.push_back(tga_file(fields));
    }
    return files;
}

TEST(TgaRefusal, EveryValidFileCutAtEveryLengthFailsCleanly) {
    for (const std::string& file : valid_files()) {
        ASSERT_TRUE(decodes(file)) << tga_error;
        for (size_t length = 0; length < file.size(); ++length) {
            SCOPED_TRACE("type " + std::to_string(file[2]) + " cut at " + std::to_string(length));
            EXPECT_FALSE(decodes(file.substr(0, length)));
        }
    }
}

TEST(TgaRefusal, ChangedHeaderBytesNeverCrashTheDecoder) {
    // Any outcome is fine as long as an image that comes back is whole.
    for (const std::string& file : valid_files())
        for (size_t offset = 0; offset < 18; ++offset)
            for (int value : {0x00, 0x01, 0x02, 0x09, 0x10, 0x7F, 0x80, 0xFF}) {
                std::string changed = file;
                changed[offset] = static_cast<char>(value);
                byte_stream stream(changed);
                tga_image* image = read_tga(stream.get(), "changed.tga", offset % 2 == 0);
                if (image != nullptr) {
                    const auto* header = reinterpret_cast<const uint8_t*>(changed.data());
                    EXPECT_EQ(image->width, header[12] + 256 * header[13]);
                    EXPECT_EQ(image->height, header[14] + 256 * header[15]);
                    const size_t size =
                        static_cast<size_t>(image->width) * image->height * image->components;
                    std::vector<uint8_t> copy(image->pixels, image->pixels + size);
                    EXPECT_EQ(copy.size(), size);
                }
                free_tga(image);
            }
}

TEST(TgaProgress, LevelOneNarratesADecodeStepByStep) {
    tga_fields fields;
    fields.image_type = 9;
    fields.bpp = 8;
    fields.width = 3;
    fields.height = 2;
    fields.descriptor = 0x10;
    fields.id = "hello";
    fields.color_map_type = 1;
    fields.color_map_index = 2;
    fields.color_map_length = 3;
    fields.color_map_size = 24;
    fields.color_map.assign(9, 1);
    fields.pixels = {2, 3, 4, 4, 4, 2};
    fields.trailing = "extension area";
    fields.footer = true;
    tga_console console(1);
    EXPECT_TRUE(decodes(tga_file(fields)));
    EXPECT_EQ(console.text(), "TGA: found New TGA\n"
                              "TGA: idLength=5, colorMapType=1\n"
                              "TGA: ID field: \"hello\"\n"
                              "TGA: width=3, height=2, bpp=8\n"
                              "TGA: horizontal reversed\n"
                              "TGA: vertical reversed\n"
                              "TGA: vertical flip requested\n"
                              "TGA: run-length encoded\n"
                              "TGA: 8 bit indexed image (24 bit palette)\n"
                              "TGA: reading color map (2 + 3) * (24 / 8)\n"
                              "TGA: too much input data, ignoring extra...\n");
}

TEST(TgaProgress, LevelOneNamesEachKindOfImage) {
    const struct {
        int image_type;
        int bpp;
        const char* line;
    } cases[] = {
        {2, 32, "TGA: 32 bit color image with alpha channel\n"},
        {2, 24, "TGA: 24 bit color image\n"},
        {2, 16, "TGA: 16 bit color image\n"},
        {3, 8, "TGA: 8 bit grayscale image\n"},
    };
    for (const auto& c : cases) {
        tga_fields fields = valid_fields();
        fields.image_type = c.image_type;
        fields.bpp = c.bpp;
        fields.footer = false;
        fields.descriptor = 0x20;
        fields.pixels.assign(30, 0);
        tga_console console(1);
        decodes(tga_file(fields));
        const std::string output = console.text();
        EXPECT_NE(output.find(c.line), std::string::npos) << output;
        EXPECT_NE(output.find("TGA: found Original TGA\n"), std::string::npos);
    }
}

TEST(TgaProgress, RefusalIsPrintedFollowedByAnEmptyLineWhenItEndsInANewline) {
    tga_console console(1);
    decodes(tga_file(with([](tga_fields& s) { s.image_type = 4; })));
    const std::string output = console.text();
    EXPECT_NE(output.find("\nTGA: unrecognized image type 4\n\n"), std::string::npos) << output;
}

TEST(TgaProgress, ShortPixelDataIsReportedOnceWithItsPosition) {
    tga_fields fields = valid_fields();
    fields.image_type = 10;
    fields.footer = false;
    fields.encode = false;
    // One run covering the first row, then nothing more: the file still
    // holds enough bytes to look plausible (the ID field pads it).
    fields.id = std::string(20, 'i');
    fields.pixels = {0x82, 1, 2, 3};
    tga_console console(1);
    EXPECT_FALSE(decodes(tga_file(fields)));
    const std::string output = console.text();
    EXPECT_NE(output.find("TGA: hit EOF while looking for count\n"
                          "TGA: error reading (ftell == 42, width=3)\n"),
              std::string::npos)
        << output;
    EXPECT_EQ(std::string(tga_error), "TGA: error reading (ftell == 42, width=3)\n");
}

TEST(TgaProgress, IdFieldIsShownUpToItsFirstNulRightAligned) {
    tga_fields fields = valid_fields();
    fields.id = std::string("ab\0cde", 6);
    tga_console console(1);
    EXPECT_TRUE(decodes(tga_file(fields)));
    const std::string output = console.text();
    EXPECT_NE(output.find("TGA: ID field: \"    ab\"\n"), std::string::npos) << output;
}

TEST(TgaProgress, UnreadableIdFieldIsReportedAndDecodingGoesOn) {
    tga_fields fields = valid_fields();
    fields.id_length = 200;
    fields.footer = false;
    fields.pixels.assign(12, 0);
    tga_console console(1);
    EXPECT_FALSE(decodes(tga_file(fields)));
    const std::string output = console.text();
    EXPECT_NE(output.find("TGA: Cannot read ID field in \"test.tga\"\n"
                          "TGA: width=3, height=2, bpp=24\n"),
              std::string::npos)
        << output;
}

TEST(LoadTga, ReturnsTheImageTopRowFirst) {
    tga_fields fields = valid_fields();
    fields.descriptor = 0x00;
    fields.pixels.assign(9, 1);
    fields.pixels.resize(18, 2);
    temp_dir dir;
    dir.write("map.tga", tga_file(fields));
    tga_load_failure failure;
    tga_image* image = load_tga(dir.file("map.tga").c_str(), failure);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels[0], 2) << "the file's last row is the picture's top";
    EXPECT_EQ(image->pixels[17], 1);
    free_tga(image);
}

TEST(LoadTga, MissingOrUndecodableFileGivesNoImageAndSaysWhy) {
    tga_load_failure missing;
    EXPECT_EQ(load_tga("/nonexistent/map.tga", missing), nullptr);
    EXPECT_STREQ(missing.action, "cannot open");
    EXPECT_EQ(missing.reason, std::strerror(ENOENT));
    tga_load_failure empty;
    EXPECT_EQ(load_tga("/dev/null", empty), nullptr);
    EXPECT_STREQ(empty.action, "cannot use");
    EXPECT_FALSE(empty.reason.empty());
}

} // namespace
