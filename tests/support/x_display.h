// A private X server for tests, and the X side of driving and observing a
// window: finding it by title, fake input through XTest, reading pixels.
#pragma once

#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Starts one Xvfb for this test process (once) and points DISPLAY at it.
// Returns the open connection to it.
Display* test_display();

struct window_image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB, rows from the top
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The first viewable top-level window with this exact title, or 0 when none
// appears within the timeout.
Window find_window(const std::string& title, double timeout_seconds = 10);

window_image capture_window(Window window);

// Writes the image as a PNG, for a failing test to leave evidence behind.
void save_png(const window_image& image, const std::string& path);

// Window-relative pointer motion, buttons (1 left, 2 middle, 3 right) and
// keys by X keysym name ("w", "Shift_L"). Each call flushes to the server.
void move_pointer(Window window, int x, int y);
void press_button(int button);
void release_button(int button);
void press_key(const char* keysym_name);
void release_key(const char* keysym_name);
void type_key(Window window, const char* keysym_name);

// Colour channels of a pixel.
inline int red_of(uint32_t pixel) { return (pixel >> 16) & 0xff; }
inline int green_of(uint32_t pixel) { return (pixel >> 8) & 0xff; }
inline int blue_of(uint32_t pixel) { return pixel & 0xff; }
