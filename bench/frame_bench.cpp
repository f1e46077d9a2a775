// Frames per second of the viewer's frame, as drawn by Mesa's software
// renderer in a private X server, for meshes of 10 and 200 thousand faces:
// the surface alone and with the normals pass. With --materials, the surface
// against the material pass of "-materials" on the same model: one plain
// look, then one textured look, and the material frame's extra time.
// Usage: frame_bench [--dir DIR] [--seconds S] [--materials] [FACES ...]
#include "bench/bench_files.h"
#include "image/material_textures.h"
#include "mesh/materials.h"
#include "mesh/mesh_store.h"
#include "platform/memory_status.h"
#include "render/material_draw.h"
#include "render/scene.h"
#include "state/viewer_state.h"
#include "tools/x_capture.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Draws frames for about `seconds`, each finished before the next.
double frames_per_second(double seconds) {
    on_display();
    glFinish();
    int frames = 0;
    const double start = now_seconds();
    double elapsed = 0;
    while (elapsed < seconds || frames < 3) {
        on_display();
        glFinish();
        ++frames;
        elapsed = now_seconds() - start;
    }
    return frames / elapsed;
}

// A 256 x 256 checker of two colours, uploaded as the viewer uploads images.
uint32_t checker_texture() {
    material_texture_set set;
    set.images.resize(1);
    rgba_image& image = set.images[0];
    image.width = image.height = 256;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const unsigned char shade = ((x / 32 + y / 32) % 2) != 0 ? 220 : 60;
            image.texels.insert(image.texels.end(), {shade, 120, 40, 255});
        }
    set.image_of_request = {0};
    return upload_material_textures(set).at(0);
}

// Every face in one look: the plain default, or one textured by `texture`
// with coordinates taken from the vertices' positions.
void one_look_for_all_faces(uint32_t texture) {
    material_table = {};
    material_table.looks.resize(texture != 0 ? 2 : 1);
    for (int32_t i = 0; i < mesh_store.num_vertex; ++i)
        material_table.tvertices.push_back(
            {mesh_store.v_data[i].pos[0] / 40, mesh_store.v_data[i].pos[1] / 40});
    for (int32_t i = 0; i < mesh_store.num_faces; ++i) {
        const int32_t* vertices = mesh_store.f_list[i].vert;
        material_table.faces.push_back(
            {texture != 0 ? 1 : 0, {vertices[0], vertices[1], vertices[2]}});
    }
    material_batches = build_material_batches(mesh_store, material_table, {0, texture});
}

void compare_materials(const std::string& directory, const std::vector<int>& face_counts,
                       double seconds) {
    const uint32_t texture = checker_texture();
    std::printf("%9s | %14s | %14s | %14s | %s\n", "faces", "surface fps", "materials fps",
                "textured fps", "extra frame time: plain, textured");
    for (int faces : face_counts) {
        load_quietly(bench_model(directory, faces));
        viewer_state.materials = 0;
        const double surface = frames_per_second(seconds);
        viewer_state.materials = 1;
        one_look_for_all_faces(0);
        const double plain = frames_per_second(seconds);
        one_look_for_all_faces(texture);
        const double textured = frames_per_second(seconds);
        std::printf("%9d | %14.1f | %14.1f | %14.1f | %+.1f%%, %+.1f%%\n", faces, surface, plain,
                    textured, 100 * (surface / plain - 1), 100 * (surface / textured - 1));
        std::fflush(stdout);
    }
    if (texture == 0)
        std::printf("no texture object could be made: the textured column drew no texture\n");
}

} // namespace

int main(int argc, char** argv) {
    std::string directory = std::filesystem::absolute("build/bench-data").string();
    double seconds = 3;
    std::vector<int> face_counts;
    bool materials = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--materials") == 0)
            materials = true;
        else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
            directory = std::filesystem::absolute(argv[++i]).string();
        else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else
            face_counts.push_back(std::atoi(argv[i]));
    }
    if (face_counts.empty())
        face_counts = {10000, 200000};

    setenv("DISPLAY", start_private_xvfb().c_str(), 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(viewer_state.window_width, viewer_state.window_height);
    glutCreateWindow("frame benchmark");
    viewer_state.mem_status = new memory_status{};
    std::filesystem::current_path(ASSETS_DIR); // the environment map
    tga_load_failure map_failure;
    if (!init_scene(map_failure))
        return 1;
    on_reshape(viewer_state.window_width, viewer_state.window_height);

    if (materials) {
        compare_materials(directory, face_counts, seconds);
        reset_mesh_store();
        return 0;
    }
    std::printf("%9s | %14s | %22s\n", "faces", "surface fps", "surface + normals fps");
    for (int faces : face_counts) {
        load_quietly(bench_model(directory, faces));
        viewer_state.draw_normals = 0;
        const double surface = frames_per_second(seconds);
        viewer_state.draw_normals = 1;
        const double with_normals = frames_per_second(seconds);
        std::printf("%9d | %14.1f | %22.1f\n", faces, surface, with_normals);
        std::fflush(stdout);
    }
    reset_mesh_store();
    return 0;
}
