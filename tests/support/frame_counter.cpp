#include "support/frame_counter.h"

#include "support/x_display.h"

#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <stdexcept>

frame_counter::frame_counter(Window window) {
    test_display(); // starts the server and sets DISPLAY
    display_ = XOpenDisplay(std::getenv("DISPLAY"));
    int error_base = 0;
    if (display_ == nullptr || !XDamageQueryExtension(display_, &event_base_, &error_base))
        throw std::runtime_error("the X server offers no DAMAGE extension");
    damage_ = XDamageCreate(display_, window, XDamageReportNonEmpty);
    XSync(display_, False);
}

// Closing the connection frees the damage object, which the server has
// already freed if the window is gone; destroying it by hand would then be
// an error that ends the test.
frame_counter::~frame_counter() {
    if (display_ != nullptr)
        XCloseDisplay(display_);
}

long frame_counter::wait_frames(long count, double timeout_seconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    long counted = 0;
    while (counted < count && std::chrono::steady_clock::now() < deadline) {
        if (XPending(display_) == 0) {
            pollfd connection{ConnectionNumber(display_), POLLIN, 0};
            poll(&connection, 1, 20);
            continue;
        }
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type != event_base_ + XDamageNotify)
            continue;
        // Emptying the damage arms the next report.
        XDamageSubtract(display_, damage_, None, None);
        XFlush(display_);
        ++counted;
    }
    total_ += counted;
    return counted;
}
