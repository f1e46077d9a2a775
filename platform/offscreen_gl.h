// An OpenGL context without a window or a display server: EGL's surfaceless
// platform, a pbuffer to draw into, and Mesa's software renderer wherever
// there is no GPU device to open (as inside a thumbnailer's sandbox).
#pragma once

#include <string>

// Makes a compatibility-profile context current, drawing into an RGBA,
// depth-buffered surface of width x height pixels. False, with the reason in
// `failure` and nothing left open, when EGL cannot give one.
bool open_offscreen_gl(int width, int height, std::string& failure);

// Releases the context and the surface of open_offscreen_gl.
void close_offscreen_gl();
