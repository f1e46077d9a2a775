#include "app/failure_hints.h"

#include "platform/system.h"

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* map_name = "map2.tga";

// The folder the viewer runs in, as an absolute path ("." if it cannot be read).
std::string working_folder() {
    std::error_code error;
    fs::path folder = fs::current_path(error);
    return error ? std::string(".") : folder.string();
}

// `word` as one word of a shell command: as it is when a shell reads it
// unchanged, else in single quotes.
std::string shell_word(const std::string& word) {
    constexpr std::string_view plain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                       "0123456789_./:@%+=,-";
    if (!word.empty() && word.find_first_not_of(plain) == std::string::npos)
        return word;
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The command that views `model`, with `options` (each followed by a space)
// before its "-m".
std::string view_command(const std::string& options, const std::string& model) {
    return "aseview " + options + "-m " + shell_word(model);
}

// The installed map, when it is a regular file other than `tried`; empty
// otherwise. The install puts the map into DATADIR/aseview and the viewer
// into BINDIR; the path from one to the other is fixed at build time, so a
// copy is found under whatever prefix the files were installed or packaged.
std::string installed_map_copy(const std::string& tried) {
    const fs::path program = running_program();
    if (program.empty())
        return {};
    const fs::path copy =
        (program.parent_path() / ASEVIEW_DATADIR_FROM_BINDIR / "aseview" / map_name)
            .lexically_normal();
    std::error_code error;
    if (!fs::is_regular_file(copy, error) || fs::equivalent(copy, tried, error))
        return {};
    return copy.string();
}

// The map's failure line; the `cp` part only when `installed_copy` is set.
std::string map_failure_line(const std::string& action, const std::string& folder,
                             const std::string& reason, const std::string& installed_copy) {
    std::string line = "aseview: " + action + " \"" + map_name + "\" in " + folder + ": " + reason +
                       "; the map is read from the folder the viewer runs in";
    if (!installed_copy.empty())
        line += "; a copy is installed: cp " + shell_word(installed_copy) + " .";
    return line;
}

// What is wrong with how the default view shows the model, for its hint line.
const char* view_problem_words(view_problem problem) {
    switch (problem) {
    case view_problem::outside:
        return "lies outside the view";
    case view_problem::too_small:
        return "is too small to see in the view";
    case view_problem::crosses_near:
        return "comes nearer the eye than the view reaches";
    case view_problem::none:
        break;
    }
    return "";
}

// The box's centre in the file's coordinates (z negated back) and its size.
std::string out_of_view_line(view_problem problem, const model_box& box) {
    const double file_sign[3] = {1, 1, -1};
    char centre[3][32], size[3][32];
    for (int axis = 0; axis < 3; ++axis) {
        const double middle = (static_cast<double>(box.low[axis]) + box.high[axis]) / 2;
        // Adding 0 turns the -0 of a negated 0 into 0, which reads better.
        std::snprintf(centre[axis], sizeof centre[axis], "%g", file_sign[axis] * middle + 0.0);
        std::snprintf(size[axis], sizeof size[axis], "%g",
                      static_cast<double>(box.high[axis]) - box.low[axis]);
    }
    return std::string("aseview: the model ") + view_problem_words(problem) + " (centre " +
           centre[0] + ", " + centre[1] + ", " + centre[2] + "; size " + size[0] + " x " + size[1] +
           " x " + size[2] + "); -fit frames it";
}

} // namespace

std::string view_suggestion(const std::string& argument) {
    return " (to view " + argument + ": " + view_command("", argument) + ")";
}

std::string several_meshes_hint(const std::string& path) {
    return "aseview: \"" + path +
           "\" holds more than one mesh; to view them all: " + view_command("-all ", path);
}

void report_map_failure(const char* action, const std::string& reason) {
    const std::string line =
        map_failure_line(action, working_folder(), reason, installed_map_copy(map_name));
    std::fprintf(stderr, "%s\n", line.c_str());
}

void report_model_out_of_view(view_problem problem, const model_box& box) {
    if (problem == view_problem::none)
        return;
    std::fprintf(stderr, "%s\n", out_of_view_line(problem, box).c_str());
}
