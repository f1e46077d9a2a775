#include "mesh/material_reader.h"

#include "mesh/materials.h"
#include "mesh/mesh_store.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

material_table_t material_table;

namespace {

// 3ds Max nests Multi/Sub-Object materials a few levels deep; a block
// deeper than this is not read as a material, so that resolving a face
// costs a bounded number of steps whatever the file nests.
constexpr int32_t max_material_depth = 16;

// A face line's *MESH_MTLID is looked for this far after its corners; a
// longer line is searched part by part as its tokens discard it.
constexpr ptrdiff_t max_face_line_bytes = 4096;

// A quoted name is looked for this far past the discarded text, so that a
// line of names cannot make each of its tokens search the whole buffer.
constexpr ptrdiff_t max_quoted_bytes = 4096;

// A material or sub-material block of the file.
struct material_node {
    material_look look;
    int32_t number = 0;            // from *MATERIAL n or *SUBMATERIAL n
    int32_t sub_count = 0;         // *NUMSUBMTLS; 0 takes the number of sub-material blocks
    int32_t depth = 0;             // 0 for the list itself, 1 for its materials
    int32_t look_index = -1;       // its place in looks once a face reaches it
    std::vector<int32_t> children; // its sub-materials (the list's: its materials)
};

// What an opening brace opens, decided by the keyword before it.
enum class opener { none, list, material, submaterial, map_diffuse, channel };
enum class block { list, material, map_diffuse, channel, other };

struct open_block {
    block kind;
    int32_t node; // the material it belongs to, or -1
};

// What the lines of a mesh gave, kept in file order and put into the
// table's arrays once, when the file ends: a count that the file repeats
// then costs nothing, whatever it claims.
struct material_id_line {
    int32_t face; // in its mesh
    int32_t id;
};
struct tface_line {
    int32_t face;     // in its mesh
    int32_t tvert[3]; // texture vertices in its mesh
};
struct tvertex_line {
    int32_t index; // in its mesh
    std::array<float, 2> uv;
};

// One mesh of the file, numbered like mesh_store.current_mesh; its lines
// start at the first_*_line entries of the reading state.
struct mesh_record {
    int32_t first_face = 0;
    int32_t first_tvertex = 0; // its texture vertex 0 in material_table.tvertices
    int32_t tvertices = 0;     // from its *MESH_NUMTVERTEX outside mapping channels
    int32_t material_ref = -1; // *MATERIAL_REF; -1 without one
    size_t first_id_line = 0;
    size_t first_tface_line = 0;
    size_t first_tvertex_line = 0;
};

enum class keyword {
    none,
    material_list,
    material,
    submaterial,
    map_diffuse,
    mapping_channel,
    material_name,
    material_diffuse,
    sub_count,
    bitmap,
    u_tiling,
    v_tiling,
    angle,
    material_ref,
    object,
    tvertex,
    material_id,
};

struct keyword_name {
    std::string_view text;
    keyword id;
};

// The two that a mesh repeats come first.
constexpr keyword_name keywords[] = {
    {"*MESH_TVERT", keyword::tvertex},
    {"*MESH_MTLID", keyword::material_id},
    {"*MATERIAL_LIST", keyword::material_list},
    {"*MATERIAL", keyword::material},
    {"*SUBMATERIAL", keyword::submaterial},
    {"*MAP_DIFFUSE", keyword::map_diffuse},
    {"*MESH_MAPPINGCHANNEL", keyword::mapping_channel},
    {"*MATERIAL_NAME", keyword::material_name},
    {"*MATERIAL_DIFFUSE", keyword::material_diffuse},
    {"*NUMSUBMTLS", keyword::sub_count},
    {"*BITMAP", keyword::bitmap},
    {"*UVW_U_TILING", keyword::u_tiling},
    {"*UVW_V_TILING", keyword::v_tiling},
    {"*UVW_ANGLE", keyword::angle},
    {"*MATERIAL_REF", keyword::material_ref},
    {"*GEOMOBJECT", keyword::object},
    {"*SHAPEOBJECT", keyword::object},
    {"*HELPEROBJECT", keyword::object},
    {"*LIGHTOBJECT", keyword::object},
    {"*CAMERAOBJECT", keyword::object},
};

constexpr std::string_view material_id_keyword = "*MESH_MTLID";

struct reading_state {
    std::vector<material_node> nodes; // nodes[0] is the material list
    std::vector<open_block> blocks;   // blocks open inside the list or a mapping channel
    opener pending = opener::none;    // what the next opening brace opens
    int32_t pending_number = 0;       // the *MATERIAL or *SUBMATERIAL number before it
    bool quoted = false;              // inside quotes while counting braces
    std::vector<mesh_record> meshes;
    std::vector<material_id_line> id_lines;
    std::vector<tface_line> tface_lines;
    std::vector<tvertex_line> tvertex_lines;
    int32_t ref_mesh = 0;   // the mesh a *MATERIAL_REF belongs to; -1 between objects
    int32_t face_line = -1; // the face (in its mesh) whose long line is being discarded
};

reading_state state;

[[noreturn]] void fail_memory() {
    std::printf("error in material_table: not enough memory for the materials\n");
    std::exit(1);
}

keyword find_keyword(std::string_view token) {
    if (token.size() < 7 || token[0] != '*')
        return keyword::none;
    for (const keyword_name& name : keywords)
        if (name.text.size() == token.size() && name.text.back() == token.back() &&
            name.text == token)
            return name.id;
    return keyword::none;
}

const char* skip_blanks(const char* at, const char* end) {
    while (at < end && (*at == ' ' || *at == '\t'))
        ++at;
    return at;
}

// Reads one number at `at` (blanks first); advances past it, or false. `end`
// is the end of the buffer's data, where its NUL stands. The scanner's plain
// path reads the usual short numbers; from_chars the rest.
template <typename Number> bool read_number(const char*& at, const char* end, Number& value) {
    const char* start = skip_blanks(at, end);
    constexpr char kind = std::is_same_v<Number, float> ? 'f' : 'd';
    if (plain_scan::number<kind>(start, end, &value)) {
        at = start;
        return true;
    }
    if (start < end && *start == '+')
        ++start;
    const auto [stop, error] = std::from_chars(start, end, value);
    if (error != std::errc())
        return false;
    at = stop;
    return true;
}

// The text between the quotes on the line; an unclosed quote takes the
// rest of the line, and a name without quotes the line's text.
std::string read_quoted(const char* at, const char* end) {
    const char* line_end = static_cast<const char*>(std::memchr(at, '\n', end - at));
    end = line_end != nullptr ? line_end : end;
    const char* open = static_cast<const char*>(std::memchr(at, '"', end - at));
    if (open != nullptr) {
        at = open + 1;
        const char* close = static_cast<const char*>(std::memchr(at, '"', end - at));
        if (close != nullptr)
            return std::string(at, close);
    } else {
        at = skip_blanks(at, end);
    }
    while (end > at && (end[-1] == '\r' || end[-1] == ' ' || end[-1] == '\t'))
        --end;
    return std::string(at, end);
}

material_node* current_material(block kind) {
    if (state.blocks.empty() || state.blocks.back().kind != kind)
        return nullptr;
    return &state.nodes[static_cast<size_t>(state.blocks.back().node)];
}

bool in_mapping_channel() {
    return !state.blocks.empty() && state.blocks.front().kind == block::channel;
}

int32_t add_node(int32_t parent) {
    material_node node;
    node.number = state.pending_number;
    node.depth = state.nodes[static_cast<size_t>(parent)].depth + 1;
    const auto index = static_cast<int32_t>(state.nodes.size());
    state.nodes.push_back(std::move(node));
    state.nodes[static_cast<size_t>(parent)].children.push_back(index);
    return index;
}

void open_brace() {
    open_block opened{block::other, -1};
    const open_block* top = state.blocks.empty() ? nullptr : &state.blocks.back();
    const bool in_material = top != nullptr && top->kind == block::material;
    switch (state.pending) {
    case opener::list:
        if (top == nullptr)
            opened = {block::list, 0};
        break;
    case opener::material:
        if (top != nullptr && top->kind == block::list)
            opened = {block::material, add_node(0)};
        break;
    case opener::submaterial:
        if (in_material && state.nodes[static_cast<size_t>(top->node)].depth < max_material_depth)
            opened = {block::material, add_node(top->node)};
        break;
    case opener::map_diffuse:
        if (in_material)
            opened = {block::map_diffuse, top->node};
        break;
    case opener::channel:
        if (top == nullptr)
            opened = {block::channel, -1};
        break;
    case opener::none:
        break;
    }
    state.pending = opener::none;
    state.blocks.push_back(opened);
}

// Follows the braces of a token or of discarded text, outside quotes.
void count_braces(const char* at, const char* end) {
    for (; at < end; ++at) {
        if (*at == '"')
            state.quoted = !state.quoted;
        else if (*at == '\n')
            state.quoted = false;
        else if (state.quoted)
            continue;
        else if (*at == '{')
            open_brace();
        else if (*at == '}' && !state.blocks.empty())
            state.blocks.pop_back();
    }
}

// Where the number after the text's last *MESH_MTLID starts, or null.
// Exporters write it last on the face's line, which is tried first; a
// plain id there of up to four digits is read at once into `plain_id`
// (which stays -1 otherwise).
const char* after_last_material_id(const char* text, const char* end, int32_t& plain_id) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    const char* at = end;
    while (at > text && blank(at[-1]))
        --at;
    const char* digits_end = at;
    while (at > text && ((at[-1] >= '0' && at[-1] <= '9') || at[-1] == '-'))
        --at;
    const char* digits = at;
    while (at > text && blank(at[-1]))
        --at;
    const size_t size = material_id_keyword.size();
    if (static_cast<size_t>(at - text) >= size &&
        std::memcmp(at - size, material_id_keyword.data(), size) == 0) {
        const auto digit = [](char c) { return c >= '0' && c <= '9'; };
        if (digits < digits_end && digits_end - digits <= 4 &&
            std::all_of(digits, digits_end, digit)) {
            plain_id = 0;
            for (const char* d = digits; d < digits_end; ++d)
                plain_id = plain_id * 10 + (*d - '0');
        }
        return at;
    }
    const size_t found =
        std::string_view(text, static_cast<size_t>(end - text)).rfind(material_id_keyword);
    return found != std::string_view::npos ? text + found + size : nullptr;
}

