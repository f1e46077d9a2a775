// The ASE reader on arbitrary bytes, followed by the three dumps of what it
// read, as the viewer does at start-up. The first byte chooses the mode: its
// bit 0 reads every mesh of the file into one store ("-all"), its bit 1 the
// materials as well ("-materials"), after which the same bytes are read again
// without them and must give the same store and outcome. A fatal path (second
// mesh, a count that cannot be allocated) is a defined outcome and ends the
// run quietly.
#include "fuzz/fuzz_support.h"
#include "mesh/ase_reader.h"
#include "mesh/materials.h"
#include "mesh/mesh_dump.h"
#include "mesh/mesh_store.h"

#include <string>

namespace {

ase_options options;

void scan_and_dump(void* context) {
    scan_ase(static_cast<std::FILE*>(context), "input", options);
    dump_data();
    dump_norm();
    dump_vnorm();
    // Every face has a look and corners inside the arrays, as drawing takes them.
    if (!options.materials)
        return;
    const material_table_t& table = material_table;
    if (table.faces.size() != static_cast<size_t>(mesh_store.num_faces) || table.looks.empty())
        __builtin_trap();
    for (const face_material& face : table.faces) {
        if (face.look < 0 || static_cast<size_t>(face.look) >= table.looks.size())
            __builtin_trap();
        for (int32_t corner : face.tvert)
            if (corner < -1 || corner >= static_cast<int64_t>(table.tvertices.size()))
                __builtin_trap();
    }
}

void scan_only(void* context) {
    scan_ase(static_cast<std::FILE*>(context), "input", options);
}

// The four arrays and the counts, byte for byte.
std::string store_bytes() {
    const mesh_store_t& m = mesh_store;
    std::string bytes(reinterpret_cast<const char*>(&m.num_vertex), 5 * sizeof(int32_t));
    const auto add = [&bytes](const void* records, size_t size) {
        if (records != nullptr)
            bytes.append(static_cast<const char*>(records), size);
    };
    add(m.v_data, sizeof(d_data) * static_cast<size_t>(m.num_vertex));
    add(m.f_list, sizeof(f_data) * static_cast<size_t>(m.num_faces));
    add(m.t_list, sizeof(t_face) * static_cast<size_t>(m.num_tfaces));
    add(m.v_color, sizeof(c_data) * static_cast<size_t>(m.num_cvertex));
    return bytes;
}

// Reads the bytes again without the materials: the store and the outcome
// must be what the read with them gave.
void compare_without_materials(const uint8_t* data, size_t size, bool returned) {
    const std::string with = returned ? store_bytes() : std::string();
    std::FILE* stream = open_bytes(data, size);
    if (stream == nullptr)
        return;
    options.materials = false;
    reset_mesh_store();
    exit_trap trap;
    const bool plain_returned = run_trapping_exit(trap, scan_only, stream);
    std::fclose(stream);
    if (plain_returned != returned || (returned && store_bytes() != with))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silence_stdout();
    make_scratch_directory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    options.all_meshes = (data[0] & 1) != 0;
    options.materials = (data[0] & 2) != 0;
    std::FILE* stream = open_bytes(data + 1, size - 1);
    if (stream == nullptr)
        return 0;
    reset_mesh_store();
    exit_trap trap;
    enter_scratch_directory();
    const bool returned = run_trapping_exit(trap, scan_and_dump, stream);
    leave_scratch_directory();
    if (!returned && trap.status != 1)
        __builtin_trap(); // every fatal path of the reader ends with status 1
    std::fclose(stream);
    if (options.materials)
        compare_without_materials(data + 1, size - 1, returned);
    reset_mesh_store();
    return 0;
}
