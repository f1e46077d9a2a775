#include "render/scene.h"

#include "app/viewer_state.h"

#include <GL/glut.h>

void init_scene() {}

void on_display() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
}

void on_reshape(int width, int height) {
    viewer_state.window_width = width;
    viewer_state.window_height = height;
    glViewport(0, 0, width, height);
}
