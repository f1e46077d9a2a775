#include "input/commands.h"

#include "input/pointer.h"
#include "mesh/mesh_store.h"
#include "platform/gl.h"

#include <GL/glut.h>
#include <cstdlib>

namespace {

void toggle(int32_t& flag) {
    flag = flag == 0 ? 1 : 0;
}

// The flag starts at 0 while the scene starts smooth, so the first press
// keeps smooth shading and the second gives flat.
void toggle_shading() {
    toggle(viewer_state.smooth_shading);
    glShadeModel(viewer_state.smooth_shading == 1 ? GL_SMOOTH : GL_FLAT);
}

// Switching the wireframe off leaves polygon smoothing on for the rest of
// the run; blending is on after either branch.
void toggle_wireframe() {
    toggle(viewer_state.wire_mode);
    if (viewer_state.wire_mode == 1) {
        glEnable(GL_DEPTH_TEST);
        glPolygonMode(GL_FRONT, GL_LINE);
        glPolygonMode(GL_BACK, GL_LINE);
        glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
        glLineWidth(1.0f);
    } else {
        glEnable(GL_POLYGON_SMOOTH);
        glPolygonMode(GL_FRONT, GL_FILL);
        glPolygonMode(GL_BACK, GL_FILL);
        glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

struct menu_entry {
    const char* label;
    int value; // the key the entry stands for
};

// Top to bottom as the menu shows them.
// clang-format off
const menu_entry menu_entries[] = {
    {"smear Y' axis", 'y'},
    {"smear X' axis", 'x'},
    {"smear both' axis", 'b'},
    {"wire mode; adds AA", 'w'},
    {"change shading model", 's'},
    {"Draw Normals", 'c'},
    {"Draw Objects", 'o'},
    {"free/motion rotate mode", 'f'},
    {"rotation mode", 'r'},
    {"------------------", ' '},
    {"Change texture map mode", 't'},
    {"Alter Light Model", 'l'},
    {"close menu", ' '},
};
// clang-format on

} // namespace

void apply_smear_command(viewer_state_t& state, unsigned char key) {
    switch (key) {
    case 'x': {
        const int32_t was_y = state.smear_y;
        toggle(state.smear_x);
        if (was_y == 1)
            state.smear_y = 0;
        break;
    }
    case 'y': {
        const int32_t was_x = state.smear_x;
        toggle(state.smear_y);
        if (was_x == 1)
            state.smear_x = 0;
        break;
    }
    case 'b':
        state.smear_x = 1;
        state.smear_y = 1;
        break;
    default:
        break;
    }
}

void on_keyboard(unsigned char key, int, int) {
    switch (key) {
    case 'b':
    case 'x':
    case 'y':
        apply_smear_command(viewer_state, key);
        glutPostRedisplay();
        break;
    case 'c':
        toggle(viewer_state.draw_normals);
        break;
    case 'f':
        toggle(viewer_state.spin_mode);
        register_idle_for_spin();
        glutPostRedisplay();
        break;
    case 'h':
        toggle(viewer_state.show_hint);
        break;
    case 'l':
        toggle(viewer_state.use_lighting);
        break;
    case 'o':
        toggle(viewer_state.draw_objects);
        break;
    case 'q':
        free_mesh();
        std::exit(1);
    case 'r':
        toggle(viewer_state.rotation_mode);
        glutPostRedisplay();
        break;
    case 's':
        toggle_shading();
        glutPostRedisplay();
        break;
    case 't':
        toggle(viewer_state.use_texture);
        break;
    case 'w':
        toggle_wireframe();
        glutPostRedisplay();
        break;
    default:
        break;
    }
}

void on_menu(int value) {
    on_keyboard(static_cast<unsigned char>(value), 0, 0);
}

void build_menu() {
    glutCreateMenu(on_menu);
    for (const menu_entry& entry : menu_entries)
        glutAddMenuEntry(entry.label, entry.value);
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}
