#include "support/colour_cube.h"

#include <cmath>
#include <cstdio>

namespace {

// Corner i has its x, y and z sign in bits 0, 1 and 2.
int corner_sign(int corner, int axis) {
    return (corner >> axis) & 1 ? 1 : -1;
}

// Two triangles per side, as corner numbers; each side's corners go round
// in the same sense seen from outside.
const int triangles[12][3] = {
    {0, 2, 3}, {0, 3, 1}, // z = -1
    {4, 5, 7}, {4, 7, 6}, // z = +1
    {0, 1, 5}, {0, 5, 4}, // y = -1
    {2, 6, 7}, {2, 7, 3}, // y = +1
    {0, 4, 6}, {0, 6, 2}, // x = -1
    {1, 3, 7}, {1, 7, 5}, // x = +1
};

std::string line(const char* format, double a, double b, double c, double d) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

} // namespace

std::string colour_cube_ase(int half_size) {
    std::string text = "*3DSMAX_ASCIIEXPORT\t200\n*GEOMOBJECT {\n\t*MESH {\n";
    text += "\t\t*MESH_NUMVERTEX 8\n\t\t*MESH_NUMFACES 12\n\t\t*MESH_VERTEX_LIST {\n";
    for (int corner = 0; corner < 8; ++corner)
        text += line("\t\t\t*MESH_VERTEX %.0f\t%.4f\t%.4f\t%.4f\n", corner,
                     half_size * corner_sign(corner, 0), half_size * corner_sign(corner, 1),
                     half_size * corner_sign(corner, 2));
    text += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
    for (int face = 0; face < 12; ++face) {
        char face_line[120];
        std::snprintf(face_line, sizeof face_line, "\t\t\t*MESH_FACE %d:\tA:\t%d B:\t%d C:\t%d\n",
                      face, triangles[face][0], triangles[face][1], triangles[face][2]);
        text += face_line;
    }
    text += "\t\t}\n\t\t*MESH_NUMCVERTEX 8\n\t\t*MESH_CVERTLIST {\n";
    for (int corner = 0; corner < 8; ++corner)
        text += line("\t\t\t*MESH_VERTCOL %.0f\t%.4f\t%.4f\t%.4f\n", corner,
                     corner_sign(corner, 0) > 0 ? 1.0 : 0.4, corner_sign(corner, 1) > 0 ? 1.0 : 0.4,
                     corner_sign(corner, 2) > 0 ? 1.0 : 0.4);
    text += "\t\t}\n\t\t*MESH_NUMCVFACES 12\n\t\t*MESH_CFACELIST {\n";
    for (int face = 0; face < 12; ++face) {
        char face_line[120];
        std::snprintf(face_line, sizeof face_line, "\t\t\t*MESH_CFACE %d\t%d\t%d\t%d\n", face,
                      triangles[face][0], triangles[face][1], triangles[face][2]);
        text += face_line;
    }
    text += "\t\t}\n\t\t*MESH_NORMALS {\n";
    const double corner_normal = 1.0 / std::sqrt(3.0);
    for (int face = 0; face < 12; ++face) {
        // The side's normal is the axis on which all three corners agree.
        double normal[3] = {0, 0, 0};
        for (int axis = 0; axis < 3; ++axis) {
            const int sign = corner_sign(triangles[face][0], axis);
            if (corner_sign(triangles[face][1], axis) == sign &&
                corner_sign(triangles[face][2], axis) == sign)
                normal[axis] = sign;
        }
        text += line("\t\t\t*MESH_FACENORMAL %.0f\t%.4f\t%.4f\t%.4f\n", face, normal[0], normal[1],
                     normal[2]);
        for (int k = 0; k < 3; ++k) {
            const int corner = triangles[face][k];
            text +=
                line("\t\t\t\t*MESH_VERTEXNORMAL %.0f\t%.4f\t%.4f\t%.4f\n", corner,
                     corner_normal * corner_sign(corner, 0), corner_normal * corner_sign(corner, 1),
                     corner_normal * corner_sign(corner, 2));
        }
    }
    text += "\t\t}\n\t}\n}\n";
    return text;
}