void read_material_id(int32_t face, int32_t plain_id, const char* at, const char* end) {
    int32_t id = plain_id;
    if (plain_id >= 0 || read_number(at, end, id))
        state.id_lines.push_back({face, id});
}

// `line_end` ends the discarded line, `end` the buffer's data.
void read_texture_vertex(const char* at, const char* line_end, const char* end) {
    if (in_mapping_channel())
        return;
    tvertex_line line;
    // The usual plain numbers in one pass; a pass that crossed the line's
    // end is read again number by number, which stops there.
    const char* plain = at;
    std::tuple<int32_t*, float*, float*> values(&line.index, &line.uv[0], &line.uv[1]);
    // The discarded text holds no line end but perhaps its last byte.
    const bool plain_read =
        plain_scan::steps<"%d %f %f", 0, 0>(plain, line_end, values) &&
        (plain < line_end ||
         (line_end > at && line_end[-1] != '\n' &&
          std::memchr(line_end, '\n', static_cast<size_t>(plain - line_end)) == nullptr));
    if (plain_read || (read_number(at, end, line.index) && read_number(at, end, line.uv[0]) &&
                       read_number(at, end, line.uv[1])))
        state.tvertex_lines.push_back(line);
}

void read_float(block kind, float material_look::*field, const char* at, const char* end) {
    float value;
    if (material_node* node = current_material(kind);
        node != nullptr && read_number(at, end, value))
        node->look.*field = value;
}

