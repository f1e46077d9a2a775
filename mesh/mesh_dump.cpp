#include "mesh/mesh_dump.h"

#include "mesh/mesh_store.h"

#include <cstdio>
#include <cstdlib>

void dump_data() {
    std::printf("Mesh Data\n");
    std::printf("The amount of faces in this mesh is\t%i\n", mesh_store.num_faces);
    std::printf("The amount of vertices in this mesh is\t%i\n", mesh_store.num_vertex);
    std::FILE* file = std::fopen("dump.txt", "w+");
    if (file == nullptr) {
        std::printf("PROBLEM\n");
        return;
    }
    std::fprintf(file, "-----MAX_FACES = %i\n", mesh_store.num_faces);
    for (int32_t i = 0; i < mesh_store.num_vertex; ++i) {
        const float* pos = mesh_store.v_data[i].pos;
        std::fprintf(file, "vertex pos = %i\n X=%f\n\t\t\t\tY=%f\n\tZ=%f\n", i, pos[0], pos[1],
                     pos[2]);
    }
    std::fclose(file);
}

void dump_norm() {
    std::FILE* file = std::fopen("norm.txt", "w+");
    if (file == nullptr) {
        std::printf("error in dump_norm()\n");
        std::exit(1);
    }
    for (int32_t i = 0; i < mesh_store.num_faces; ++i) {
        const float* norm = mesh_store.f_list[i].norm;
        std::fprintf(file, "face num=%i\nX Comp = %f\tY Comp = %f\tZ Comp %f\n\n", i, norm[0],
                     norm[1], norm[2]);
    }
    std::fclose(file);
}

void dump_vnorm() {
    std::FILE* file = std::fopen("vnorml.txt", "w+");
    if (file == nullptr) {
        std::printf("error in dump_vnorm(): cannot open \"vnorml.txt\"\n");
        return;
    }
    for (int32_t i = 0; i < mesh_store.num_vertex; ++i) {
        const float* norm = mesh_store.v_data[i].norm;
        std::fprintf(file, "position = %i\t x = %f\t y = %f\t z = %f\n", i, norm[0], norm[1],
                     norm[2]);
    }
    std::fclose(file);
}
