// The material pass ("-materials"): the model's faces in the file's own
// materials, each look's faces grouped once at load. It draws into whatever
// GL context is current, so it serves a window or an off-screen frame alike.
#pragma once

#include "image/material_textures.h"
#include "mesh/materials.h"
#include "mesh/mesh_store.h"

#include <cstdint>
#include <vector>

// A corner as the pass sends it, worked out once at load.
struct material_corner {
    int32_t vert;  // into v_data: the position
    int32_t nvert; // into v_data: the normal
    float uv[2];   // texture coordinate, the look's offset, tiling and angle applied
    float rgb[3];  // the corner's vertex colour; white where it has none
};

// The faces of one look that the passes draw, three corners each, in the
// store's order: one glBegin per batch; the batches of one texture follow
// each other, so that a frame binds it once.
struct material_batch {
    float diffuse[3] = {1, 1, 1}; // the look's colour where no texture is drawn
    uint32_t texture = 0;         // GL name of the look's image; 0 when it has none
    std::vector<material_corner> corners;
};

// The viewer's batches, built after the read and the texture upload.
extern std::vector<material_batch> material_batches;

// The coordinate a corner draws for the file's (u, v), as 3ds Max places a
// map: turned by the angle (counter-clockwise on the surface) about the
// map's middle, then repeated `tiling` times, then moved by `offset` of its
// own size.
void transform_texture_coordinate(const material_look& look, const float (&file_uv)[2],
                                  float (&drawn_uv)[2]);

// A look is searched for an image when it names one: by its bitmap or, in
// game trees, by its material name.
bool look_names_an_image(const material_look& look);

// One request per look that names an image, in the looks' order.
std::vector<texture_request> material_texture_requests(const material_table_t& table);

// Per look: the GL name of its image, or 0; `names` are the uploaded
// textures of `set`, which answered material_texture_requests(table).
std::vector<uint32_t> look_textures(const material_table_t& table, const material_texture_set& set,
                                    const std::vector<uint32_t>& names);

// Groups the faces that the passes draw by look (a face beyond the table's
// faces takes the plain default look); `textures` is per look, or shorter.
std::vector<material_batch> build_material_batches(const mesh_store_t& mesh,
                                                   const material_table_t& table,
                                                   const std::vector<uint32_t>& textures);

// Draws the batches under the current model transform: textures while
// use_texture is 1, light 0 in white on the looks' own colours while
// use_lighting is 1, texels of alpha under one half left out, positions
// fitted under fit_view. Leaves the GL state as it found it.
void draw_material_pass(const mesh_store_t& mesh, const std::vector<material_batch>& batches);
