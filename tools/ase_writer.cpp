#include "tools/ase_writer.h"

#include <cmath>

namespace {

vec3 operator+(vec3 a, vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
vec3 operator-(vec3 a, vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
vec3 operator*(vec3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
vec3 cross(vec3 a, vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
vec3 normalized(vec3 a) {
    const double length = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return length > 0 ? a * (1.0 / length) : a;
}

const double pi = 3.14159265358979323846;

// Centre line of a (2,3) torus knot, about 60 units across.
vec3 knot(double t) {
    const double r = 16.0 * (2.0 + std::cos(3 * t));
    return {r * std::cos(2 * t), r * std::sin(2 * t), -16.0 * std::sin(3 * t)};
}

vec3 hue(double h) {
    const auto channel = [h](double offset) {
        return 0.55 + 0.45 * std::cos(2 * pi * (h + offset));
    };
    return {channel(0.0), channel(1.0 / 3), channel(2.0 / 3)};
}

vec3 face_normal(const knot_mesh& m, size_t f) {
    const vec3 p0 = m.positions[m.corners[f * 3]], p1 = m.positions[m.corners[f * 3 + 1]],
               p2 = m.positions[m.corners[f * 3 + 2]];
    return normalized(cross(p1 - p0, p2 - p0));
}

} // namespace

knot_mesh build_tube(int segments, int sides) {
    knot_mesh m;
    const double radius = 7.0;
    for (int i = 0; i < segments; ++i) {
        const double t = 2 * pi * i / segments;
        const vec3 centre = knot(t);
        const vec3 tangent = normalized(knot(t + 1e-4) - knot(t - 1e-4));
        const vec3 side = normalized(cross(tangent, vec3{0, 0, 1}));
        const vec3 up = cross(side, tangent);
        for (int j = 0; j < sides; ++j) {
            const double a = 2 * pi * j / sides;
            const vec3 out = side * std::cos(a) + up * std::sin(a);
            m.positions.push_back(centre + out * radius);
            m.colors.push_back(hue(static_cast<double>(i) / segments + 0.15 * std::sin(a)));
        }
    }
    for (int i = 0; i < segments; ++i)
        for (int j = 0; j < sides; ++j) {
            const int a = i * sides + j, b = i * sides + (j + 1) % sides;
            const int c = ((i + 1) % segments) * sides + j,
                      d = ((i + 1) % segments) * sides + (j + 1) % sides;
            m.corners.insert(m.corners.end(), {a, c, b, b, c, d});
        }
    // Smooth normals: the area-weighted sum of the faces around each vertex.
    m.normals.assign(m.positions.size(), vec3{0, 0, 0});
    for (size_t f = 0; f < m.corners.size(); f += 3) {
        const vec3 p0 = m.positions[m.corners[f]], p1 = m.positions[m.corners[f + 1]],
                   p2 = m.positions[m.corners[f + 2]];
        const vec3 n = cross(p1 - p0, p2 - p0);
        for (int k = 0; k < 3; ++k)
            m.normals[m.corners[f + k]] = m.normals[m.corners[f + k]] + n;
    }
    for (vec3& n : m.normals)
        n = normalized(n);
    return m;
}

void write_ase(std::FILE* out, const knot_mesh& m) {
    const size_t vertex_count = m.positions.size(), face_count = m.corners.size() / 3;
    std::fprintf(out,
                 "*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"aseview sample model: trefoil knot\"\n");
    std::fprintf(
        out,
        "*SCENE {\n\t*SCENE_FILENAME \"knot.max\"\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n"
        "\t*SCENE_FRAMESPEED 30\n\t*SCENE_TICKSPERFRAME 160\n"
        "\t*SCENE_BACKGROUND_STATIC 0.0000\t0.0000\t0.0000\n"
        "\t*SCENE_AMBIENT_STATIC 0.0000\t0.0000\t0.0000\n}\n");
    std::fprintf(out, "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n"
                      "\t\t*MATERIAL_NAME \"Knot\"\n\t\t*MATERIAL_CLASS \"Standard\"\n"
                      "\t\t*MATERIAL_AMBIENT 0.1000\t0.1000\t0.1000\n"
                      "\t\t*MATERIAL_DIFFUSE 0.8000\t0.8000\t0.8000\n"
                      "\t\t*MATERIAL_SPECULAR 0.9000\t0.9000\t0.9000\n"
                      "\t\t*MATERIAL_SHINE 0.2500\n\t\t*MAP_REFLECT {\n"
                      "\t\t\t*MAP_NAME \"Sky\"\n\t\t\t*MAP_CLASS \"Bitmap\"\n"
                      "\t\t\t*BITMAP \"map2.tga\"\n\t\t\t*MAP_TYPE Spherical\n"
                      "\t\t\t*UVW_U_OFFSET 0.0000\n\t\t\t*UVW_V_OFFSET 0.0000\n"
                      "\t\t\t*UVW_U_TILING 1.0000\n\t\t\t*UVW_V_TILING 1.0000\n\t\t}\n\t}\n}\n");
    std::fprintf(out,
                 "*GEOMOBJECT {\n\t*NODE_NAME \"Knot01\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"Knot01\"\n"
                 "\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t\t*TM_ROW1 0.0000\t1.0000\t0.0000\n"
                 "\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n\t\t*TM_ROW3 0.0000\t0.0000\t0.0000\n\t}\n");
    std::fprintf(out,
                 "\t*MESH {\n\t\t*TIMEVALUE 0\n\t\t*MESH_NUMVERTEX %zu\n\t\t*MESH_NUMFACES %zu\n",
                 vertex_count, face_count);
    std::fprintf(out, "\t\t*MESH_VERTEX_LIST {\n");
    for (size_t i = 0; i < vertex_count; ++i)
        std::fprintf(out, "\t\t\t*MESH_VERTEX %5zu\t%.4f\t%.4f\t%.4f\n", i, m.positions[i].x,
                     m.positions[i].y, m.positions[i].z);
    std::fprintf(out, "\t\t}\n\t\t*MESH_FACE_LIST {\n");
    for (size_t f = 0; f < face_count; ++f)
        std::fprintf(out,
                     "\t\t\t*MESH_FACE %5zu:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    0"
                     "\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n",
                     f, m.corners[f * 3], m.corners[f * 3 + 1], m.corners[f * 3 + 2]);
    std::fprintf(out, "\t\t}\n\t\t*MESH_NUMTVERTEX %zu\n\t\t*MESH_TVERTLIST {\n", vertex_count);
    for (size_t i = 0; i < vertex_count; ++i)
        std::fprintf(out, "\t\t\t*MESH_TVERT %5zu\t%.4f\t%.4f\t0.0000\n", i,
                     0.5 + 0.5 * m.normals[i].x, 0.5 + 0.5 * m.normals[i].y);
    std::fprintf(out, "\t\t}\n\t\t*MESH_NUMTVFACES %zu\n\t\t*MESH_TFACELIST {\n", face_count);
    for (size_t f = 0; f < face_count; ++f)
        std::fprintf(out, "\t\t\t*MESH_TFACE %5zu\t%d\t%d\t%d\n", f, m.corners[f * 3],
                     m.corners[f * 3 + 1], m.corners[f * 3 + 2]);
    std::fprintf(out, "\t\t}\n\t\t*MESH_NUMCVERTEX %zu\n\t\t*MESH_CVERTLIST {\n", vertex_count);
    for (size_t i = 0; i < vertex_count; ++i)
        std::fprintf(out, "\t\t\t*MESH_VERTCOL %5zu\t%.4f\t%.4f\t%.4f\n", i, m.colors[i].x,
                     m.colors[i].y, m.colors[i].z);
    std::fprintf(out, "\t\t}\n\t\t*MESH_NUMCVFACES %zu\n\t\t*MESH_CFACELIST {\n", face_count);
    for (size_t f = 0; f < face_count; ++f)
        std::fprintf(out, "\t\t\t*MESH_CFACE %5zu\t%d\t%d\t%d\n", f, m.corners[f * 3],
                     m.corners[f * 3 + 1], m.corners[f * 3 + 2]);
    std::fprintf(out, "\t\t}\n\t\t*MESH_NORMALS {\n");
    for (size_t f = 0; f < face_count; ++f) {
        const vec3 n = face_normal(m, f);
        std::fprintf(out, "\t\t\t*MESH_FACENORMAL %5zu\t%.4f\t%.4f\t%.4f\n", f, n.x, n.y, n.z);
        for (int k = 0; k < 3; ++k) {
            const int v = m.corners[f * 3 + k];
            std::fprintf(out, "\t\t\t\t*MESH_VERTEXNORMAL %5d\t%.4f\t%.4f\t%.4f\n", v,
                         m.normals[v].x, m.normals[v].y, m.normals[v].z);
        }
    }
    std::fprintf(out,
                 "\t\t}\n\t}\n\t*PROP_MOTIONBLUR 0\n\t*PROP_CASTSHADOW 1\n\t*PROP_RECVSHADOW 1\n"
                 "\t*MATERIAL_REF 0\n}\n");
}
