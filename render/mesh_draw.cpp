#include "render/mesh_draw.h"

#include "mesh/mesh_store.h"
#include "platform/gl.h"
#include "render/drawn_position.h"
#include "render/material_draw.h"
#include "render/model_fit.h"
#include "state/viewer_state.h"

namespace {

bool in_array(int32_t index, int32_t count, const void* array) {
    return array != nullptr && index >= 0 && index < count;
}

int32_t face_count() {
    return mesh_store.f_list != nullptr ? mesh_store.num_faces : 0;
}

// A corner without a valid colour index keeps the colour of the one before,
// except a corner of a colourless mesh merged by "-all", which takes the
// base yellow as that mesh alone would.
void send_corner_colour(int32_t colour_index) {
    if (in_array(colour_index, mesh_store.num_cvertex, mesh_store.v_color))
        glColor3fv(mesh_store.v_color[colour_index].rgb);
    else if (viewer_state.all_meshes != 0 && colour_index == uncoloured_corner)
        glColor3f(1.0f, 1.0f, 0.0f);
}

template <bool fitted> void draw_surface_faces() {
    float fitted_position[3];
    for (int32_t i = 0; i < face_count(); ++i) {
        const f_data& face = mesh_store.f_list[i];
        if (!face_is_drawn(mesh_store, face))
            continue;
        glBegin(GL_TRIANGLES);
        for (int k = 0; k < 3; ++k) {
            glNormal3fv(mesh_store.v_data[face.nvert[k]].norm);
            if (viewer_state.use_vertex_colors != 0)
                send_corner_colour(face.cvert[k]);
            glVertex3fv(
                drawn_position<fitted>(mesh_store.v_data[face.vert[k]].pos, fitted_position));
        }
        glEnd();
    }
}

void draw_surface() {
    glEnable(GL_NORMALIZE);
    smooth_lines();
    glLineWidth(2.0f);
    if (viewer_state.fit_view != 0)
        draw_surface_faces<true>();
    else
        draw_surface_faces<false>();
}

// A segment from the corner's drawn position to 1.45 x (position + normal),
// with the normal's Z folded to the viewer's side; a folded normal ends red,
// not blue.
void draw_normal_segment(const float* position, const float* stored_normal,
                         const GLfloat* start_colour) {
    glColor3f(start_colour[0], start_colour[1], start_colour[2]);
    glVertex3fv(position);
    glColor3f(0.0f, 0.0f, 1.0f);
    float normal[3] = {stored_normal[0], stored_normal[1], stored_normal[2]};
    if (normal[2] < 0.0f) {
        glColor3f(1.0f, 0.0f, 0.0f);
        normal[2] = -normal[2];
    }
    float end[3];
    for (int axis = 0; axis < 3; ++axis)
        end[axis] = static_cast<float>((normal[axis] + position[axis]) * 1.45);
    glVertex3fv(end);
}

template <bool fitted> void draw_normal_faces() {
    static const GLfloat start_colours[3][3] = {{0, 1, 0}, {1, 1, 0}, {0, 1, 0}};
    float fitted_position[3];
    for (int32_t i = 0; i < face_count(); ++i) {
        const f_data& face = mesh_store.f_list[i];
        if (!face_is_drawn(mesh_store, face))
            continue;
        glBegin(GL_LINES);
        for (int k = 0; k < 3; ++k)
            draw_normal_segment(
                drawn_position<fitted>(mesh_store.v_data[face.vert[k]].pos, fitted_position),
                mesh_store.v_data[face.nvert[k]].norm, start_colours[k]);
        glEnd();
    }
}

} // namespace

void draw_normals() {
    smooth_lines();
    glLineWidth(3.0f);
    if (viewer_state.fit_view != 0)
        draw_normal_faces<true>();
    else
        draw_normal_faces<false>();
}

void smooth_lines() {
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void draw_surface_pass() {
    if (viewer_state.use_texture != 0)
        glEnable(GL_TEXTURE_2D);
    else
        glDisable(GL_TEXTURE_2D);
    if (viewer_state.use_lighting != 0)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 0.0f);
    // Under "-materials" the material pass takes the surface pass's place.
    if (viewer_state.draw_objects != 0) {
        if (viewer_state.materials != 0)
            draw_material_pass(mesh_store, material_batches);
        else
            draw_surface();
    }
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
}
