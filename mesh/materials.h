// What "-materials" reads beside the mesh: the file's materials flattened
// into drawable looks, each face's look and the texture coordinates of its
// corners, merged across meshes as the store merges its records.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One drawable material: a material of the list that has no sub-materials, or one sub-material.
struct material_look {
    std::string name; // *MATERIAL_NAME, quotes removed
    float diffuse[3] = {0.5882f, 0.5882f,
                        0.5882f}; // *MATERIAL_DIFFUSE; the default is 3ds Max's default grey
    std::string bitmap;           // the *MAP_DIFFUSE's *BITMAP, quotes removed; empty without one
    float u_offset = 0, v_offset = 0; // the *MAP_DIFFUSE's *UVW_U_OFFSET, *UVW_V_OFFSET
    float u_tiling = 1, v_tiling = 1; // *UVW_U_TILING, *UVW_V_TILING
    float angle = 0;                  // *UVW_ANGLE, radians (as 3ds Max writes it)
};

// What -materials adds to a face of mesh_store.f_list, at the same index.
struct face_material {
    int32_t look; // index into material_table.looks, always valid (0 = the plain default material)
    int32_t
        tvert[3]; // per corner: index into material_table.tvertices, or -1 when the corner has none
};

struct material_table_t {
    std::vector<material_look> looks; // looks[0] is the plain default material
    std::vector<face_material> faces; // one per face of the mesh store (num_faces), after the read
    std::vector<std::array<float, 2>>
        tvertices; // *MESH_TVERT u v as in the file, merged across meshes
};
extern material_table_t material_table;
