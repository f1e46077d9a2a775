// A real GLUT window with an OpenGL context on the test's private X server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Opens (once per process) a window of the viewer's visual: RGB, double
// buffer, depth. Later calls reshape it. Returns once the window has the
// given size, with its context current and the viewport covering it. The
// window's own display and reshape callbacks do nothing: tests call the
// viewer's handlers themselves.
void open_gl_window(int width, int height);

// Pixels as 0xRRGGBB, rows from the bottom as OpenGL numbers them.
struct gl_pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;
    uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

// Reads the viewport's area of the back buffer. Mesa's software renderer
// keeps the back buffer through a swap, so this also reads the frame just
// drawn and swapped.
gl_pixels read_back_buffer();

// Writes the pixels as a PNG, top row first, for a failing test to leave
// the image it saw behind.
bool save_png(const gl_pixels& pixels, const std::string& path);
