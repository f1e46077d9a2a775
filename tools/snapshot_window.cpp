// Saves a PNG of the viewer's window once it has drawn its first frames, and
// with --coverage prints the share of the window, outside the statistics
// panel, that is not the background: how much of the frame the model fills.
// Usage: snapshot_window OUTPUT.png [seconds to wait for the window] [--coverage]
#include "tools/x_capture.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// Percent of the pixels outside the panel's corner that differ from the
// clear colour (0.2 grey).
double drawn_share(const window_image& image) {
    const int panel_right = 400, panel_bottom = 160;
    long drawn = 0, counted = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            if (x < panel_right && y < panel_bottom)
                continue;
            const uint32_t pixel = image.at(x, y);
            ++counted;
            drawn += std::abs(red_of(pixel) - 51) + std::abs(green_of(pixel) - 51) +
                         std::abs(blue_of(pixel) - 51) >
                     6;
        }
    return counted > 0 ? 100.0 * drawn / counted : 0.0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [timeout-seconds]\n", argv[0]);
        return 2;
    }
    const double timeout = argc > 2 ? std::atof(argv[2]) : 20.0;
    const bool coverage = argc > 3 && std::strcmp(argv[3], "--coverage") == 0;
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
    if (coverage)
        std::printf("%.2f%% of the window outside the panel is drawn\n", drawn_share(image));
    XCloseDisplay(display);
    return 0;
}
