// The textures a model's materials name: found in a game tree of our own
// making whatever the case of its names, through paths written on another
// machine and through shader scripts; decoded from every format with alpha
// and the bottom row first; hostile and oversized images refused.
#include "image/image_file.h"
#include "image/material_textures.h"
#include "support/temp_dir.h"
#include "tests/fixtures/tga_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

using bytes = std::vector<unsigned char>;

void append_bytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<size_t>(size));
}

// A picture given top row first, RGBA.
struct picture {
    int width;
    int height;
    bytes rgba;
};

// Opaque blocks of two colours, the top half red and the bottom half blue,
// with alpha 255 - 40 * x, so that row order and alpha both show.
picture two_halves(int width, int height) {
    picture p{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool top = y < height / 2;
            const unsigned char texel[4] = {static_cast<unsigned char>(top ? 250 : 10), 20,
                                            static_cast<unsigned char>(top ? 10 : 250),
                                            static_cast<unsigned char>(255 - 40 * (x % 4))};
            p.rgba.insert(p.rgba.end(), texel, texel + 4);
        }
    return p;
}

std::string png_of(const picture& p) {
    std::string file;
    stbi_write_png_to_func(append_bytes, &file, p.width, p.height, 4, p.rgba.data(), p.width * 4);
    return file;
}

std::string jpeg_of(const picture& p) {
    std::string file;
    stbi_write_jpg_to_func(append_bytes, &file, p.width, p.height, 4, p.rgba.data(), 95);
    return file;
}

std::string bmp_of(const picture& p) {
    std::string file;
    stbi_write_bmp_to_func(append_bytes, &file, p.width, p.height, 4, p.rgba.data());
    return file;
}

// 32-bit true colour, stored top row first.
std::string tga_of(const picture& p) {
    tga_fields fields;
    fields.bpp = 32;
    fields.width = p.width;
    fields.height = p.height;
    fields.descriptor = 0x28;
    for (size_t i = 0; i < p.rgba.size(); i += 4)
        fields.pixels.insert(fields.pixels.end(),
                             {p.rgba[i + 2], p.rgba[i + 1], p.rgba[i], p.rgba[i + 3]});
    return tga_file(fields);
}

std::string one_pixel_png() {
    return png_of(picture{1, 1, {1, 2, 3, 4}});
}

// Writes `content` at `relative`, making its folders.
void put(const temp_dir& root, const std::string& relative, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(root.file(relative)).parent_path());
    root.write(relative, content);
}

