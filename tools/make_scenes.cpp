// Writes ASE scenes that do what real exports do, for trying the viewer on:
// many meshes placed far from the origin with Z up, helpers, cameras and
// lights without meshes, parts without colours, tiny and huge models, a map
// compiler's tab-separated faces, scientific notation, odd smoothing lists,
// an unclosed material block, CR LF line ends, no final newline and UTF-16.
// Usage: make_scenes OUTPUT_DIRECTORY
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct vec3 {
    double x, y, z;
};

struct part {
    std::vector<vec3> positions;
    std::vector<int> corners; // three per face
    bool coloured = false;
};

// How a scene's text is laid out, as the exporters that wrote them differ.
struct dialect {
    const char* line_end = "\n";
    bool converter_faces = false; // tabs and no colon after the face number
    bool scientific = false;      // numbers as %e
    bool odd_smoothing = false;   // empty, trailing-comma and listed groups
    bool cface_keyword = false;   // *MESH_NUMCFACES instead of *MESH_NUMCVFACES
    bool unclosed_material = false;
    bool final_newline = true;
};

const double pi = 3.14159265358979323846;

// A box from `low` to `high`: 8 vertices, 12 faces.
part box(vec3 low, vec3 high, bool coloured) {
    part p;
    p.coloured = coloured;
    for (int i = 0; i < 8; ++i)
        p.positions.push_back(
            {i & 1 ? high.x : low.x, i & 2 ? high.y : low.y, i & 4 ? high.z : low.z});
    p.corners = {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                 2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};
    return p;
}

// An upright cylinder around `base` (Z up), `sides` faces round.
part cylinder(vec3 base, double radius, double height, int sides, bool coloured) {
    part p;
    p.coloured = coloured;
    for (int j = 0; j < sides; ++j) {
        const double a = 2 * pi * j / sides;
        const vec3 rim = {base.x + radius * std::cos(a), base.y + radius * std::sin(a), base.z};
        p.positions.push_back(rim);
        p.positions.push_back({rim.x, rim.y, base.z + height});
    }
    for (int j = 0; j < sides; ++j) {
        const int a = 2 * j, b = 2 * ((j + 1) % sides);
        p.corners.insert(p.corners.end(), {a, b, b + 1, a, b + 1, a + 1});
    }
    return p;
}

