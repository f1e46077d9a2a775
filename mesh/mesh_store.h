// The one triangle mesh the viewer shows: flat arrays of fixed-layout records,
// indexed directly with the record numbers written in the model file.
#pragma once

#include <cstdint>

struct d_data {
    float pos[3];  // position; z negated relative to the file
    float norm[3]; // vertex normal; z negated relative to the file
    float u, v;    // texture coordinate, changed only by the reader's offset rules
    int32_t index; // the vertex's own number from its *MESH_VERTEX line
};

struct f_data {
    float norm[3];    // face normal exactly as in the file
    int32_t cvert[3]; // colour-vertex index of each corner, into v_color
    int32_t vert[3];  // vertex index of each corner, into v_data
    int32_t nvert[3]; // vertex whose normal each corner uses
};

struct t_face {
    int32_t tvert[3]; // texture-vertex numbers of the corners
};

struct c_data {
    float rgb[3]; // red, green, blue as in the file
};

// The mesh being read: where its records start in the arrays, after those
// of the meshes before it, and its own counts as the file gives them. With
// one mesh per file every start stays 0 and its counts are the store's.
struct mesh_part {
    int32_t first_vertex = 0;  // its vertex 0 in v_data
    int32_t first_face = 0;    // its face 0 in f_list, and its texture face 0 in t_list
    int32_t first_tvertex = 0; // texture vertices of the meshes before it
    int32_t first_cvertex = 0; // its colour 0 in v_color
    int32_t first_cvface = 0;  // colour faces of the meshes before it
    int32_t vertices = 0;      // from its *MESH_NUMVERTEX
    int32_t faces = 0;         // from its *MESH_NUMFACES
    int32_t tfaces = 0;        // its texture faces in t_list
    int32_t tvertices = 0;     // from its latest *MESH_NUMTVERTEX
    int32_t cvertices = 0;     // from its *MESH_NUMCVERTEX
    int32_t cvfaces = 0;       // from its *MESH_NUMCVFACES
};

struct mesh_store_t {
    int32_t num_vertex = 0;  // from *MESH_NUMVERTEX
    int32_t num_faces = 0;   // from *MESH_NUMFACES
    int32_t num_cvertex = 0; // from *MESH_NUMCVERTEX
    int32_t num_cvfaces = 0; // from *MESH_NUMCVFACES; kept, read by nobody
    int32_t num_tfaces = 0;  // records in t_list, which no count keyword sizes
    d_data* v_data = nullptr;
    f_data* f_list = nullptr;
    t_face* t_list = nullptr;
    c_data* v_color = nullptr;
    int32_t mesh_loaded = 0;   // 1 once *MESH_NUMVERTEX was handled: one mesh per file
    mesh_part current_mesh;    // the mesh being read, where every mesh goes into one store
    int32_t normal_face = 0;   // face of the most recent *MESH_FACENORMAL
    int32_t normal_corner = 0; // corner (0..2) the next *MESH_VERTEXNORMAL fills; never reset
    // Bound on counts above always_allocated_records. The reader sets it to
    // the file's length, since every record needs at least one byte of the
    // file; a larger count is refused like an allocation that cannot be had.
    int64_t record_limit = INT32_MAX;
};

extern mesh_store_t mesh_store;

// Counts up to this are allocated whatever the file's length, so that an
// export cut off part-way still opens with what it holds; only larger counts
// must fit the file.
inline constexpr int32_t always_allocated_records = 1 << 20;

// In cvert of every corner of a mesh that has no colour vertices, when every
// mesh of a file is read into one store ("-all"): such a corner sends the
// plain base colour, as the corners of a file without colours do, rather
// than whatever colour the mesh before it left.
inline constexpr int32_t uncoloured_corner = INT32_MIN;

// Each allocates `count` zeroed records, replacing (and dropping) any earlier
// array of its kind. A negative count or one that cannot be had prints the
// array's error line and ends the process with status 1. With `first` above
// 0 (a later mesh of a file read whole), records below `first` are kept and
// records `first` to `first + count` - 1 become zeroed ones; that total is
// bounded like a single count. The array then grows in proportion, so that
// reading many meshes costs no more than reading one of their size.
void alloc_data(int32_t count, int32_t first = 0);
void alloc_faces(int32_t count, int32_t first = 0);
void alloc_tfaces(int32_t count, int32_t first = 0);
void alloc_colors(int32_t count, int32_t first = 0);

// Prints "free ants" and releases the four arrays; counts and flags stay.
void free_mesh();

// Releases the arrays silently and returns every field to its start value,
// for programs that load several models in one process (tests, benchmarks).
void reset_mesh_store();
