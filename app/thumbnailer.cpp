// aseview-thumbnailer: draws the model of an ASE file into a PNG, off-screen,
// for file managers. Usage: aseview-thumbnailer SIZE INPUT OUTPUT.
#include "image/material_textures.h"
#include "image/png_file.h"
#include "mesh/ase_reader.h"
#include "mesh/materials.h"
#include "mesh/mesh_store.h"
#include "platform/gl.h"
#include "platform/offscreen_gl.h"
#include "platform/system.h"
#include "render/material_draw.h"
#include "render/model_fit.h"
#include "render/scene.h"
#include "state/viewer_state.h"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// Exit statuses besides 0: the model cannot be drawn (1), the command line
// is wrong (2), the drawing or the PNG failed (3).
constexpr int model_refused = 1;
constexpr int usage_refused = 2;
constexpr int output_failed = 3;

constexpr int smallest_size = 16;  // pixels; below this nothing is recognisable
constexpr int largest_size = 1024; // pixels; file managers ask for at most 1024
// Larger files are refused rather than keep a file manager waiting: a model
// of 62 MB (138 thousand faces) took 0.46 s of processor time here.
constexpr int64_t largest_model_bytes = int64_t{64} << 20;

// One line on standard error, then the status; no file has been made yet.
[[noreturn, gnu::format(printf, 2, 3)]] void refuse(int status, const char* format, ...) {
    std::fprintf(stderr, "aseview-thumbnailer: ");
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fprintf(stderr, "\n");
    std::exit(status);
}

int parse_size(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long size = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || size < smallest_size || size > largest_size)
        refuse(usage_refused, "SIZE must be a whole number of pixels from 16 to 1024, not '%s'",
               text);
    return static_cast<int>(size);
}

// Only a regular file of bounded size is read: a pipe, a device or a huge
// file would keep the caller waiting.
void check_model_file(const char* path) {
    struct stat status;
    if (stat(path, &status) != 0)
        refuse(model_refused, "cannot open the model %s: %s", path, std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        refuse(model_refused, "the model %s is not a regular file", path);
    if (status.st_size > largest_model_bytes)
        refuse(model_refused, "the model %s is over 64 MiB, too large for a thumbnail", path);
}

// Every mesh of the file, centred, scaled and stood upright, in the file's
// own materials and the images found for them, as the launcher shows the
// model (-all -fit -materials). Returns the decoded images, for the upload.
material_texture_set load_model(const char* path) {
    ase_options options;
    options.all_meshes = true;
    options.materials = true;
    load_ase(path, "", options);
    const model_box box = measure_model_box(mesh_store);
    if (box.corner_count == 0)
        refuse(model_refused, "the file %s holds no mesh to draw", path);
    const model_fit fit = fit_model(box);
    for (int axis = 0; axis < 3; ++axis)
        viewer_state.fit_centre[axis] = fit.centre[axis];
    viewer_state.fit_scale = fit.scale;
    viewer_state.all_meshes = 1;
    viewer_state.fit_view = 1;
    viewer_state.materials = 1;
    // A file manager's sandbox shows the thumbnailer the model alone, so
    // images beside it are found only outside one.
    return load_material_textures(material_texture_requests(material_table), path, {});
}

// The drawn frame's RGBA pixels with the rows from the top, as PNG wants them.
std::vector<uint8_t> read_frame(int size) {
    const size_t row_bytes = static_cast<size_t>(size) * 4;
    std::vector<uint8_t> bottom_up(row_bytes * size);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, bottom_up.data());
    std::vector<uint8_t> top_down(bottom_up.size());
    for (int row = 0; row < size; ++row)
        std::memcpy(&top_down[row * row_bytes], &bottom_up[(size - 1 - row) * row_bytes],
                    row_bytes);
    return top_down;
}

} // namespace

int main(int argc, char** argv) {
    prepare_process(argc, argv);
    if (argc != 4)
        refuse(usage_refused, "usage: aseview-thumbnailer SIZE INPUT OUTPUT");
    const int size = parse_size(argv[1]);
    check_model_file(argv[2]);
    material_texture_set textures = load_model(argv[2]);

    std::string failure;
    if (!open_offscreen_gl(size, size, failure))
        refuse(output_failed, "no OpenGL without a display: %s", failure.c_str());
    init_scene_state();
    material_batches = build_material_batches(
        mesh_store, material_table,
        look_textures(material_table, textures, upload_material_textures(textures)));
    draw_model_view(size, size);
    const std::vector<uint8_t> pixels = read_frame(size);
    const bool drawn = glGetError() == GL_NO_ERROR;
    close_offscreen_gl();
    if (!drawn)
        refuse(output_failed, "OpenGL failed drawing the model of %s", argv[2]);
    if (!write_png_file(argv[3], pixels.data(), size, size, failure))
        refuse(output_failed, "%s", failure.c_str());
    return 0;
}
