// The window's frame: the model, the panel, the normals and the hint line,
// then the buffer swap. Kept apart from the passes, which draw into any
// context, since the panel's text and the swap need GLUT's window.
#include "platform/gl.h"
#include "render/mesh_draw.h"
#include "render/overlay.h"
#include "render/scene.h"
#include "state/viewer_state.h"

#include <GL/glut.h>

void draw_mesh() {
    draw_surface_pass();
    draw_stats();
    if (viewer_state.draw_normals != 0)
        draw_normals();
    draw_hint();
}

// The model-view matrix holds the camera and the idle spin's accumulated
// turns; the frame builds on it and restores it, so the spin survives.
void on_display() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    turn_by_drags();
    glBindTexture(GL_TEXTURE_2D, viewer_state.texture_id);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    scale_to_view();
    draw_mesh();
    glPopMatrix();
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glutSwapBuffers();
}
