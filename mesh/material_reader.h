// The reading that "-materials" adds to the ASE reader's dispatch loop: the
// material list, *MATERIAL_REF, *MESH_MTLID and the first set of texture
// vertices and faces, into material_table (mesh/materials.h). The loop
// calls these hooks; the mesh store is read exactly as without them.
#pragma once

#include "mesh/text_scanner.h"

#include <cstdint>
#include <string_view>

// Empties material_table and the reading state, before a scan.
void start_material_read();

// A token the reader has no handler for: discards the rest of its line as
// discard_line does (the same bytes), and takes from the token and the
// discarded text what the materials need.
void read_material_token(text_scanner& scanner, std::string_view token);

// After those of the reader's own handlers whose values the materials
// need. `face` is the face record (numbered in its mesh) that the line's
// handler stored, or -1 when it stored none.
void note_mesh_start(bool further_mesh); // *MESH_NUMVERTEX; further_mesh: a second or later mesh
void note_face_count();                  // *MESH_NUMFACES
void note_face(const text_scanner& scanner, int32_t face); // *MESH_FACE
void note_tvertex_count(bool read, int32_t count);         // *MESH_NUMTVERTEX
void note_tface(int32_t face);                             // *MESH_TFACE
void note_uvw_offset(int axis, bool read, float offset);   // *UVW_U_OFFSET (0), *UVW_V_OFFSET (1)

// After the scan: makes the table's arrays, gives every face of the store
// its look and the merged numbers of its corners' texture vertices, and
// drops the reading state.
// Memory that cannot be had prints one line and ends the process with
// status 1, as the store's arrays do.
void finish_material_read();
