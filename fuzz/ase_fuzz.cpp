// The ASE reader on arbitrary bytes, followed by the three dumps of what it
// read, as the viewer does at start-up. The first byte chooses the mode: odd
// reads every mesh of the file into one store ("-all"). A fatal path (second
// mesh, a count that cannot be allocated) is a defined outcome and ends the
// run quietly.
#include "fuzz/fuzz_support.h"
#include "mesh/ase_reader.h"
#include "mesh/mesh_dump.h"
#include "mesh/mesh_store.h"

namespace {

ase_options options;

void scan_and_dump(void* context) {
    scan_ase(static_cast<std::FILE*>(context), "input", options);
    dump_data();
    dump_norm();
    dump_vnorm();
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
    reset_mesh_store();
    return 0;
}
