#include "mesh/ase_reader.h"

#include "mesh/material_reader.h"
#include "mesh/mesh_store.h"
#include "mesh/text_scanner.h"
#include "platform/system.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

using keyword_handler = void (*)(text_scanner&);

mesh_store_t& store = mesh_store;
mesh_part& part = mesh_store.current_mesh;
ase_options options;

// What the latest handler read, for the material reader under -materials;
// each handler that the material reader hears of sets its fields every time.
struct handler_values {
    bool further_mesh = false; // *MESH_NUMVERTEX started a second or later mesh
    int32_t record = -1;       // the record number it stored, or -1
    bool read = false;         // it read its count or offset
    int32_t count = 0;
    float offset = 0;
};
handler_values last_read;

bool in_range(int32_t index, int32_t count, const void* array) {
    return array != nullptr && index >= 0 && index < count;
}

// Reads a record number with `index_format` and then its values with
// `values_format`, as two separate reads: the second runs even when the
// first fails. True when both read in full. `line_format`, the two formats
// written one after the other, reads the usual plain line in one pass.
template <fixed_format line_format, typename... Values>
bool read_record(text_scanner& s, const char* index_format, int32_t& index,
                 const char* values_format, Values*... values) {
    if (scan_plain<line_format>(s, &index, values...))
        return true;
    const bool got_index = scan(s, index_format, &index) == 1;
    return scan(s, values_format, values...) == static_cast<int>(sizeof...(Values)) && got_index;
}

// Reads a record number and three values, and stores the values into
// `field` of that record when the number lies inside the mesh's `count`
// records, which start at `first` in the array. Returns the number stored,
// or -1.
template <fixed_format line_format, typename Record, typename Value>
int32_t read_triple(text_scanner& s, const char* index_format, const char* values_format,
                    Record* array, int32_t first, int32_t count, Value (Record::*field)[3]) {
    int32_t i;
    Value values[3];
    if (!read_record<line_format>(s, index_format, i, values_format, &values[0], &values[1],
                                  &values[2]) ||
        !in_range(i, count, array))
        return -1;
    std::copy(values, values + 3, array[first + i].*field);
    return i;
}

// The sum of two counts, held within 32 bits; for counts that size no array.
int32_t bounded_sum(int64_t first, int64_t count) {
    return static_cast<int32_t>(std::clamp<int64_t>(first + count, INT32_MIN, INT32_MAX));
}

// A record number the file wrote inside a mesh of `count` such records, as
// a number in the merged array; one outside the mesh names no record at all,
// so that it cannot land in a neighbouring mesh.
int32_t merged_index(int32_t index, int32_t count, int32_t first) {
    return index >= 0 && index < count && int64_t{first} + index <= INT32_MAX ? first + index : -1;
}

// Ends the mesh being read, when every mesh goes into one store: the record
// numbers in its faces, read as the file numbers them inside the mesh, name
// its own records in the merged arrays (a number the file left unset, 0,
// names its first record, as it does in a file of one mesh), and the next
// mesh's records go after its own.
void close_mesh() {
    for (int32_t f = 0; store.f_list != nullptr && f < part.faces; ++f) {
        f_data& face = store.f_list[part.first_face + f];
        for (int k = 0; k < 3; ++k) {
            face.vert[k] = merged_index(face.vert[k], part.vertices, part.first_vertex);
            face.nvert[k] = merged_index(face.nvert[k], part.vertices, part.first_vertex);
            face.cvert[k] = part.cvertices > 0
                                ? merged_index(face.cvert[k], part.cvertices, part.first_cvertex)
                                : uncoloured_corner;
        }
    }
    for (int32_t t = 0; store.t_list != nullptr && t < part.tfaces; ++t)
        for (int32_t& corner : store.t_list[part.first_face + t].tvert)
            corner = merged_index(corner, part.tvertices, part.first_tvertex);
    mesh_part next;
    next.first_vertex = store.num_vertex;
    next.first_face = store.num_faces;
    next.first_cvertex = store.num_cvertex;
    next.first_tvertex = bounded_sum(part.first_tvertex, std::max(part.tvertices, 0));
    next.first_cvface = store.num_cvfaces;
    part = next;
}

