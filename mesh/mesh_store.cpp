#include "mesh/mesh_store.h"

#include "platform/system.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

mesh_store_t mesh_store;

namespace {

// How one array's memory was obtained and how much of it may hold data.
struct array_memory {
    size_t mapped = 0;    // bytes mapped from the system's pages; 0 for calloc, or none
    int64_t capacity = 0; // records the memory holds
    int64_t written = 0;  // records below this may have been written; all above read zero
    size_t reserved = 0;  // bytes of address space the mapped pages grow into; 0 for none
};

array_memory v_data_memory;
array_memory f_list_memory;
array_memory t_list_memory;
array_memory v_color_memory;

// A total of records the store may hold: counts up to
// always_allocated_records whatever the file, larger ones only within the
// file's length, and never beyond 32 bits.
bool allowed_total(int64_t total) {
    return total >= 0 && total <= INT32_MAX &&
           (total <= always_allocated_records || total <= mesh_store.record_limit);
}

// Zeroed memory for `records` records, or null when it cannot be had. A file
// may repeat a count keyword as often as its length allows, each time
// replacing the array: calloc would hand back the heap memory just freed and
// clear it again, a cost that grows with the square of the file. Arrays of a
// page or more are therefore mapped from the system, whose fresh pages read
// as zero and cost nothing until written. Under AddressSanitizer every array
// comes from calloc, so that their bounds are checked; its allocator maps
// large blocks afresh anyway.
void* obtain_records(int64_t records, size_t record_size, size_t& mapped) {
    mapped = 0;
    if (static_cast<uint64_t>(records) > SIZE_MAX / record_size)
        return nullptr;
#ifndef ASEVIEW_SANITIZED
    const size_t bytes = static_cast<size_t>(records) * record_size;
    if (bytes >= page_size()) {
        void* memory = map_zeroed_pages(bytes);
        if (memory == nullptr)
            return nullptr;
        mapped = bytes;
        return memory;
    }
#endif
    return std::calloc(static_cast<size_t>(records), record_size);
}

void release_records(void* array, array_memory& memory) {
    if (memory.mapped != 0)
        unmap_pages(array, memory.reserved != 0 ? memory.reserved : memory.mapped);
    else
        std::free(array);
    memory = array_memory{};
}

[[noreturn]] void fail(const char* failure) {
    std::printf("%s", failure);
    std::exit(1);
}

template <typename Record>
void replace_array(Record*& array, array_memory& memory, int32_t count, const char* failure) {
    if (!allowed_total(count))
        fail(failure);
    const int64_t records = count == 0 ? 1 : count;
    size_t new_mapped = 0;
    void* fresh = obtain_records(records, sizeof(Record), new_mapped);
    if (fresh == nullptr)
        fail(failure);
    release_records(array, memory);
    array = static_cast<Record*>(fresh);
    memory = {new_mapped, records, count};
}

// Moves mapped pages, once, into address space for the `most` records the
// store may hold, where they then grow in place. Pages moved again at every
// doubling were slow to touch afterwards: on this project's virtual machine,
// reading ten meshes' faces for the first time after the reader took 20 ms
// more than one mesh's. Without the address space the pages stay as they are.
void reserve_room(void*& array, array_memory& memory, int64_t most, size_t record_size) {
    if (static_cast<uint64_t>(most) > SIZE_MAX / record_size)
        return;
    const size_t room = static_cast<size_t>(most) * record_size;
    if (room <= memory.mapped)
        return;
    void* reservation = reserve_pages(room);
    if (reservation == nullptr)
        return;
    if (!move_into_reservation(array, memory.mapped, reservation)) {
        unmap_pages(reservation, room);
        return;
    }
    array = reservation;
    memory.reserved = room;
}

// Moves the array into memory for `capacity` records, keeping the records
// that may hold data; mapped pages grow in place, in the room reserved for
// them, or where the system can.
bool grow_array(void*& array, array_memory& memory, int64_t capacity, int64_t most,
                size_t record_size) {
    if (static_cast<uint64_t>(capacity) > SIZE_MAX / record_size)
        return false;
    const size_t bytes = static_cast<size_t>(capacity) * record_size;
    if (memory.mapped != 0 && memory.reserved == 0)
        reserve_room(array, memory, most, record_size);
    if (memory.reserved != 0) {
        if (bytes > memory.reserved || !use_reserved_pages(array, bytes))
            return false;
        memory.mapped = bytes;
        memory.capacity = capacity;
        return true;
    }
    if (memory.mapped != 0) {
        void* grown = grow_mapped_pages(array, memory.mapped, bytes);
        if (grown == nullptr)
            return false;
        array = grown;
        memory.mapped = bytes;
        memory.capacity = capacity;
        return true;
    }
    size_t mapped = 0;
    void* fresh = obtain_records(capacity, record_size, mapped);
    if (fresh == nullptr)
        return false;
    if (memory.written > 0)
        std::memcpy(fresh, array, static_cast<size_t>(memory.written) * record_size);
    std::free(array);
    array = fresh;
    memory.mapped = mapped;
    memory.capacity = capacity;
    return true;
}

// Records `first` to `first + count` - 1 zeroed, those below kept. The
// capacity at least doubles when it grows, so a file of many meshes moves
// each record a bounded number of times.
template <typename Record>
void extend_array(Record*& array, array_memory& memory, int32_t first, int32_t count,
                  const char* failure) {
    const int64_t total = int64_t{first} + count;
    if (count < 0 || !allowed_total(total))
        fail(failure);
    if (total > memory.capacity) {
        const int64_t most = std::min<int64_t>(
            INT32_MAX, std::max<int64_t>(always_allocated_records, mesh_store.record_limit));
        const int64_t capacity = std::max(total, std::min(most, 2 * memory.capacity));
        void* records = array;
        if (!grow_array(records, memory, std::max<int64_t>(capacity, 1), most, sizeof(Record)))
            fail(failure);
        array = static_cast<Record*>(records);
    }
    if (memory.written > first) {
        const size_t bytes = static_cast<size_t>(memory.written - first) * sizeof(Record);
        if (memory.mapped == 0)
            std::memset(static_cast<void*>(array + first), 0, bytes);
        else if (!clear_mapped_pages(array + first, bytes))
            fail(failure);
    }
    memory.written = total;
}

template <typename Record>
void allocate(Record*& array, array_memory& memory, int32_t first, int32_t count,
              const char* failure) {
    if (first == 0)
        replace_array(array, memory, count, failure);
    else
        extend_array(array, memory, first, count, failure);
}

void release_arrays() {
    release_records(mesh_store.f_list, f_list_memory);
    release_records(mesh_store.v_data, v_data_memory);
    release_records(mesh_store.t_list, t_list_memory);
    release_records(mesh_store.v_color, v_color_memory);
    mesh_store.f_list = nullptr;
    mesh_store.v_data = nullptr;
    mesh_store.t_list = nullptr;
    mesh_store.v_color = nullptr;
}

} // namespace

void alloc_data(int32_t count, int32_t first) {
    allocate(mesh_store.v_data, v_data_memory, first, count,
             "error in d_data *alloc_data() function\n");
}

void alloc_faces(int32_t count, int32_t first) {
    allocate(mesh_store.f_list, f_list_memory, first, count,
             "error in f_data *alloc_faces() function\n");
}

void alloc_tfaces(int32_t count, int32_t first) {
    allocate(mesh_store.t_list, t_list_memory, first, count,
             "error in t_face *alloc_tfaces() function\n");
    mesh_store.num_tfaces = first + count;
}

void alloc_colors(int32_t count, int32_t first) {
    allocate(mesh_store.v_color, v_color_memory, first, count,
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
