#include "mesh/mesh_store.h"

#include "platform/system.h"

#include <cstdio>
#include <cstdlib>

mesh_store_t mesh_store;

namespace {

// Bytes mapped for each array that came from the system's pages; 0 for one
// from calloc, or none. Each array is released the way it was obtained.
size_t v_data_mapped = 0;
size_t f_list_mapped = 0;
size_t t_list_mapped = 0;
size_t v_color_mapped = 0;

// Zeroed memory for `count` records, or null when the count is negative,
// large and beyond the store's limit, or the memory cannot be had. A file may repeat a
// count keyword as often as its length allows, each time replacing the
// array: calloc would hand back the heap memory just freed and clear it
// again, a cost that grows with the square of the file. Arrays of a page or
// more are therefore mapped from the system, whose fresh pages read as zero
// and cost nothing until written. Under AddressSanitizer every array comes
// from calloc, so that their bounds are checked; its allocator maps large
// blocks afresh anyway.
void* alloc_records(int32_t count, size_t record_size, size_t& mapped) {
    mapped = 0;
    if (count < 0 || (count > always_allocated_records && count > mesh_store.record_limit))
        return nullptr;
    const size_t records = count == 0 ? 1 : static_cast<size_t>(count);
#ifndef ASEVIEW_SANITIZED
    const size_t bytes = records * record_size;
    if (bytes >= page_size()) {
        void* memory = map_zeroed_pages(bytes);
        if (memory == nullptr)
            return nullptr;
        mapped = bytes;
        return memory;
    }
#endif
    return std::calloc(records, record_size);
}

void release_records(void* array, size_t& mapped) {
    if (mapped != 0)
        unmap_pages(array, mapped);
    else
        std::free(array);
    mapped = 0;
}

template <typename Record>
void replace_array(Record*& array, size_t& mapped, int32_t count, const char* failure) {
    size_t new_mapped = 0;
    void* records = alloc_records(count, sizeof(Record), new_mapped);
    if (records == nullptr) {
        std::printf("%s", failure);
        std::exit(1);
    }
    release_records(array, mapped);
    array = static_cast<Record*>(records);
    mapped = new_mapped;
}

void release_arrays() {
    release_records(mesh_store.f_list, f_list_mapped);
    release_records(mesh_store.v_data, v_data_mapped);
    release_records(mesh_store.t_list, t_list_mapped);
    release_records(mesh_store.v_color, v_color_mapped);
    mesh_store.f_list = nullptr;
    mesh_store.v_data = nullptr;
    mesh_store.t_list = nullptr;
    mesh_store.v_color = nullptr;
}

} // namespace

void alloc_data(int32_t count) {
    replace_array(mesh_store.v_data, v_data_mapped, count,
                  "error in d_data *alloc_data() function\n");
}

void alloc_faces(int32_t count) {
    replace_array(mesh_store.f_list, f_list_mapped, count,
                  "error in f_data *alloc_faces() function\n");
}

void alloc_tfaces(int32_t count) {
    replace_array(mesh_store.t_list, t_list_mapped, count,
                  "error in t_face *alloc_tfaces() function\n");
    mesh_store.num_tfaces = count;
}

void alloc_colors(int32_t count) {
    replace_array(mesh_store.v_color, v_color_mapped, count,
                  "error in c_data *alloc_colors() function\n");
}

void free_mesh() {
    std::printf("free ants\n");
    release_arrays();
}

void reset_mesh_store() {
    release_arrays();
    mesh_store = mesh_store_t{};
}
