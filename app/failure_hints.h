// The lines on standard error that follow a start-up failure's console line:
// where the viewer looked, the system's reason, and what would fix it.
#pragma once

#include <string>

// `word` as one word of a shell command: as it is when a shell reads it
// unchanged, else in single quotes.
std::string shell_word(const std::string& word);

// " (to view ARGUMENT: aseview -m ARGUMENT)", for a model file that was
// named on the command line without "-m".
std::string view_suggestion(const std::string& argument);

// The installed copy of the map, DATADIR/aseview/map2.tga beside the running
// program's own folder, when that is a regular file other than `tried`;
// empty otherwise.
std::string installed_map_copy(const std::string& tried);

// "aseview: ACTION "map2.tga" in FOLDER: REASON; the map is read from the
// folder the viewer runs in", then the `cp` line of `installed_copy` unless
// that is empty.
std::string map_failure_line(const std::string& action, const std::string& folder,
                             const std::string& reason, const std::string& installed_copy);

// Prints map_failure_line for "map2.tga" in the working folder, with the
// installed copy when there is one, on standard error.
void report_map_failure(const char* action, const std::string& reason);