// Reads one count; false (and nothing changes) when no number follows.
bool read_count(text_scanner& s, int32_t& count) {
    return scan(s, "%i", &count) == 1;
}

// The keyword itself starts a mesh, whether or not a count follows.
void read_num_vertex(text_scanner& s) {
    last_read.further_mesh = store.mesh_loaded == 1;
    if (store.mesh_loaded == 1) {
        if (!options.all_meshes) {
            std::printf("Sorry. only have support for a single mesh\n");
            if (*options.several_meshes_hint != '\0') {
                std::fflush(stdout);
                std::fprintf(stderr, "%s\n", options.several_meshes_hint);
            }
            std::exit(1);
        }
        close_mesh();
    }
    store.mesh_loaded = 1;
    int32_t count;
    if (!read_count(s, count))
        return;
    part.vertices = count;
    std::printf("Amount of Vertices in this mesh %i\n", count);
    alloc_data(count, part.first_vertex);
    store.num_vertex = part.first_vertex + count;
}

void read_num_faces(text_scanner& s) {
    int32_t count;
    if (!read_count(s, count))
        return;
    part.faces = count;
    std::printf("Amount of faces in this mesh %i\n", count);
    alloc_faces(count, part.first_face);
    store.num_faces = part.first_face + count;
}

void read_vertex(text_scanner& s) {
    int32_t i;
    float x, y, z;
    if (!read_record<"%i%f %f %f">(s, "%i", i, "%f %f %f", &x, &y, &z) ||
        !in_range(i, part.vertices, store.v_data))
        return;
    d_data& vertex = store.v_data[part.first_vertex + i];
    vertex.index = i;
    vertex.pos[0] = x;
    vertex.pos[1] = y;
    vertex.pos[2] = -z;
}

void read_face(text_scanner& s) {
    last_read.record =
        read_triple<"%i:\tA:\t%d B:\t%d C:\t%d">(s, "%i:", "\tA:\t%d B:\t%d C:\t%d", store.f_list,
                                                 part.first_face, part.faces, &f_data::vert);
}

// Texture faces are numbered like faces, so the array gets one per face.
// The numbers after the count reach the store only in the rare file where
// they stand right after it; exporter files open the vertex list there.
void read_num_tvertex(text_scanner& s) {
    int32_t n = 0;
    float st[2];
    const bool got_n = scan(s, "%i", &n) == 1;
    const int32_t tfaces = store.f_list != nullptr ? part.faces : 0;
    alloc_tfaces(tfaces, part.first_face);
    part.tfaces = tfaces;
    if (got_n)
        part.tvertices = n;
    last_read.read = got_n;
    last_read.count = n;
    const int got = scan(s, "%f %f", &st[0], &st[1]);
    if (!got_n || got < 1 || !in_range(n, part.vertices, store.v_data))
        return;
    d_data& vertex = store.v_data[part.first_vertex + n];
    vertex.u = st[0];
    if (got == 2)
        vertex.v = st[1];
}

void read_tface(text_scanner& s) {
    last_read.record = read_triple<"%i%i %i %i">(s, "%i", "%i %i %i", store.t_list, part.first_face,
                                                 part.tfaces, &t_face::tvert);
}

// The offsets apply to the vertex whose number the mesh's record 0 holds.
d_data* offset_vertex() {
    if (!in_range(0, part.vertices, store.v_data))
        return nullptr;
    const int32_t k = store.v_data[part.first_vertex].index;
    return in_range(k, part.vertices, store.v_data) ? &store.v_data[part.first_vertex + k]
                                                    : nullptr;
}

void read_u_offset(text_scanner& s) {
    float r = 0;
    d_data* vertex = offset_vertex();
    last_read.read = scan(s, "%f", &r) == 1;
    last_read.offset = r;
    if (last_read.read && vertex != nullptr)
        vertex->u += r;
}

