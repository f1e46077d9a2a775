// aseview: shows the one triangle mesh of an ASE file in a GLUT window.
#include "app/failure_hints.h"
#include "app/viewer_state.h"
#include "app/viewer_window.h"
#include "mesh/ase_reader.h"
#include "mesh/mesh_dump.h"
#include "platform/memory_status.h"

#include <GL/glut.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <string>

namespace {

// The first argument that parse_args ignored and that names a regular file:
// likely a model given without "-m". Null when there is none.
const char* ignored_model = nullptr;

bool is(const char* argument, const char* option) {
    return std::strcmp(argument, option) == 0;
}

// Moves from an option to its value; an option at the end has none to take.
int take_value(int argc, char** argv, int option_index) {
    if (option_index + 1 >= argc) {
        std::printf("%s needs a path after it\n", argv[option_index]);
        std::exit(1);
    }
    return option_index + 1;
}

// Each pass tests the current argument against the three options in turn;
// an option that takes a value moves on to it first, so the later tests of
// the same pass look at that value.
void parse_args(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (ignored_model == nullptr && !is(argv[i], "-m") && !is(argv[i], "-morph") &&
            !is(argv[i], "-h") && !is(argv[i], "help") &&
            std::filesystem::is_regular_file(argv[i], error))
            ignored_model = argv[i];
        if (is(argv[i], "-m")) {
            i = take_value(argc, argv, i);
            viewer_state.model_path = argv[i];
            std::printf("Model to load = %s\n", argv[i]);
            viewer_state.model_given = 1;
        }
        if (is(argv[i], "-morph")) {
            if (viewer_state.model_given == 0) {
                std::printf("Must specify first model if choosing morph option\n");
                std::exit(1);
            }
            i = take_value(argc, argv, i);
            std::printf("model to morph too %s\n", argv[i]);
        }
        if (is(argv[i], "-h") || is(argv[i], "help")) {
            std::printf("Help Option\t**************\n\t-m specfies model to load\n"
                        "\t-morph specfies which model to morph too\n");
            std::exit(1);
        }
    }
}

// A launcher may start the viewer with standard input, output or error
// closed. The next file or connection opened would then take that number:
// the X connection as descriptor 1 would receive the console lines and
// block the viewer. Each closed one is opened on /dev/null first.
void open_standard_streams() {
    for (int descriptor = 0; descriptor <= 2; ++descriptor)
        if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF &&
            open("/dev/null", O_RDWR) != descriptor)
            std::_Exit(1);
}

} // namespace

int main(int argc, char** argv) {
    open_standard_streams();
    // A write beyond the file-size limit then fails with EFBIG and is
    // reported like any other write error, instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    // Console lines appear as they are printed, also when piped to a log.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    viewer_state.mem_status = new (std::nothrow) memory_status{};
    if (viewer_state.mem_status == nullptr) {
        std::printf("cannot reserve the memory status record\n");
        return 1;
    }
    parse_args(argc, argv);
    // A failure to open the default model shows how to open an ignored file.
    const std::string hint = viewer_state.model_given == 0 && ignored_model != nullptr
                                 ? view_suggestion(ignored_model)
                                 : std::string();
    load_ase(viewer_state.model_given == 1 ? viewer_state.model_path : "simple.ase", hint.c_str());

    open_viewer_window(&argc, argv);
    dump_data();
    dump_norm();
    dump_vnorm();
    glutMainLoop();
    return 0;
}
