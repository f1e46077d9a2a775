// A real GLUT window with an OpenGL context on the test's private X server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Opens (once per process) a window of the viewer's visual: RGB, double
// buffer, depth. Later calls reshape it to the given size. Its context stays
// current.
void open_gl_window(int width, int height);

// Reads the back buffer (the frame just drawn, before or after the swap) as
// 0xRRGGBB, rows from the bottom as OpenGL numbers them.
struct gl_pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;
    uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};
gl_pixels read_back_buffer();
