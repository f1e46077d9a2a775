// The lines on standard error that follow a start-up failure's console line:
// where the viewer looked, the system's reason, and what would fix it; and
// the line that says the view will not show the model.
#pragma once

#include "render/model_fit.h"

#include <string>

// " (to view ARGUMENT: aseview -m ARGUMENT)", for a model file that was
// named on the command line without "-m"; the command part is quoted for
// the shell where it needs it.
std::string view_suggestion(const std::string& argument);

// "aseview: "PATH" holds more than one mesh; to view them all: aseview -all
// -m PATH", the line on standard error after the single-mesh failure.
std::string several_meshes_hint(const std::string& path);

// On standard error: "aseview: ACTION "map2.tga" in FOLDER: REASON; the map
// is read from the folder the viewer runs in", FOLDER being the working
// folder, then "; a copy is installed: cp PATH ." when the installation the
// viewer runs from holds DATADIR/aseview/map2.tga.
void report_map_failure(const char* action, const std::string& reason);

// On standard error, when `problem` is not none: "aseview: the model WHAT
// (centre X, Y, Z; size W x H x D); -fit frames it", in the file's own
// coordinates (the box holds z negated).
void report_model_out_of_view(view_problem problem, const model_box& box);