void read_v_offset(text_scanner& s) {
    float r = 0;
    d_data* vertex = offset_vertex();
    last_read.read = scan(s, "%f", &r) == 1;
    last_read.offset = r;
    if (last_read.read && vertex != nullptr)
        vertex->v += r;
}

void read_face_normal(text_scanner& s) {
    int32_t i;
    float x, y, z;
    if (!scan_plain<"%i %f %f %f">(s, &i, &x, &y, &z) &&
        scan(s, "%i %f %f %f", &i, &x, &y, &z) != 4)
        return;
    if (in_range(i, part.faces, store.f_list)) {
        f_data& face = store.f_list[part.first_face + i];
        face.norm[0] = x;
        face.norm[1] = y;
        face.norm[2] = z;
    }
    store.normal_face = i;
}

// Vertex normals belong to the corners of the latest face normal, in file
// order. A line naming a vertex outside the array still takes its corner,
// so the faces after it keep their corners.
void read_vertex_normal(text_scanner& s) {
    int32_t i;
    float x, y, z;
    if (!read_record<"%i%f %f %f">(s, "%i", i, "%f %f %f", &x, &y, &z))
        return;
    if (in_range(i, part.vertices, store.v_data)) {
        d_data& vertex = store.v_data[part.first_vertex + i];
        vertex.norm[0] = x;
        vertex.norm[1] = y;
        vertex.norm[2] = -z;
        if (in_range(store.normal_face, part.faces, store.f_list))
            store.f_list[part.first_face + store.normal_face].nvert[store.normal_corner] = i;
    }
    store.normal_corner = (store.normal_corner + 1) % 3;
}

void read_num_cvertex(text_scanner& s) {
    int32_t count;
    if (!read_count(s, count))
        return;
    part.cvertices = count;
    alloc_colors(count, part.first_cvertex);
    store.num_cvertex = part.first_cvertex + count;
}

void read_vertex_color(text_scanner& s) {
    read_triple<"%i%f %f %f">(s, "%i", "%f %f %f", store.v_color, part.first_cvertex,
                              part.cvertices, &c_data::rgb);
}

void read_num_cvfaces(text_scanner& s) {
    int32_t count;
    if (!read_count(s, count))
        return;
    part.cvfaces = count;
    store.num_cvfaces = bounded_sum(part.first_cvface, count);
}

void read_color_face(text_scanner& s) {
    read_triple<"%i%i %i %i">(s, "%i", "%i %i %i", store.f_list, part.first_face, part.faces,
                              &f_data::cvert);
}

template <size_t size> bool is(const char* token, const char (&keyword)[size]) {
    return std::memcmp(token, keyword, size - 1) == 0;
}

// The handler of a keyword token: whole, case-sensitive equality, found by
// the token's length first so that a token is compared with one to four
// keywords of its own length.
keyword_handler find_handler(const char* token, size_t length) {
    switch (length) {
    case 10:
        return is(token, "*MESH_FACE") ? read_face : nullptr;
    case 11:
        return is(token, "*MESH_TFACE")   ? read_tface
               : is(token, "*MESH_CFACE") ? read_color_face
                                          : nullptr;
    case 12:
        return is(token, "*MESH_VERTEX") ? read_vertex : nullptr;
    case 13:
        return is(token, "*UVW_U_OFFSET")   ? read_u_offset
               : is(token, "*UVW_V_OFFSET") ? read_v_offset
               : is(token, "*MESH_VERTCOL") ? read_vertex_color
                                            : nullptr;
    case 14:
        return is(token, "*MESH_NUMFACES") ? read_num_faces : nullptr;
    case 15:
        return is(token, "*MESH_NUMVERTEX") ? read_num_vertex : nullptr;
    case 16:
        return is(token, "*MESH_NUMTVERTEX")   ? read_num_tvertex
               : is(token, "*MESH_FACENORMAL") ? read_face_normal
               : is(token, "*MESH_NUMCVERTEX") ? read_num_cvertex
               : is(token, "*MESH_NUMCVFACES") ? read_num_cvfaces
                                               : nullptr;
    case 18:
        return is(token, "*MESH_VERTEXNORMAL") ? read_vertex_normal : nullptr;
    default:
        return nullptr;
    }
}

