// A private X server, finding a top-level window by its title and reading its
// pixels: for the snapshot tool, the benchmarks and the window tests.
#pragma once

#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct window_image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB, rows from the top
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The title the viewer gives its window, by which tools and tests find it.
inline constexpr const char* viewer_window_title = "various stuff- vertex colors - ASE files";

// Starts an Xvfb of this process's own on a free display number, stopped
// when the process exits; returns the display name (":N").
std::string start_private_xvfb();

// The first viewable window with exactly this title, or 0 when none appears
// within the timeout.
Window wait_for_window(Display* display, const std::string& title, double timeout_seconds);

window_image capture_window(Display* display, Window window);

// Writes the image as an RGB PNG; false if the file could not be written.
bool save_png(const window_image& image, const std::string& path);

inline int red_of(uint32_t pixel) {
    return (pixel >> 16) & 0xff;
}
inline int green_of(uint32_t pixel) {
    return (pixel >> 8) & 0xff;
}
inline int blue_of(uint32_t pixel) {
    return pixel & 0xff;
}
