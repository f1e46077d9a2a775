// A private X server for tests, and the X side of driving and observing a
// window: finding it by title, fake input through XTest, reading pixels.
#pragma once

#include "tools/x_capture.h"

#include <X11/Xlib.h>

#include <string>

// Starts one Xvfb for this test process (once) and points DISPLAY at it.
// Returns the open connection to it.
Display* test_display();

// The first viewable top-level window with this exact title, or 0 when none
// appears within the timeout.
Window find_window(const std::string& title, double timeout_seconds = 10);

window_image capture_window(Window window);

// Window-relative pointer motion, buttons (1 left, 2 middle, 3 right) and
// keys by X keysym name ("w", "Shift_L"). Each call flushes to the server.
void move_pointer(Window window, int x, int y);
void press_button(int button);
void release_button(int button);
void press_key(const char* keysym_name);
void release_key(const char* keysym_name);
void type_key(Window window, const char* keysym_name);