vec3 face_normal(const part& p, size_t f) {
    const vec3 a = p.positions[p.corners[f * 3]], b = p.positions[p.corners[f * 3 + 1]],
               c = p.positions[p.corners[f * 3 + 2]];
    const vec3 u = {b.x - a.x, b.y - a.y, b.z - a.z}, v = {c.x - a.x, c.y - a.y, c.z - a.z};
    vec3 n = {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    return length > 0 ? vec3{n.x / length, n.y / length, n.z / length} : n;
}

class scene_writer {
  public:
    scene_writer(const dialect& d) : d_(d) {}

    void line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char text[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        text_ += text;
        text_ += d_.line_end;
    }

    std::string number(double value) const {
        char text[64];
        std::snprintf(text, sizeof text, d_.scientific ? "%.6e" : "%.4f", value);
        return text;
    }

    void header(const char* name) {
        line("*3DSMAX_ASCIIEXPORT\t200");
        line("*COMMENT \"aseview test scene: %s, scale \\\"2,00\\\"\"", name);
        line("*SCENE {");
        line("\t*SCENE_FILENAME \"%s.max\"", name);
        line("}");
        line("*MATERIAL_LIST {");
        line("\t*MATERIAL_COUNT 1");
        line("\t*MATERIAL 0 {");
        line("\t\t*MATERIAL_NAME \"Concrete\"   ");
        line("\t\t*UVW_U_OFFSET 0.0000");
        if (!d_.unclosed_material)
            line("\t}");
        line("}");
    }

    // Objects that hold no mesh: a helper, a camera and a light.
    void helpers() {
        line("*HELPEROBJECT {");
        line("\t*NODE_NAME \"Dummy01\"");
        line("\t*HELPER_CLASS \"Dummy\"");
        line("}");
        line("*GEOMOBJECT {");
        line("\t*NODE_NAME \"Point01\"");
        line("}");
        line("*CAMERAOBJECT {");
        line("\t*NODE_NAME \"Camera01\"");
        line("\t*CAMERA_SETTINGS {");
        line("\t\t*CAMERA_FOV 0.7854");
        line("\t}");
        line("}");
        line("*LIGHTOBJECT {");
        line("\t*NODE_NAME \"Omni01\"");
        line("\t*LIGHT_TYPE Omni");
        line("}");
    }

    void object(const char* name, const part& p) {
        const size_t vertices = p.positions.size(), faces = p.corners.size() / 3;
        line("*GEOMOBJECT {");
        line("\t*NODE_NAME \"%s\"", name);
        line("\t*MESH {");
        line("\t\t*TIMEVALUE 0");
        line("\t\t*MESH_NUMVERTEX %zu", vertices);
        line("\t\t*MESH_NUMFACES %zu", faces);
        line("\t\t*MESH_VERTEX_LIST {");
        for (size_t i = 0; i < vertices; ++i)
            line("\t\t\t*MESH_VERTEX %5zu\t%s\t%s\t%s", i, number(p.positions[i].x).c_str(),
                 number(p.positions[i].y).c_str(), number(p.positions[i].z).c_str());
        line("\t\t}");
        line("\t\t*MESH_FACE_LIST {");
        for (size_t f = 0; f < faces; ++f) {
            const int* c = &p.corners[f * 3];
            const char* smoothing = !d_.odd_smoothing ? "1"
                                    : f % 3 == 0      ? ""
                                    : f % 3 == 1      ? "1,"
                                                      : "1,2";
            if (d_.converter_faces)
                line("\t\t\t*MESH_FACE\t%zu\tA:\t%d\tB:\t%d\tC:\t%d\tAB:\t1\tBC:\t1\tCA:\t1"
                     "\t*MESH_SMOOTHING %s\t*MESH_MTLID 0",
                     f, c[0], c[1], c[2], smoothing);
            else
                line("\t\t\t*MESH_FACE %5zu:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    0"
                     "\t *MESH_SMOOTHING %s \t*MESH_MTLID 0",
                     f, c[0], c[1], c[2], smoothing);
        }
        line("\t\t}");
        line("\t\t*MESH_NUMTVERTEX 1");
        line("\t\t*MESH_TVERTLIST {");
        line("\t\t\t*MESH_TVERT 0\t0.5000\t0.5000\t0.0000");
        line("\t\t}");
        if (p.coloured) {
            line("\t\t*MESH_NUMCVERTEX %zu", vertices);
            line("\t\t*MESH_CVERTLIST {");
            for (size_t i = 0; i < vertices; ++i)
                line("\t\t\t*MESH_VERTCOL %5zu\t%s\t%s\t%s", i, number(i % 2 ? 0.9 : 0.3).c_str(),
                     number(i % 3 ? 0.2 : 0.8).c_str(), number(i % 5 ? 0.6 : 0.1).c_str());
            line("\t\t}");
            line("\t\t*%s %zu", d_.cface_keyword ? "MESH_NUMCFACES" : "MESH_NUMCVFACES", faces);
            line("\t\t*MESH_CFACELIST {");
            for (size_t f = 0; f < faces; ++f)
                line("\t\t\t*MESH_CFACE %5zu\t%d\t%d\t%d", f, p.corners[f * 3],
                     p.corners[f * 3 + 1], p.corners[f * 3 + 2]);
            line("\t\t}");
        }
        line("\t\t*MESH_NORMALS {");
        for (size_t f = 0; f < faces; ++f) {
            const vec3 n = face_normal(p, f);
            line("\t\t\t*MESH_FACENORMAL %5zu\t%s\t%s\t%s", f, number(n.x).c_str(),
                 number(n.y).c_str(), number(n.z).c_str());
            for (int k = 0; k < 3; ++k)
                line("\t\t\t\t*MESH_VERTEXNORMAL %5d\t%s\t%s\t%s", p.corners[f * 3 + k],
                     number(n.x).c_str(), number(n.y).c_str(), number(n.z).c_str());
        }
        line("\t\t}");
        line("\t}");
        line("\t*MATERIAL_REF 0");
        line("}");
    }

    std::string text() const {
        if (d_.final_newline)
            return text_;
        return text_.substr(0, text_.size() - std::string(d_.line_end).size());
    }

  private:
    dialect d_;
    std::string text_;
};

bool write_file(const std::string& path, const std::string& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
}

// The text as UTF-16 little-endian with its byte-order mark, as some
// exporters on Windows write it.
std::string utf16le(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// A street corner of a level: crates, pillars and a kerb, about 2500 units
// from the origin, sized in level units, Z up.
std::string level_corner(const dialect& d) {
    scene_writer w(d);
    w.header("level_corner");
    w.helpers();
    const vec3 site = {2480, -1310, 160};
    char name[32];
    for (int i = 0; i < 6; ++i) {
        const vec3 low = {site.x + 70.0 * i, site.y + 40.0 * (i % 2), site.z};
        std::snprintf(name, sizeof name, "Crate%02d", i + 1);
        w.object(name, box(low, {low.x + 48, low.y + 48, low.z + 48 + 16.0 * (i % 3)}, i % 2 == 0));
    }
    for (int i = 0; i < 3; ++i) {
        std::snprintf(name, sizeof name, "Pillar%02d", i + 1);
        w.object(name,
                 cylinder({site.x + 30 + 160.0 * i, site.y + 140, site.z}, 14, 220, 16, i == 1));
    }
    w.object("Kerb", box({site.x - 20, site.y - 40, site.z - 12},
                         {site.x + 460, site.y - 10, site.z}, false));
    return w.text();
}

std::string single_part(const char* name, const part& p, const dialect& d) {
    scene_writer w(d);
    w.header(name);
    w.object(name, p);
    return w.text();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    dialect crlf;
    crlf.line_end = "\r\n";
    crlf.final_newline = false;
    dialect converter;
    converter.converter_faces = true;
    converter.odd_smoothing = true;
    dialect odd;
    odd.scientific = true;
    odd.cface_keyword = true;
    odd.unclosed_material = true;
    odd.odd_smoothing = true;
    const std::string corner = level_corner(crlf);
    const bool written =
        write_file(dir + "level_corner.ase", corner) &&
        write_file(dir + "level_corner_utf16.ase", utf16le(corner)) &&
        write_file(dir + "level_corner_converter.ase", level_corner(converter)) &&
        write_file(dir + "level_corner_odd.ase", level_corner(odd)) &&
        write_file(dir + "bolt.ase",
                   single_part("Bolt", cylinder({0.01, 0.02, 0}, 0.004, 0.03, 12, true), crlf)) &&
        write_file(dir + "hangar.ase",
                   single_part("Hangar", box({-4000, -2500, 0}, {4000, 2500, 1800}, true), {})) &&
        write_file(dir + "barrel_far.ase",
                   single_part("Barrel", cylinder({-900, 5200, -40}, 18, 52, 24, false), odd));
    return written ? 0 : 1;
}
