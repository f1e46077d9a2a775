#include "mesh/ase_reader.h"

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
// `field` of that record when the number lies inside the array.
template <fixed_format line_format, typename Record, typename Value>
void read_triple(text_scanner& s, const char* index_format, const char* values_format,
                 Record* array, int32_t count, Value (Record::*field)[3]) {
    int32_t i;
    Value values[3];
    if (read_record<line_format>(s, index_format, i, values_format, &values[0], &values[1],
                                 &values[2]) &&
        in_range(i, count, array))
        std::copy(values, values + 3, array[i].*field);
}

// Reads one count; false (and nothing changes) when no number follows.
bool read_count(text_scanner& s, int32_t& count) {
    return scan(s, "%i", &count) == 1;
}

void read_num_vertex(text_scanner& s) {
    if (store.mesh_loaded == 1) {
        std::printf("Sorry. only have support for a single mesh\n");
        std::exit(1);
    }
    // The keyword itself is the file's one mesh, whether or not a count follows.
    store.mesh_loaded = 1;
    int32_t count;
    if (!read_count(s, count))
        return;
    store.num_vertex = count;
    std::printf("Amount of Vertices in this mesh %i\n", count);
    alloc_data(count);
}

void read_num_faces(text_scanner& s) {
    int32_t count;
    if (!read_count(s, count))
        return;
    store.num_faces = count;
    std::printf("Amount of faces in this mesh %i\n", count);
    alloc_faces(count);
}

void read_vertex(text_scanner& s) {
    int32_t i;
    float x, y, z;
    if (!read_record<"%i%f %f %f">(s, "%i", i, "%f %f %f", &x, &y, &z) ||
        !in_range(i, store.num_vertex, store.v_data))
        return;
    d_data& vertex = store.v_data[i];
    vertex.index = i;
    vertex.pos[0] = x;
    vertex.pos[1] = y;
    vertex.pos[2] = -z;
}

void read_face(text_scanner& s) {
    read_triple<"%i:\tA:\t%d B:\t%d C:\t%d">(s, "%i:", "\tA:\t%d B:\t%d C:\t%d", store.f_list,
                                             store.num_faces, &f_data::vert);
}

// Texture faces are numbered like faces, so the array gets one per face.
// The numbers after the count reach the store only in the rare file where
// they stand right after it; exporter files open the vertex list there.
void read_num_tvertex(text_scanner& s) {
    int32_t n;
    float st[2];
    const bool got_n = scan(s, "%i", &n) == 1;
    alloc_tfaces(store.f_list != nullptr ? store.num_faces : 0);
    const int got = scan(s, "%f %f", &st[0], &st[1]);
    if (!got_n || got < 1 || !in_range(n, store.num_vertex, store.v_data))
        return;
    store.v_data[n].u = st[0];
    if (got == 2)
        store.v_data[n].v = st[1];
}

void read_tface(text_scanner& s) {
    read_triple<"%i%i %i %i">(s, "%i", "%i %i %i", store.t_list, store.num_tfaces, &t_face::tvert);
}

// The offsets apply to the vertex whose number record 0 holds.
d_data* offset_vertex() {
    if (!in_range(0, store.num_vertex, store.v_data))
        return nullptr;
    const int32_t k = store.v_data[0].index;
    return in_range(k, store.num_vertex, store.v_data) ? &store.v_data[k] : nullptr;
}

void read_u_offset(text_scanner& s) {
    float r;
    d_data* vertex = offset_vertex();
    if (scan(s, "%f", &r) == 1 && vertex != nullptr)
        vertex->u += r;
}

void read_v_offset(text_scanner& s) {
    float r;
    d_data* vertex = offset_vertex();
    if (scan(s, "%f", &r) == 1 && vertex != nullptr)
        vertex->v += r;
}

void read_face_normal(text_scanner& s) {
    int32_t i;
    float x, y, z;
    if (!scan_plain<"%i %f %f %f">(s, &i, &x, &y, &z) &&
        scan(s, "%i %f %f %f", &i, &x, &y, &z) != 4)
        return;
    if (in_range(i, store.num_faces, store.f_list)) {
        f_data& face = store.f_list[i];
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
    if (in_range(i, store.num_vertex, store.v_data)) {
        d_data& vertex = store.v_data[i];
        vertex.norm[0] = x;
        vertex.norm[1] = y;
        vertex.norm[2] = -z;
        if (in_range(store.normal_face, store.num_faces, store.f_list))
            store.f_list[store.normal_face].nvert[store.normal_corner] = i;
    }
    store.normal_corner = (store.normal_corner + 1) % 3;
}

void read_num_cvertex(text_scanner& s) {
    int32_t count;
    if (!read_count(s, count))
        return;
    store.num_cvertex = count;
    alloc_colors(count);
}

void read_vertex_color(text_scanner& s) {
    read_triple<"%i%f %f %f">(s, "%i", "%f %f %f", store.v_color, store.num_cvertex, &c_data::rgb);
}

void read_num_cvfaces(text_scanner& s) {
    int32_t count;
    if (read_count(s, count))
        store.num_cvfaces = count;
}

void read_color_face(text_scanner& s) {
    read_triple<"%i%i %i %i">(s, "%i", "%i %i %i", store.f_list, store.num_faces, &f_data::cvert);
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
void scan_ase(std::FILE* stream, const char* path) {
    static text_scanner scanner;
    int64_t length = stream_length(stream);
    std::FILE* copy = length < 0 ? copy_to_temporary_file(stream, path) : nullptr;
    if (copy != nullptr) {
        stream = copy;
        length = stream_length(stream);
    }
    std::rewind(stream);
    store.record_limit = length >= 0 ? length : INT32_MAX;
    scan_start(scanner, stream, path);
    for (std::string_view token; !(token = scan_token(scanner)).empty();) {
        if (keyword_handler handler = find_handler(token.data(), token.size()))
            handler(scanner);
        else
            discard_line(scanner);
    }
    if (copy != nullptr)
        std::fclose(copy);
}

// Binary mode, so that every system reads the bytes Linux reads: in text
// mode Windows ends the file at a 0x1A byte. A CR is white space either way.
void load_ase(const char* path) {
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) {
        std::printf("File not there or something ;|\n");
        std::exit(1);
    }
    scan_ase(stream, path);
    std::fclose(stream);
}
