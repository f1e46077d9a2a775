// Saves a PNG of the viewer's window once it has drawn its first frames.
// Usage: snapshot_window OUTPUT.png [seconds to wait for the window]
#include "tools/x_capture.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [timeout-seconds]\n", argv[0]);
        return 2;
    }
    const double timeout = argc > 2 ? std::atof(argv[2]) : 20.0;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "snapshot_window: cannot open the X display\n");
        return 1;
    }
    const Window window = wait_for_window(display, viewer_window_title, timeout);
    if (window == 0) {
        std::fprintf(stderr, "snapshot_window: the viewer's window did not appear\n");
        return 1;
    }
    // The window maps before its first frame is drawn; give it a few frames.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const window_image image = capture_window(display, window);
    if (image.pixels.empty() || !save_png(image, argv[1])) {
        std::fprintf(stderr, "snapshot_window: could not save %s\n", argv[1]);
        return 1;
    }
    XCloseDisplay(display);
    return 0;
}