// A keyword's values, from the text after it: `at` to `end`, the discarded
// line followed by what the buffer holds after it.
void read_keyword(keyword id, const char* at, const char* line_end, const char* end) {
    int32_t number;
    switch (id) {
    case keyword::material_list:
        state.pending = opener::list;
        break;
    case keyword::material:
    case keyword::submaterial:
        state.pending = id == keyword::material ? opener::material : opener::submaterial;
        state.pending_number = read_number(at, end, number) ? number : -1;
        break;
    case keyword::map_diffuse:
        state.pending = opener::map_diffuse;
        break;
    case keyword::mapping_channel:
        state.pending = opener::channel;
        break;
    case keyword::material_name:
        if (material_node* node = current_material(block::material))
            node->look.name = read_quoted(at, at + std::min(end - at, max_quoted_bytes));
        break;
    case keyword::material_diffuse:
        if (material_node* node = current_material(block::material)) {
            float rgb[3];
            if (read_number(at, end, rgb[0]) && read_number(at, end, rgb[1]) &&
                read_number(at, end, rgb[2]))
                std::copy(rgb, rgb + 3, node->look.diffuse);
        }
        break;
    case keyword::sub_count:
        if (material_node* node = current_material(block::material);
            node != nullptr && read_number(at, end, number))
            node->sub_count = std::max(number, 0);
        break;
    case keyword::bitmap:
        if (material_node* node = current_material(block::map_diffuse))
            node->look.bitmap = read_quoted(at, at + std::min(end - at, max_quoted_bytes));
        break;
    case keyword::u_tiling:
        read_float(block::map_diffuse, &material_look::u_tiling, at, end);
        break;
    case keyword::v_tiling:
        read_float(block::map_diffuse, &material_look::v_tiling, at, end);
        break;
    case keyword::angle:
        read_float(block::map_diffuse, &material_look::angle, at, end);
        break;
    case keyword::material_ref:
        if (state.ref_mesh >= 0 && read_number(at, end, number))
            state.meshes[static_cast<size_t>(state.ref_mesh)].material_ref = number;
        break;
    case keyword::object:
        // An object never lies inside the material list, even one left open;
        // a *MATERIAL_REF after it is its own, not the mesh's before it.
        state.blocks.clear();
        if (mesh_store.mesh_loaded == 1)
            state.ref_mesh = -1;
        else
            state.meshes.back().material_ref = -1;
        break;
    case keyword::tvertex:
        read_texture_vertex(at, line_end, end);
        break;
    case keyword::material_id:
        if (state.face_line >= 0)
            read_material_id(state.face_line, -1, at, end);
        break;
    case keyword::none:
        break;
    }
}

