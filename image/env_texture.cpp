#include "image/env_texture.h"

#include "image/texture_pixels.h"
#include "image/tga.h"
#include "platform/gl.h"
#include "state/viewer_state.h"

#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The decoder's reason loses the line end that some of its texts carry.
std::string trimmed_reason(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "not an image the reader takes" : text;
}

} // namespace

bool init_env_texture(tga_load_failure& failure) {
    tga_image* map = load_tga("map2.tga", failure);
    if (map == nullptr) {
        failure.reason = trimmed_reason(failure.reason);
        return false;
    }
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    texture_pixels upload{};
    if (!make_texture_pixels(*map, max_size, upload)) {
        std::printf("error loading map\n");
        free_tga(map);
        failure = {"cannot use", "no memory for its texture copy"};
        return false;
    }

    GLuint name = 0;
    glGenTextures(1, &name);
    viewer_state.texture_id = name;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    // Rows are packed without padding, so odd widths must not be read with
    // the default 4-byte row alignment.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, upload.width, upload.height, upload.format,
                      GL_UNSIGNED_BYTE, upload.pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);

    std::free(upload.owned);
    free_tga(map);
    return true;
}
