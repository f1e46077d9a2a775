#include "fuzz/fuzz_support.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

exit_trap* armed_trap = nullptr;
std::string scratch_directory;
int fuzzer_directory = -1; // the working directory the fuzzer started in

// Removes what the targets may have written, then the directory.
void remove_scratch_directory() {
    for (const char* name : {"dump.txt", "norm.txt", "vnorml.txt"})
        unlink((scratch_directory + "/" + name).c_str());
    rmdir(scratch_directory.c_str());
}

} // namespace

extern "C" {
[[noreturn]] void __real_exit(int status);

// Every reference to exit() in the fuzz targets and the code they link lands
// here. The fatal paths hold no objects with destructors, so jumping out of
// them skips nothing that needs running.
[[noreturn]] void __wrap_exit(int status) {
    if (armed_trap != nullptr) {
        exit_trap* trap = armed_trap;
        armed_trap = nullptr;
        trap->status = status;
        std::longjmp(trap->landing, 1);
    }
    __real_exit(status);
}
}

bool run_trapping_exit(exit_trap& trap, void (*run)(void*), void* context) {
    if (setjmp(trap.landing) != 0)
        return false;
    armed_trap = &trap;
    run(context);
    armed_trap = nullptr;
    return true;
}

void silence_stdout() {
    std::fflush(stdout);
    const int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) {
        dup2(null_fd, STDOUT_FILENO);
        close(null_fd);
    }
}

void make_scratch_directory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/aseview-fuzz-XXXXXX";
    fuzzer_directory = open(".", O_RDONLY | O_DIRECTORY);
    if (mkdtemp(pattern.data()) == nullptr || fuzzer_directory < 0) {
        std::perror("aseview fuzz: scratch directory");
        std::abort();
    }
    scratch_directory = pattern;
    std::atexit(remove_scratch_directory);
}

void enter_scratch_directory() {
    if (chdir(scratch_directory.c_str()) != 0)
        std::abort();
}

void leave_scratch_directory() {
    if (fchdir(fuzzer_directory) != 0)
        std::abort();
}

std::FILE* open_bytes(const uint8_t* data, size_t size) {
    // fmemopen refuses an empty buffer on older C libraries; a temporary
    // file never does.
    if (size == 0)
        return std::tmpfile();
    return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}