// The number of texture vertices a mesh may have after `first`, bounded as
// the store bounds its counts; 0 for a count it would refuse.
int32_t allowed_tvertices(int32_t first, int32_t count) {
    const int64_t total = int64_t{first} + count;
    const bool allowed = count >= 0 && total <= INT32_MAX &&
                         (total <= always_allocated_records || total <= mesh_store.record_limit);
    return allowed ? count : 0;
}

int32_t find_child(const material_node& node, int64_t number) {
    const auto found = std::lower_bound(
        node.children.begin(), node.children.end(), number, [](int32_t child, int64_t wanted) {
            return state.nodes[static_cast<size_t>(child)].number < wanted;
        });
    return found != node.children.end() && state.nodes[static_cast<size_t>(*found)].number == number
               ? *found
               : -1;
}

// The look of a face of material `node` with material id `id`: each level
// of sub-materials takes the id modulo its count, as 3ds Max does.
int32_t look_of(int32_t node, int32_t id) {
    while (node >= 0 && !state.nodes[static_cast<size_t>(node)].children.empty()) {
        const material_node& material = state.nodes[static_cast<size_t>(node)];
        const int64_t count = material.sub_count > 0
                                  ? material.sub_count
                                  : static_cast<int64_t>(material.children.size());
        node = find_child(material, (int64_t{id} % count + count) % count);
    }
    if (node < 0)
        return 0;
    material_node& leaf = state.nodes[static_cast<size_t>(node)];
    if (leaf.look_index < 0) {
        leaf.look_index = static_cast<int32_t>(material_table.looks.size());
        material_table.looks.push_back(leaf.look);
    }
    return leaf.look_index;
}

