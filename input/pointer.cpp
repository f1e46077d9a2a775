#include "input/pointer.h"

#include "platform/gl.h"

#include <GL/glut.h>
#include <cmath>

namespace {

constexpr double smear_span = 5.0;    // smear factor from one window edge to the other
constexpr double degree_span = 360.0; // degrees from one window edge to the other
constexpr int pixels_per_spin_step = 100;

} // namespace

float map_pointer(int position, int size, double span) {
    const int offset = position - size / 2;
    return static_cast<float>(offset * span / size);
}

float spin_step(int position, int last_position) {
    return static_cast<float>((position - last_position) / pixels_per_spin_step);
}

void apply_motion(viewer_state_t& state, int x, int y) {
    // A window shrunk to nothing along an axis would turn that axis into
    // infinities that outlive the next resize; it keeps its values instead.
    const bool has_width = state.window_width > 0;
    const bool has_height = state.window_height > 0;
    if (has_width)
        state.pointer_nx = map_pointer(x, state.window_width, smear_span);
    if (has_height)
        state.pointer_ny = map_pointer(y, state.window_height, smear_span);
    state.spin_y_step = spin_step(x, state.last_x);
    state.spin_x_step = spin_step(y, state.last_y);

    if (state.rotation_mode == 0) {
        if (state.smear_x == 1 && has_width)
            state.scale_x = state.pointer_nx;
        if (state.smear_y == 1 && has_height)
            state.scale_y = state.pointer_ny;
    } else {
        if (has_width)
            state.rot_y_angle = map_pointer(x, state.window_width, degree_span);
        if (has_height)
            state.rot_x_angle = map_pointer(y, state.window_height, degree_span);
    }
}

bool apply_button(viewer_state_t& state, int button, int button_state, bool shift_held, int x,
                  int y) {
    if (button == GLUT_LEFT_BUTTON && shift_held)
        button = GLUT_MIDDLE_BUTTON;
    // The jump measures its spin steps from the previous button event, so it
    // runs before this event's position is recorded.
    const bool jumps =
        button == GLUT_LEFT_BUTTON && button_state == GLUT_DOWN && state.rotation_mode == 0;
    if (jumps)
        apply_motion(state, x, y);
    state.last_x = x;
    state.last_y = y;
    return jumps;
}

void on_mouse(int button, int state, int x, int y) {
    const bool shift_held =
        button == GLUT_LEFT_BUTTON && (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
    if (apply_button(viewer_state, button, state, shift_held, x, y))
        glutPostRedisplay();
}

void on_motion(int x, int y) {
    apply_motion(viewer_state, x, y);
    glutPostRedisplay();
}

// The turn goes into the model-view matrix itself, beneath the transforms the
// display handler pushes and pops, so it adds up from call to call until the
// reshape handler reloads the camera. Under "-fit" the turn about Y goes to
// the model's own up axis instead, which the frame applies.
void on_idle() {
    if (viewer_state.spin_mode != 1)
        return;
    if (viewer_state.fit_view != 0)
        viewer_state.upright_spin =
            std::fmod(viewer_state.upright_spin + viewer_state.spin_y_step, 360.0f);
    else
        glRotatef(viewer_state.spin_y_step, 0.0f, 1.0f, 0.0f);
    glRotatef(viewer_state.spin_x_step, 1.0f, 0.0f, 0.0f);
    glutPostRedisplay();
}

namespace {

constexpr unsigned int panel_refresh_ms = 1000;
// A refresh timer is queued; GLUT cannot cancel one, so at most one is kept.
bool panel_timer_queued = false;

// Draws a frame for the statistics panel's memory figures while the spin is
// off, and queues the next; while the spin is on its frames do that.
void on_panel_timer(int) {
    panel_timer_queued = false;
    if (viewer_state.spin_mode == 1)
        return;
    glutPostRedisplay();
    panel_timer_queued = true;
    glutTimerFunc(panel_refresh_ms, on_panel_timer, 0);
}

} // namespace

// Without an idle callback GLUT's main loop waits in the kernel for an X event,
// a timer or a pending redisplay, so posted frames, exposures, menus and drags
// still draw while nothing runs between them.
void register_idle_for_spin() {
    glutIdleFunc(viewer_state.spin_mode == 1 ? on_idle : nullptr);
    if (viewer_state.spin_mode != 1 && !panel_timer_queued) {
        panel_timer_queued = true;
        glutTimerFunc(panel_refresh_ms, on_panel_timer, 0);
    }
}
