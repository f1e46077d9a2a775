#include "render/scene.h"

#include "image/env_texture.h"
#include "platform/gl.h"
#include "render/mesh_draw.h"
#include "state/viewer_state.h"

#include <GL/glu.h>

bool init_scene(tga_load_failure& map_failure) {
    if (!init_env_texture(map_failure))
        return false;
    init_scene_state();
    return true;
}

void init_scene_state() {
    glClearColor(0.2f, 0.2f, 0.2f, 0.0f);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glCullFace(GL_BACK);

    // OpenGL refuses a specular exponent above 128 outright, which would leave
    // the exponent at 0 and every lit vertex with the full highlight.
    const GLfloat shininess = 128.0f;
    const GLfloat material_specular[] = {1.0f, 0.0f, 1.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_SPECULAR, material_specular);
    glMaterialfv(GL_FRONT, GL_SHININESS, &shininess);

    // Given under the identity, the position is in eye coordinates: the light
    // sits just above and behind the eye and stays there while the model turns.
    const GLfloat light_position[] = {0.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat light_colour[] = {1.0f, 0.0f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light_position);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, light_colour);
    glLightfv(GL_LIGHT0, GL_SPECULAR, light_colour);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
}

namespace {

// Under "-fit" the model stands upright, seen from the front, a little from
// above and from its right, as 3D tools' perspective views show a model.
constexpr float upright_tilt = 25.0f; // degrees the view looks down
constexpr float upright_side = 35.0f; // degrees the view stands to the model's right

// Stored positions and normals hold the file's (x, y, -z); this puts the
// file's Z up the screen, its -Y towards the eye and its X to the right, so
// the model shows as the file has it, not mirrored. Symmetric, so the same
// in OpenGL's column order.
constexpr GLfloat stored_to_upright[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, -1, 0, 0, 0, 0, 0, 1};

} // namespace

// The spin's turn about the model's up axis comes between the two views'
// turns, where that axis is the frame's Y.
void turn_upright() {
    glRotatef(upright_tilt, 1.0f, 0.0f, 0.0f);
    glRotatef(viewer_state.upright_spin - upright_side, 0.0f, 1.0f, 0.0f);
    glMultMatrixf(stored_to_upright);
}

// The drags' turns and smear, before the texture set-up of a frame.
void turn_by_drags() {
    glRotatef(viewer_state.rot_y_angle, 0.0f, 1.0f, 0.0f);
    glRotatef(viewer_state.rot_x_angle, 1.0f, 0.0f, 0.0f);
    glScalef(viewer_state.scale_x, viewer_state.scale_y, 1.0f);
}

// The model's own units to the view's, and under "-fit" the upright view.
void scale_to_view() {
    glScalef(0.03f, 0.03f, 0.03f);
    if (viewer_state.fit_view != 0)
        turn_upright();
}

// Reloading the camera also discards the idle spin's accumulated turns.
void on_reshape(int width, int height) {
    viewer_state.upright_spin = 0.0f;
    viewer_state.window_width = width;
    viewer_state.window_height = height;
    set_frame_view(width, height);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 5.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
}

// A height of 0 gives an infinite aspect ratio, which GLU takes without a
// fault; nothing meaningful shows until the window has a height again.
void set_frame_view(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, static_cast<double>(width) / height, 1.0, 20.0);
    glMatrixMode(GL_MODELVIEW);
}

// The model transform is on_display's, so that a picture shows the model as
// the frame does; the environment texture is left out.
void draw_model_view(int width, int height) {
    on_reshape(width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    turn_by_drags();
    scale_to_view();
    draw_surface_pass();
    glPopMatrix();
}
