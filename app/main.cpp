// aseview: shows the one triangle mesh of an ASE file in a GLUT window.
#include "app/failure_hints.h"
#include "app/viewer_window.h"
#include "image/material_textures.h"
#include "mesh/ase_reader.h"
#include "mesh/materials.h"
#include "mesh/mesh_dump.h"
#include "mesh/mesh_store.h"
#include "platform/gl.h"
#include "platform/memory_status.h"
#include "platform/system.h"
#include "render/material_draw.h"
#include "render/model_fit.h"
#include "state/viewer_state.h"

#include <GL/glut.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

namespace {

// The first argument that parse_args ignored and that names a regular file:
// likely a model given without "-m". Null when there is none.
const char* ignored_model = nullptr;

// The folders given with "-textures", searched for texture images after the
// model's own folder and those above it.
std::vector<std::string> texture_folders;

bool is(const char* argument, const char* option) {
    return std::strcmp(argument, option) == 0;
}

// The opt-in views of real exports; ignored arguments to the parser below.
bool take_view_option(const char* argument) {
    if (is(argument, "-all"))
        viewer_state.all_meshes = 1;
    else if (is(argument, "-fit"))
        viewer_state.fit_view = 1;
    else if (is(argument, "-materials"))
        viewer_state.materials = 1;
    else
        return false;
    return true;
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
// the same pass look at that value. "-all", "-fit", "-materials" and
// "-textures" are taken only where an argument stands of its own, so that
// the value of "-m" stays a path.
void parse_args(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (take_view_option(argv[i]))
            continue;
        if (is(argv[i], "-textures")) {
            i = take_value(argc, argv, i);
            texture_folders.emplace_back(argv[i]);
            continue;
        }
        std::error_code error;
        if (ignored_model == nullptr && !is(argv[i], "-m") && !is(argv[i], "-morph") &&
            !is(argv[i], "-h") && !is(argv[i], "help") &&
            std::filesystem::is_regular_file(native_path(argv[i]), error))
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

// Under "-fit" the model is centred and scaled into view, once for the run;
// otherwise a model that the default view would not show gets its hint.
void place_model() {
    const model_box box = measure_model_box(mesh_store);
    if (viewer_state.fit_view != 0) {
        const model_fit fit = fit_model(box);
        for (int axis = 0; axis < 3; ++axis)
            viewer_state.fit_centre[axis] = fit.centre[axis];
        viewer_state.fit_scale = fit.scale;
    } else {
        report_model_out_of_view(
            judge_default_view(box, viewer_state.window_width, viewer_state.window_height), box);
    }
}

} // namespace

int main(int argc, char** argv) {
    prepare_process(argc, argv);
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
    const char* model = viewer_state.model_given == 1 ? viewer_state.model_path : "simple.ase";
    const std::string several_meshes = several_meshes_hint(model);
    ase_options options;
    options.all_meshes = viewer_state.all_meshes == 1;
    options.materials = viewer_state.materials == 1;
    options.several_meshes_hint = several_meshes.c_str();
    load_ase(model, hint.c_str(), options);
    place_model();
    // The images are found and decoded before the window opens; a texture
    // problem is told on standard error and the viewer goes on without it.
    material_texture_set textures;
    if (viewer_state.materials != 0)
        textures = load_material_textures(material_texture_requests(material_table), model,
                                          texture_folders);

    open_viewer_window(&argc, argv);
    if (viewer_state.materials != 0)
        material_batches = build_material_batches(
            mesh_store, material_table,
            look_textures(material_table, textures, upload_material_textures(textures)));
    dump_data();
    dump_norm();
    dump_vnorm();
    glutMainLoop();
    return 0;
}
