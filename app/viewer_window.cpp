#include "app/viewer_window.h"

#include "app/failure_hints.h"
#include "input/commands.h"
#include "input/pointer.h"
#include "platform/gl.h"
#include "render/scene.h"
#include "state/viewer_state.h"

#include <GL/glut.h>
#include <cstdlib>

void open_viewer_window(int* argc, char** argv) {
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(viewer_state.window_width, viewer_state.window_height);
    glutCreateWindow("various stuff- vertex colors - ASE files");
    tga_load_failure map_failure;
    if (!init_scene(map_failure)) {
        report_map_failure(map_failure.action, map_failure.reason);
        std::exit(1);
    }

    glutDisplayFunc(on_display);
    glutReshapeFunc(on_reshape);
    glutMouseFunc(on_mouse);
    glutMotionFunc(on_motion);
    glutKeyboardFunc(on_keyboard);
    register_idle_for_spin();
    build_menu();
}
