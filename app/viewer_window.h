// The viewer's one window, with its scene, handlers and menu.
#pragma once

// Starts GLUT with the process's arguments (it takes its own options from
// them), creates the double-buffered window at the viewer state's size, sets
// up the scene (environment texture first), registers the handlers in the
// order display, reshape, mouse, motion, keyboard, idle, and builds the
// right-button menu.
void open_viewer_window(int* argc, char** argv);