// Tells the material reader what a handler just read, where it needs that.
void note_handler(const text_scanner& s, keyword_handler handler) {
    if (handler == read_face)
        note_face(s, last_read.record);
    else if (handler == read_tface)
        note_tface(last_read.record);
    else if (handler == read_num_vertex)
        note_mesh_start(last_read.further_mesh);
    else if (handler == read_num_faces)
        note_face_count();
    else if (handler == read_num_tvertex)
        note_tvertex_count(last_read.read, last_read.count);
    else if (handler == read_u_offset || handler == read_v_offset)
        note_uvw_offset(handler == read_u_offset ? 0 : 1, last_read.read, last_read.offset);
}

// The stream's length, or -1 when it cannot be measured (a pipe).
int64_t stream_length(std::FILE* stream) {
    if (seek_file(stream, 0, SEEK_END) != 0)
        return -1;
    const int64_t length = tell_file(stream);
    std::rewind(stream);
    return length;
}

[[noreturn]] void fail_copying(const char* path, const char* directory, int error) {
    std::printf("cannot copy \"%s\" to a temporary file in \"%s\": %s\n", path, directory,
                std::strerror(error));
    std::exit(1);
}

// A copy of the rest of `stream` in a temporary file of its own, positioned
// at its start. A copy that cannot be made or written whole ends the
// process: reading on from the half-read stream would give a mesh without
// its beginning.
std::FILE* copy_to_temporary_file(std::FILE* stream, const char* path) {
    const char* directory = nullptr;
    std::FILE* copy = open_temporary_file(directory);
    if (copy == nullptr)
        fail_copying(path, directory, errno);
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0)
        if (std::fwrite(chunk, 1, got, copy) != got)
            fail_copying(path, directory, errno);
    if (std::ferror(stream))
        fail_reading(path, errno);
    if (std::fflush(copy) != 0)
        fail_copying(path, directory, errno);
    std::rewind(copy);
    return copy;
}

} // namespace

// A stream that cannot be measured (a pipe) is read from a copy in a
// temporary file, so that its length bounds the counts as a file's does:
// otherwise a few bytes could claim gigabytes of records.
void scan_ase(std::FILE* stream, const char* path, const ase_options& scan_options) {
    static text_scanner scanner;
    options = scan_options;
    int64_t length = stream_length(stream);
    std::FILE* copy = length < 0 ? copy_to_temporary_file(stream, path) : nullptr;
    if (copy != nullptr) {
        stream = copy;
        length = stream_length(stream);
    }
    std::rewind(stream);
    scan_start(scanner, stream, path);
    // Every record needs at least one character of the file.
    store.record_limit = length < 0 ? INT32_MAX : scanner.wide_text ? length / 2 : length;
    // Under -materials the same handlers run on the same tokens, and every
    // other token is discarded with the same bytes by the material reader,
    // which takes what it needs from them. One loop for both, so that the
    // keyword lookup stays inlined in it.
    if (options.materials)
        start_material_read();
    for (std::string_view token; !(token = scan_token(scanner)).empty();) {
        keyword_handler handler = find_handler(token.data(), token.size());
        if (handler == nullptr) {
            if (options.materials)
                read_material_token(scanner, token);
            else
                discard_line(scanner);
            continue;
        }
        handler(scanner);
        if (options.materials)
            note_handler(scanner, handler);
    }
    if (options.all_meshes)
        close_mesh();
    if (options.materials)
        finish_material_read();
    if (copy != nullptr)
        std::fclose(copy);
}

// Binary mode, so that every system reads the bytes Linux reads: in text
// mode Windows ends the file at a 0x1A byte. A CR is white space either way.
void load_ase(const char* path, const char* hint, const ase_options& load_options) {
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) {
        const int reason = errno;
        std::printf("File not there or something ;|\n");
        std::fprintf(stderr, "aseview: cannot open \"%s\": %s%s\n", path, std::strerror(reason),
                     hint);
        std::exit(1);
    }
    scan_ase(stream, path, load_options);
    std::fclose(stream);
}
