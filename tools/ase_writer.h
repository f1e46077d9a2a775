// Writes large or small exporter-style ASE files of a trefoil knot tube with
// rainbow vertex colours: the bundled model and the benchmark inputs.
#pragma once

#include <cstdio>
#include <vector>

struct vec3 {
    double x, y, z;
};

struct knot_mesh {
    std::vector<vec3> positions, normals, colors;
    std::vector<int> corners; // three per face
};

// A closed tube of `segments` rings of `sides` vertices around the knot:
// segments x sides vertices and twice as many faces.
knot_mesh build_tube(int segments, int sides);

// Header, scene, material (with its UVW offsets) and one object with vertex,
// face, texture, colour and normal lists, as a modelling tool exports them.
void write_ase(std::FILE* out, const knot_mesh& mesh);
