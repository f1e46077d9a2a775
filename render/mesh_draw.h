// The two passes over the mesh store: the surface and the vertex normals.
#pragma once

// Draws the surface pass, or under "-materials" the material pass (either if
// draw_objects), the statistics panel, the normals pass (if draw_normals) and
// the hint line, under the model transform the frame has set. Leaves
// lighting and 2D texturing off.
void draw_mesh();

// The surface pass alone (if draw_objects): the model as a frame shows it,
// without the panel, the normals or the hint line. Leaves lighting and 2D
// texturing off.
void draw_surface_pass();

// The normals pass alone (if draw_normals): each corner's vertex normal as
// a segment, under the current model transform.
void draw_normals();

// Blending for antialiased lines, as the passes and the wireframe mode use it.
void smooth_lines();
