// Frames per second of the viewer's frame, as drawn by Mesa's software
// renderer in a private X server, for meshes of 10 and 200 thousand faces:
// the surface alone and with the normals pass.
// Usage: frame_bench [--dir DIR] [--seconds S] [FACES ...]
#include "bench/bench_files.h"
#include "mesh/mesh_store.h"
#include "platform/memory_status.h"
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

} // namespace

int main(int argc, char** argv) {
    std::string directory = std::filesystem::absolute("build/bench-data").string();
    double seconds = 3;
    std::vector<int> face_counts;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
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