std::string slashed(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The file the request's image came from, relative to the root; "" for none.
std::string found_file(const material_texture_set& set, size_t request, const temp_dir& root) {
    const int32_t image = set.image_of_request.at(request);
    if (image < 0)
        return "";
    const std::string file = slashed(set.files.at(static_cast<size_t>(image)));
    const std::string prefix = slashed(root.path()) + "/";
    return file.rfind(prefix, 0) == 0 ? file.substr(prefix.size()) : file;
}

image_outcome decode(const std::string& file, size_t budget, rgba_image& image,
                     std::string& reason) {
    byte_stream stream(file);
    return read_image(stream.get(), "test.image", budget, image, reason);
}

size_t count_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(MaterialTextures, NamesResolveByCaseTailsExtensionsScriptsAndTextureFolders) {
    temp_dir root;
    const std::string model = "Game/models/props/box/box.ase";
    put(root, model, "*3DSMAX_ASCIIEXPORT 200\n");
    put(root, "Game/models/props/box/Crate_Diff.PNG", one_pixel_png());
    put(root, "Game/models/props/box/WOOD.tga", tga_of(two_halves(2, 2)));
    put(root, "Game/models/props/box/metal.JPG", jpeg_of(two_halves(8, 8)));
    put(root, "Game/models/TEXTURES/rope.bmp", bmp_of(two_halves(2, 2)));
    put(root, "Game/models/props/box/sign.png", one_pixel_png());
    put(root, "Game/textures/sign.png", one_pixel_png());
    put(root, "Game/Scripts/props.SHADER",
        "// stages: the first image that is not the lightmap wins\n"
        "textures/props/Glow\n{\n\tsurfaceparm nolightmap\n\t{\n\t\tmap $lightmap\n\t}\n"
        "\t{\n\t\tMap textures/props_src/glow_d\n\t\tblendFunc filter\n\t}\n}\n"
        "textures/props/panel\n{\n\tqer_editorImage textures/props_src/panel_p\n"
        "\t{\n\t\tdiffuseMap textures/props_src/panel_d\n\t}\n}\n");
    put(root, "Game/textures/props_src/glow_d.tga", tga_of(two_halves(2, 2)));
    put(root, "Game/textures/props_src/panel_d.png", one_pixel_png());
    put(root, "Game/textures/props_src/panel_p.png", one_pixel_png());
    put(root, "Game/models/props/box/box.cmat",
        "Models/props/box/lid\n{\n    diffusemap ../lid/lid_d.png\n}\ndofile(\"box_e.cmat\")\n");
    put(root, "Game/models/props/lid/lid_d.png", one_pixel_png());
    put(root, "extra/paint.png", one_pixel_png());
    put(root, "Game/models/props/box/broken.png", "\x89PNG\r\n\x1a\n not really");

    const struct {
        texture_request request;
        const char* found; // relative to the root; "" when nothing is found
    } cases[] = {
        {{"crate_diff.png", "m"}, "Game/models/props/box/Crate_Diff.PNG"},
        {{"C:\\Users\\art\\Desktop\\Wood.TGA", "m"}, "Game/models/props/box/WOOD.tga"},
        {{"", "Models/Props/Box/metal"}, "Game/models/props/box/metal.JPG"},
        {{"//base/models/textures/rope.tga", "m"}, "Game/models/TEXTURES/rope.bmp"},
        // The whole path two folders up beats its bare name beside the model.
        {{"textures/sign.png", "m"}, "Game/textures/sign.png"},
        {{"", "textures/props/glow"}, "Game/textures/props_src/glow_d.tga"},
        {{"", "/textures/props/PANEL"}, "Game/textures/props_src/panel_d.png"},
        {{"", "models/props/box/lid"}, "Game/models/props/lid/lid_d.png"},
        {{"D:\\paint.tga", "m"}, "extra/paint.png"},
        {{"broken.png", "m"}, ""},
        {{"nowhere.tga", "m"}, ""},
        {{"", "Material #3"}, ""},
    };
    std::vector<texture_request> requests;
    for (const auto& c : cases)
        requests.push_back(c.request);

    testing::internal::CaptureStderr();
    const material_texture_set set =
        load_material_textures(requests, root.file(model), {root.file("extra")});
    const std::string messages = testing::internal::GetCapturedStderr();

    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(found_file(set, i, root), cases[i].found)
            << cases[i].request.bitmap << " / " << cases[i].request.material_name;
    EXPECT_EQ(set.images.size(), set.files.size());
    EXPECT_NE(messages.find("aseview: cannot use texture \"" +
                            slashed(root.file("Game/models/props/box/broken.png")) + "\": PNG: "),
              std::string::npos)
        << messages;
    EXPECT_NE(messages.find("aseview: no texture found for \"nowhere.tga\" (material \"m\") in " +
                            slashed(root.file("Game/models/props/box")) +
                            " and every folder above it, " + slashed(root.file("extra"))),
              std::string::npos)
        << messages;
    EXPECT_NE(messages.find("-textures DIR adds a folder"), std::string::npos);
    EXPECT_EQ(messages.find("Material #3"), std::string::npos) << "a plain colour is no texture";
    EXPECT_EQ(count_of(messages, "\n"), 2u) << messages;
}

TEST(MaterialTextures, MissingNamesGetFiveLinesThenACountAndEachNameOnce) {
    temp_dir root;
    put(root, "model.ase", "");
    std::vector<texture_request> requests;
    for (int i = 0; i < 8; ++i)
        requests.push_back({"missing" + std::to_string(i) + ".tga", "m" + std::to_string(i)});
    requests.push_back({"missing0.tga", "another material"});
    requests.push_back({"", "Models/nowhere/engine_name"});

    testing::internal::CaptureStderr();
    const material_texture_set set = load_material_textures(requests, root.file("model.ase"), {});
    const std::string messages = testing::internal::GetCapturedStderr();

    EXPECT_EQ(set.image_of_request, std::vector<int32_t>(requests.size(), -1));
    EXPECT_EQ(count_of(messages, "aseview: no texture found for "), 5u) << messages;
    EXPECT_EQ(count_of(messages, "\"missing0.tga\""), 1u);
    EXPECT_NE(messages.find("\naseview: 4 more textures not found\n"), std::string::npos)
        << messages;
    EXPECT_EQ(count_of(messages, "\n"), 6u) << messages;
}

TEST(MaterialTextures, EveryFormatDecodesBottomRowFirstWithItsAlpha) {
    const picture p = two_halves(8, 8);
    const struct {
        const char* format;
        std::string file;
        int tolerance; // JPEG loses a little, and keeps no alpha
        bool alpha;
    } formats[] = {
        // JPEG first: the first image a process reads once failed as JPEG only.
        {"JPEG", jpeg_of(p), 12, false},
        {"PNG", png_of(p), 0, true},
        {"BMP", bmp_of(p), 0, true},
        {"TGA", tga_of(p), 0, true},
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.format);
        rgba_image image;
        std::string reason;
        ASSERT_EQ(decode(f.file, default_texel_budget, image, reason), image_outcome::decoded)
            << reason;
        ASSERT_EQ(image.width, 8);
        ASSERT_EQ(image.height, 8);
        ASSERT_EQ(image.texels.size(), 8u * 8 * 4);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const size_t stored = (static_cast<size_t>(y) * 8 + x) * 4;
                const size_t drawn = (static_cast<size_t>(7 - y) * 8 + x) * 4;
                for (int channel = 0; channel < 3; ++channel)
                    EXPECT_NEAR(image.texels[stored + channel], p.rgba[drawn + channel],
                                f.tolerance)
                        << "row " << y << " column " << x;
                EXPECT_EQ(image.texels[stored + 3], f.alpha ? p.rgba[drawn + 3] : 255);
            }
    }
}

