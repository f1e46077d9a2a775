// The lines on standard error that follow a start-up failure's console line:
// where the viewer looked, the system's reason, and what would fix it.
#pragma once

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
