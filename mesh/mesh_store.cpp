#include "mesh/mesh_store.h"

#include <cstdio>
#include <cstdlib>

mesh_store_t mesh_store;

// Zeroed memory for `count` records, or null when the count is negative,
// beyond the store's limit, or the memory cannot be had. calloc leaves pages
// untouched until written, so a large honest count costs nothing up front.
static void* alloc_records(int32_t count, size_t record_size) {
    if (count < 0 || count > mesh_store.record_limit)
        return nullptr;
    return std::calloc(count == 0 ? 1 : static_cast<size_t>(count), record_size);
}

template <typename Record>
static void replace_array(Record*& array, int32_t count, const char* failure) {
    void* records = alloc_records(count, sizeof(Record));
    if (records == nullptr) {
        std::printf("%s", failure);
        std::exit(1);
    }
    std::free(array);
    array = static_cast<Record*>(records);
}

void alloc_data(int32_t count) {
    replace_array(mesh_store.v_data, count, "error in d_data *alloc_data() function\n");
}

void alloc_faces(int32_t count) {
    replace_array(mesh_store.f_list, count, "error in f_data *alloc_faces() function\n");
}

void alloc_tfaces(int32_t count) {
    replace_array(mesh_store.t_list, count, "error in t_face *alloc_tfaces() function\n");
    mesh_store.num_tfaces = count;
}

void alloc_colors(int32_t count) {
    replace_array(mesh_store.v_color, count, "error in c_data *alloc_colors() function\n");
}

static void release_arrays() {
    std::free(mesh_store.f_list);
    std::free(mesh_store.v_data);
    std::free(mesh_store.t_list);
    std::free(mesh_store.v_color);
    mesh_store.f_list = nullptr;
    mesh_store.v_data = nullptr;
    mesh_store.t_list = nullptr;
    mesh_store.v_color = nullptr;
}

void free_mesh() {
    std::printf("free ants\n");
    release_arrays();
}

void reset_mesh_store() {
    release_arrays();
    mesh_store = mesh_store_t{};
}