// A PNG of `width` x `height` whose one IDAT chunk holds `inflated` zero
// bytes; stb_image checks no chunk CRC, so they are left zero.
std::string png_with_idat(uint32_t width, uint32_t height, size_t inflated) {
    const auto big_endian = [](uint32_t value) {
        return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    };
    const auto chunk = [&](const std::string& type, const std::string& data) {
        return big_endian(static_cast<uint32_t>(data.size())) + type + data + big_endian(0);
    };
    const std::string header =
        big_endian(width) + big_endian(height) + std::string("\x08\x06\0\0\0", 5);
    const std::vector<unsigned char> zeros(inflated, 0);
    int packed_size = 0;
    unsigned char* packed = stbi_zlib_compress(const_cast<unsigned char*>(zeros.data()),
                                               static_cast<int>(zeros.size()), &packed_size, 5);
    const std::string data(reinterpret_cast<char*>(packed), static_cast<size_t>(packed_size));
    STBIW_FREE(packed);
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + chunk("IDAT", data) + chunk("IEND", "");
}

TEST(MaterialTextures, HostileImagesAreRefusedBeforeTheirPixelsAreAllocated) {
    tga_fields huge_tga;
    huge_tga.image_type = 10;
    huge_tga.bpp = 32;
    huge_tga.width = 65535;
    huge_tga.height = 65535;
    huge_tga.pixels = {0x80, 1, 2, 3, 4};
    huge_tga.encode = false;
    const struct {
        const char* what;
        std::string file;
        image_outcome outcome;
        const char* reason;
    } refusals[] = {
        {"PNG header of 10000 x 10000", png_with_idat(10000, 10000, 16), image_outcome::over_budget,
         "10000x10000 texels would pass the 256 MiB left for textures"},
        {"TGA header of 65535 x 65535", tga_file(huge_tga), image_outcome::over_budget,
         "65535x65535 texels would pass the 256 MiB left for textures"},
        // 16 x 16 declared, 4 MiB inflated: stb_image alone would take it all.
        {"PNG inflating far past its header", png_with_idat(16, 16, size_t{4} << 20),
         image_outcome::unreadable, "PNG: "},
        // Found by the image fuzz target: 16 x 255 codes in one table, or in a
        // table whose counts run past the end, where stb_image reads zeros.
        {"JPEG Huffman table past 256 codes",
         std::string("\xff\xd8\xff\xc4\x00\x13\x00", 7) + std::string(16, '\xff'),
         image_outcome::unreadable, "JPEG: a Huffman table of more than 256 codes"},
        {"JPEG Huffman table cut short by the end of the file",
         std::string("\xff\xd8\xff\xc4\x01\x00\x00", 7) + std::string(15, '\xff'),
         image_outcome::unreadable, "JPEG: a Huffman table of more than 256 codes"},
        {"JPEG cut after its start", "\xff\xd8\xff\xe0", image_outcome::unreadable, "JPEG: "},
        {"empty file", "", image_outcome::unreadable, "not an image"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.what);
        rgba_image image;
        std::string reason;
        EXPECT_EQ(decode(r.file, default_texel_budget, image, reason), r.outcome);
        EXPECT_EQ(reason.rfind(r.reason, 0), 0u) << reason;
        EXPECT_TRUE(image.texels.empty());
    }
}

TEST(MaterialTextures, ImagesPastTheTexelBudgetAreLeftOutAndEachFileIsReadOnce) {
    temp_dir root;
    put(root, "model.ase", "");
    const picture p = two_halves(32, 32); // 4 KiB of texels each
    for (const char* name : {"a.png", "b.png", "c.png"})
        put(root, name, png_of(p));
    put(root, "small.png", one_pixel_png());
    const std::vector<texture_request> requests = {
        {"a.png", "1"}, {"b.png", "2"}, {"A.PNG", "3"}, {"c.png", "4"}, {"small.png", "5"}};

    testing::internal::CaptureStderr();
    const material_texture_set set =
        load_material_textures(requests, root.file("model.ase"), {}, size_t{9} << 10);
    const std::string messages = testing::internal::GetCapturedStderr();

    EXPECT_EQ(set.image_of_request, (std::vector<int32_t>{0, 1, 0, -1, 2}));
    ASSERT_EQ(set.images.size(), 3u);
    EXPECT_EQ(set.images[2].width, 1);
    EXPECT_NE(
        messages.find(
            "aseview: texture \"" + slashed(root.file("c.png")) +
            "\" not loaded: its 32x32 texels would pass the 1 KiB left for textures (of 9 KiB "
            "in all)"),
        std::string::npos)
        << messages;
    EXPECT_EQ(count_of(messages, "\n"), 1u) << messages;
}

} // namespace