// Puts each mesh's lines into the table, numbered in the merged arrays. A
// line outside its mesh's final count names nothing.
void place_lines() {
    auto& faces = material_table.faces;
    faces.assign(static_cast<size_t>(std::max(mesh_store.num_faces, 0)), {0, {-1, -1, -1}});
    const mesh_record& last = state.meshes.back();
    material_table.tvertices.assign(static_cast<size_t>(last.first_tvertex) +
                                        static_cast<size_t>(last.tvertices),
                                    {0.0f, 0.0f});
    for (size_t m = 0; m < state.meshes.size(); ++m) {
        const mesh_record& mesh = state.meshes[m];
        const bool is_last = m + 1 == state.meshes.size();
        const mesh_record* next = is_last ? nullptr : &state.meshes[m + 1];
        const int64_t face_count =
            (is_last ? int64_t{mesh_store.num_faces} : next->first_face) - mesh.first_face;
        const auto face_slot = [&](int32_t face) -> face_material* {
            return face >= 0 && face < face_count
                       ? &faces[static_cast<size_t>(mesh.first_face) + static_cast<size_t>(face)]
                       : nullptr;
        };
        const size_t id_end = is_last ? state.id_lines.size() : next->first_id_line;
        for (size_t i = mesh.first_id_line; i < id_end; ++i)
            if (face_material* face = face_slot(state.id_lines[i].face))
                face->look = state.id_lines[i].id;
        const size_t tface_end = is_last ? state.tface_lines.size() : next->first_tface_line;
        for (size_t i = mesh.first_tface_line; i < tface_end; ++i)
            if (face_material* face = face_slot(state.tface_lines[i].face))
                for (int k = 0; k < 3; ++k) {
                    const int32_t corner = state.tface_lines[i].tvert[k];
                    face->tvert[k] =
                        corner >= 0 && corner < mesh.tvertices ? mesh.first_tvertex + corner : -1;
                }
        const size_t tvertex_end = is_last ? state.tvertex_lines.size() : next->first_tvertex_line;
        for (size_t i = mesh.first_tvertex_line; i < tvertex_end; ++i) {
            const tvertex_line& line = state.tvertex_lines[i];
            if (line.index >= 0 && line.index < mesh.tvertices)
                material_table.tvertices[static_cast<size_t>(mesh.first_tvertex + line.index)] =
                    line.uv;
        }
    }
}

// Replaces each face's material id with its look.
void resolve_looks() {
    for (material_node& node : state.nodes)
        std::stable_sort(node.children.begin(), node.children.end(), [](int32_t a, int32_t b) {
            return state.nodes[static_cast<size_t>(a)].number <
                   state.nodes[static_cast<size_t>(b)].number;
        });
    material_table.looks.assign(1, material_look{});
    auto& faces = material_table.faces;
    for (size_t m = 0; m < state.meshes.size(); ++m) {
        const mesh_record& mesh = state.meshes[m];
        const size_t first = std::min(faces.size(), static_cast<size_t>(mesh.first_face));
        const size_t end =
            m + 1 < state.meshes.size()
                ? std::min(faces.size(), static_cast<size_t>(state.meshes[m + 1].first_face))
                : faces.size();
        const int32_t material =
            mesh.material_ref >= 0 ? find_child(state.nodes[0], mesh.material_ref) : -1;
        // Faces in a row mostly share their id.
        int32_t last_id = 0;
        int32_t last_look = -1;
        for (size_t f = first; f < end; ++f) {
            if (last_look < 0 || faces[f].look != last_id) {
                last_id = faces[f].look;
                last_look = look_of(material, last_id);
            }
            faces[f].look = last_look;
        }
    }
}

} // namespace

void start_material_read() {
    material_table = material_table_t{};
    state = reading_state{};
    state.nodes.emplace_back();
    state.meshes.emplace_back();
}

void read_material_token(text_scanner& s, std::string_view token) {
    const bool tracking = !state.blocks.empty() || state.pending != opener::none;
    // Most tokens of a mesh are none of the material reader's business.
    if (token[0] != '*' && state.face_line < 0 && !tracking) {
        discard_line(s);
        return;
    }
    try {
        const keyword id = find_keyword(token);
        if (token[0] == '*')
            state.pending = opener::none;
        // The token's text may move when discard_line refills the buffer.
        if (tracking && id == keyword::none)
            count_braces(token.data(), token.data() + token.size());
        const int64_t before = s.buffer_offset + static_cast<int64_t>(s.position);
        discard_line(s);
        const auto discarded =
            static_cast<size_t>(s.buffer_offset + static_cast<int64_t>(s.position) - before);
        const char* text = s.buffer + s.position - discarded;
        const char* text_end = s.buffer + s.position;
        const char* data_end = s.buffer + s.length;
        read_keyword(id, text, text_end, data_end);
        if (!state.blocks.empty() || state.pending != opener::none)
            count_braces(text, text_end);
        else
            state.quoted = false;
        int32_t unused = -1;
        if (state.face_line >= 0 && id != keyword::material_id)
            if (const char* number = after_last_material_id(text, text_end, unused))
                read_material_id(state.face_line, -1, number, data_end);
        if (discarded > 0 && text_end[-1] == '\n')
            state.face_line = -1;
    } catch (const std::exception&) {
        fail_memory();
    }
}

