// Material textures as OpenGL holds them after the upload: power-of-two
// sides, every mipmap level, repeating in s and t, alpha kept, the bottom
// row first, and the texture bound before the upload still bound after it.
#include "image/material_textures.h"
#include "support/gl_window.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

GLint texture_parameter(GLenum parameter) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value);
    return value;
}

GLint level_parameter(int level, GLenum parameter) {
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, parameter, &value);
    return value;
}

TEST(MaterialTextureUpload, ImagesBecomeRepeatingMipmappedTexturesWithAlphaAndTheBindingStays) {
    open_gl_window(64, 64);
    material_texture_set set;
    // 3 x 2, bottom row first: the bottom row opaque red, the top half-clear blue.
    rgba_image odd{3, 2, {}};
    for (int texel = 0; texel < 6; ++texel) {
        const bool bottom = texel < 3;
        odd.texels.insert(odd.texels.end(), {static_cast<unsigned char>(bottom ? 255 : 0), 0,
                                             static_cast<unsigned char>(bottom ? 0 : 255),
                                             static_cast<unsigned char>(bottom ? 255 : 128)});
    }
    set.images = {odd, rgba_image{1, 1, {1, 2, 3, 4}}};
    set.files = {"odd.png", "one.png"};
    GLuint bound_before = 0;
    glGenTextures(1, &bound_before);
    glBindTexture(GL_TEXTURE_2D, bound_before);

    const std::vector<uint32_t> names = upload_material_textures(set);

    ASSERT_EQ(names.size(), 2u);
    EXPECT_NE(names[0], 0u);
    EXPECT_NE(names[1], 0u);
    EXPECT_NE(names[0], names[1]);
    GLint bound_after = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound_after);
    EXPECT_EQ(static_cast<GLuint>(bound_after), bound_before);
    EXPECT_TRUE(set.images[0].texels.empty() && set.images[1].texels.empty());

    glBindTexture(GL_TEXTURE_2D, names[0]);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_WIDTH), 4);
    EXPECT_EQ(level_parameter(0, GL_TEXTURE_HEIGHT), 2);
    EXPECT_EQ(level_parameter(2, GL_TEXTURE_WIDTH), 1) << "every mipmap level down to 1 x 1";
    EXPECT_GT(level_parameter(0, GL_TEXTURE_ALPHA_SIZE), 0);
    std::vector<unsigned char> texels(4 * 2 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(std::vector<unsigned char>(texels.begin(), texels.begin() + 4),
              (std::vector<unsigned char>{255, 0, 0, 255}));
    EXPECT_EQ(std::vector<unsigned char>(texels.end() - 4, texels.end()),
              (std::vector<unsigned char>{0, 0, 255, 128}));
    glDeleteTextures(2, names.data());
    glDeleteTextures(1, &bound_before);
}

} // namespace
