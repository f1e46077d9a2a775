#include "support/x_display.h"

#include <X11/extensions/XTest.h>

#include <cstdlib>
#include <stdexcept>

namespace {

unsigned keycode_of(const char* keysym_name) {
    return XKeysymToKeycode(test_display(), XStringToKeysym(keysym_name));
}

} // namespace

// DISPLAY is set again on every call: a test that runs the viewer without a
// display removes it, and the tests after it in the same process still start
// their viewers on this server.
Display* test_display() {
    static const std::string name = start_private_xvfb();
    static Display* display = [] {
        Display* opened = XOpenDisplay(name.c_str());
        if (opened == nullptr)
            throw std::runtime_error("cannot open " + name);
        return opened;
    }();
    setenv("DISPLAY", name.c_str(), 1);
    return display;
}

Window find_window(const std::string& title, double timeout_seconds) {
    return wait_for_window(test_display(), title, timeout_seconds);
}

window_image capture_window(Window window) {
    return capture_window(test_display(), window);
}

void move_pointer(Window window, int x, int y) {
    Display* display = test_display();
    int root_x = 0, root_y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &root_x, &root_y,
                          &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), root_x, root_y, CurrentTime);
    XSync(display, False);
}

void press_button(int button) {
    XTestFakeButtonEvent(test_display(), button, True, CurrentTime);
    XSync(test_display(), False);
}

void release_button(int button) {
    XTestFakeButtonEvent(test_display(), button, False, CurrentTime);
    XSync(test_display(), False);
}

void press_key(const char* keysym_name) {
    XTestFakeKeyEvent(test_display(), keycode_of(keysym_name), True, CurrentTime);
    XSync(test_display(), False);
}

void release_key(const char* keysym_name) {
    XTestFakeKeyEvent(test_display(), keycode_of(keysym_name), False, CurrentTime);
    XSync(test_display(), False);
}

// Without a window manager the keyboard focus follows the pointer, so the
// pointer is put inside the window before the key goes out.
void type_key(Window window, const char* keysym_name) {
    move_pointer(window, 320, 240);
    press_key(keysym_name);
    release_key(keysym_name);
}