void note_mesh_start(bool further_mesh) {
    state.face_line = -1;
    if (!further_mesh)
        return;
    try {
        const mesh_record& last = state.meshes.back();
        mesh_record next;
        next.first_face = mesh_store.current_mesh.first_face;
        next.first_tvertex = last.first_tvertex + last.tvertices;
        next.first_id_line = state.id_lines.size();
        next.first_tface_line = state.tface_lines.size();
        next.first_tvertex_line = state.tvertex_lines.size();
        state.meshes.push_back(next);
        state.ref_mesh = static_cast<int32_t>(state.meshes.size()) - 1;
    } catch (const std::exception&) {
        fail_memory();
    }
}

// Room for `more` lines after the first `kept`, growing at least twofold so
// that counts repeated or rising cost no more than their lines.
template <typename Line> void make_room(std::vector<Line>& lines, size_t kept, int32_t more) {
    lines.resize(kept);
    const size_t wanted = kept + static_cast<size_t>(std::max(more, 0));
    if (wanted > lines.capacity())
        lines.reserve(std::max(wanted, 2 * lines.capacity()));
}

// The store clears the mesh's faces when their count comes again, so the
// material ids read before go too.
void note_face_count() {
    state.face_line = -1;
    try {
        const mesh_record& mesh = state.meshes.back();
        make_room(state.id_lines, mesh.first_id_line, mesh_store.current_mesh.faces);
    } catch (const std::exception&) {
        fail_memory();
    }
}

// A face's *MESH_MTLID stands on its line after the corners: the rest of
// the line is searched where the buffer holds it, without consuming it.
void note_face(const text_scanner& s, int32_t face) {
    state.face_line = -1;
    if (face < 0)
        return;
    const char* rest = s.buffer + s.position;
    const char* data_end = s.buffer + s.length;
    const ptrdiff_t searched = std::min(data_end - rest, max_face_line_bytes);
    const char* line_end =
        static_cast<const char*>(std::memchr(rest, '\n', static_cast<size_t>(searched)));
    if (line_end == nullptr) {
        // The tokens that discard the rest of a longer line look further.
        if (searched == max_face_line_bytes || !s.file_ended) {
            state.face_line = face;
            return;
        }
        line_end = rest + searched;
    }
    int32_t plain_id = -1;
    if (const char* id = after_last_material_id(rest, line_end, plain_id))
        try {
            read_material_id(face, plain_id, id, data_end);
        } catch (const std::exception&) {
            fail_memory();
        }
}

// A new count of texture vertices starts the mesh's texture faces afresh,
// as the store's are, and its texture vertices.
void note_tvertex_count(bool read, int32_t count) {
    state.face_line = -1;
    if (!read || in_mapping_channel())
        return;
    try {
        mesh_record& mesh = state.meshes.back();
        mesh.tvertices = allowed_tvertices(mesh.first_tvertex, count);
        make_room(state.tface_lines, mesh.first_tface_line, mesh_store.current_mesh.tfaces);
        make_room(state.tvertex_lines, mesh.first_tvertex_line, mesh.tvertices);
    } catch (const std::exception&) {
        fail_memory();
    }
}

void note_tface(int32_t face) {
    state.face_line = -1;
    if (face < 0 || in_mapping_channel())
        return;
    try {
        const t_face& line = mesh_store.t_list[mesh_store.current_mesh.first_face + face];
        state.tface_lines.push_back({face, {line.tvert[0], line.tvert[1], line.tvert[2]}});
    } catch (const std::exception&) {
        fail_memory();
    }
}

void note_uvw_offset(int axis, bool read, float offset) {
    state.face_line = -1;
    if (material_node* node = current_material(block::map_diffuse); node != nullptr && read)
        (axis == 0 ? node->look.u_offset : node->look.v_offset) = offset;
}

void finish_material_read() {
    try {
        place_lines();
        resolve_looks();
    } catch (const std::exception&) {
        fail_memory();
    }
    state = reading_state{};
}
