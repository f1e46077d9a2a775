#include "image/env_texture.h"

#include "app/failure_hints.h"
#include "app/viewer_state.h"
#include "image/texture_pixels.h"
#include "image/tga.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The decoder's reason without the line end that some of its texts carry.
std::string decoder_reason() {
    std::string reason = tga_error;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' '))
        reason.pop_back();
    return reason.empty() ? "not an image the reader takes" : reason;
}

// load_tga's open and decode, each failure's console line followed by the
// line on standard error that names the folder searched.
tga_image* load_map() {
    std::FILE* stream = std::fopen("map2.tga", "rb");
    if (stream == nullptr) {
        const int reason = errno;
        std::printf("could not open \"%s\"\n", "map2.tga");
        report_map_failure("cannot open", std::strerror(reason));
        std::exit(1);
    }
    tga_image* map = read_tga(stream, "map2.tga", true);
    std::fclose(stream);
    if (map == nullptr) {
        std::printf("not TGA or PCX image\n");
        report_map_failure("cannot use", decoder_reason());
        std::exit(1);
    }
    return map;
}

} // namespace

void init_env_texture() {
    tga_image* map = load_map();
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    texture_pixels upload{};
    if (!make_texture_pixels(*map, max_size, upload)) {
        std::printf("error loading map\n");
        report_map_failure("cannot use", "no memory for its texture copy");
        std::exit(1);
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
}
