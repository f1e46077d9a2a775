// The environment texture as OpenGL holds it after start-up built it from
// "map2.tga": true colours, the picture's top row first, each decodable
// layout at its own size, and sphere-map generation configured.
#include "image/env_texture.h"
#include "state/viewer_state.h"
#include "support/gl_window.h"
#include "support/viewer_process.h"
#include "tests/fixtures/tga_builder.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

struct texel_rows {
    int width = 0;
    int height = 0;
    bytes rgb; // first row first, as the texture stores it
    bytes at(int x, int row) const {
        const size_t offset = (static_cast<size_t>(row) * width + x) * 3;
        return bytes(rgb.begin() + offset, rgb.begin() + offset + 3);
    }
};

texel_rows read_texture(GLuint name, int level) {
    glBindTexture(GL_TEXTURE_2D, name);
    texel_rows texture;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &texture.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &texture.height);
    texture.rgb.resize(static_cast<size_t>(texture.width) * texture.height * 3);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, texture.rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return texture;
}

// Builds the texture from `file` as "map2.tga" in a directory of its own.
GLuint build_texture_from(const std::string& file) {
    open_gl_window(64, 64);
    temp_dir dir;
    dir.write("map2.tga", file);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    tga_load_failure failure;
    EXPECT_TRUE(init_env_texture(failure)) << failure.reason;
    std::filesystem::current_path(previous);
    return viewer_state.texture_id;
}

const bytes top_left{200, 30, 10}, top_right{20, 180, 40}, bottom_left{10, 40, 220},
    bottom_right{230, 220, 20};

// A 256 x 256 map of four coloured quarters, stored as B, G, R, A.
tga_fields quarters_map(int image_type, int descriptor) {
    bytes picture;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const bytes& c =
                y < 128 ? (x < 128 ? top_left : top_right) : (x < 128 ? bottom_left : bottom_right);
            picture.insert(picture.end(), {c[2], c[1], c[0], 255});
        }
    tga_fields fields;
    fields.image_type = image_type;
    fields.bpp = 32;
    fields.width = 256;
    fields.height = 256;
    fields.descriptor = descriptor;
    fields.pixels = stored_order(picture, 256, 256, 4, descriptor);
    return fields;
}

TEST(EnvTexture, MapOf256SquarePixelsShowsTrueColoursTopRowFirst) {
    const struct {
        const char* name;
        int image_type;
        int descriptor;
    } cases[] = {
        {"uncompressed, bottom row first", 2, 0x08},
        {"uncompressed, top row first", 2, 0x28},
        {"run-length encoded, bottom row first", 10, 0x08},
        {"run-length encoded, top row first, mirrored", 10, 0x38},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const texel_rows texture =
            read_texture(build_texture_from(tga_file(quarters_map(c.image_type, c.descriptor))), 0);
        ASSERT_EQ(texture.width, 256);
        ASSERT_EQ(texture.height, 256);
        EXPECT_EQ(texture.at(10, 10), top_left);
        EXPECT_EQ(texture.at(245, 10), top_right);
        EXPECT_EQ(texture.at(10, 245), bottom_left);
        EXPECT_EQ(texture.at(245, 245), bottom_right);
    }
}

TEST(EnvTexture, TextureIsMipmappedWithSphereMapGenerationConfiguredButOff) {
    open_gl_window(64, 64);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    const GLuint name = build_texture_from(tga_file(quarters_map(2, 0x28)));
    EXPECT_NE(name, 0u);
    GLint bound = 0, mode_s = 0, mode_t = 0, min_filter = 0, mag_filter = 0, alignment = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), name);
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode_s);
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode_t);
    EXPECT_EQ(mode_s, GL_SPHERE_MAP);
    EXPECT_EQ(mode_t, GL_SPHERE_MAP);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag_filter);
    EXPECT_EQ(min_filter, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(mag_filter, GL_LINEAR);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 2) << "the upload puts the caller's row alignment back";
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

    const texel_rows smallest = read_texture(name, 8);
    EXPECT_EQ(smallest.width, 1);
    EXPECT_EQ(smallest.height, 1);
}

TEST(EnvTexture, OddWidthTrueColourRowsAreReadWithoutPadding) {
    // 3 pixels of 3 bytes per row: a row is 9 bytes, not a multiple of 4.
    const bytes row_colours[] = {{250, 0, 0}, {0, 250, 0}, {0, 0, 250}, {250, 250, 250}};
    bytes picture;
    for (const bytes& c : row_colours)
        for (int x = 0; x < 3; ++x)
            picture.insert(picture.end(), {c[2], c[1], c[0]});
    tga_fields fields;
    fields.width = 3;
    fields.height = 4;
    fields.descriptor = 0x00;
    fields.pixels = stored_order(picture, 3, 4, 3, fields.descriptor);
    fields.footer = true;
    const texel_rows texture = read_texture(build_texture_from(tga_file(fields)), 0);
    ASSERT_EQ(texture.width, 4) << "3 is resampled up to the next power of two";
    ASSERT_EQ(texture.height, 4);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < texture.width; ++x)
            EXPECT_EQ(texture.at(x, row), row_colours[row]) << "row " << row << ", x " << x;
}

TEST(EnvTexture, GreyscaleMapGivesGreyTexels) {
    tga_fields fields;
    fields.image_type = 11;
    fields.bpp = 8;
    fields.width = 4;
    fields.height = 2;
    fields.descriptor = 0x20;
    fields.pixels = {50, 50, 50, 50, 200, 200, 200, 200};
    fields.footer = true;
    const texel_rows texture = read_texture(build_texture_from(tga_file(fields)), 0);
    ASSERT_EQ(texture.width, 4);
    ASSERT_EQ(texture.height, 2);
    EXPECT_EQ(texture.at(1, 0), (bytes{50, 50, 50}));
    EXPECT_EQ(texture.at(2, 1), (bytes{200, 200, 200}));
}

TEST(EnvTexture, ColourMappedMapShowsItsEntriesAndBlackForIndicesItLacks) {
    tga_fields fields;
    fields.image_type = 1;
    fields.bpp = 8;
    fields.width = 4;
    fields.height = 2;
    fields.descriptor = 0x20;
    fields.color_map_type = 1;
    fields.color_map_index = 2;
    fields.color_map_length = 2;
    fields.color_map_size = 24;
    fields.color_map = {10, 20, 30, 40, 50, 60}; // blue, green, red
    fields.pixels = {2, 3, 0, 200, 3, 3, 3, 3};
    fields.footer = true;
    const texel_rows texture = read_texture(build_texture_from(tga_file(fields)), 0);
    ASSERT_EQ(texture.width, 4);
    ASSERT_EQ(texture.height, 2);
    EXPECT_EQ(texture.at(0, 0), (bytes{30, 20, 10}));
    EXPECT_EQ(texture.at(1, 0), (bytes{60, 50, 40}));
    EXPECT_EQ(texture.at(2, 0), (bytes{0, 0, 0})) << "an entry in front of the stored ones";
    EXPECT_EQ(texture.at(3, 0), (bytes{0, 0, 0})) << "an index past the map";
    EXPECT_EQ(texture.at(0, 1), (bytes{60, 50, 40}));
}

} // namespace
