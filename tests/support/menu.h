// Choosing an entry of a GLUT pop-up menu with real pointer events.
#pragma once

#include <X11/Xlib.h>

// Presses the right button at (x, y) of `window`, moves onto entry
// `position` (0 is the top) of the menu that opens, which has `entry_count`
// entries of equal height, and releases there. Returns once the menu has
// closed again; false when no menu opened or it did not close.
bool choose_menu_entry(Window window, int x, int y, int position, int entry_count);
