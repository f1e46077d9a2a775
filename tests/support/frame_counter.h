// Counts the frames a window shows, through the X server's DAMAGE extension:
// every buffer swap of the software renderer draws the whole window.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

class frame_counter {
  public:
    // Watches `window` on a connection of its own to the test display.
    explicit frame_counter(Window window);
    ~frame_counter();
    frame_counter(const frame_counter&) = delete;
    frame_counter& operator=(const frame_counter&) = delete;

    // Waits until at least `count` more frames were shown, or the timeout
    // passed; returns how many were counted. Frames that follow each other
    // faster than they are read count as one, so the figure is a lower
    // bound.
    long wait_frames(long count, double timeout_seconds);
    long total() const { return total_; }

  private:
    Display* display_ = nullptr;
    Damage damage_ = 0;
    int event_base_ = 0;
    long total_ = 0;
};
