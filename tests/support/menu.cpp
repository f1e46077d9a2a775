#include "support/menu.h"

#include "support/x_display.h"

#include <chrono>
#include <thread>

namespace {

constexpr int right_button = 3;

bool is_viewable(Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(test_display(), window, &attributes) &&
           attributes.map_state == IsViewable;
}

} // namespace

bool choose_menu_entry(Window window, int x, int y, int position, int entry_count) {
    move_pointer(window, x, y);
    press_button(right_button);
    const Window menu = find_window("freeglut menu", 5);
    if (menu == 0) {
        release_button(right_button);
        return false;
    }
    XWindowAttributes attributes;
    XGetWindowAttributes(test_display(), menu, &attributes);
    const int entry_height = attributes.height / entry_count;
    move_pointer(menu, attributes.width / 2, position * entry_height + entry_height / 2);
    // The menu highlights the entry under the pointer as it sees the motion;
    // the release then chooses the highlighted one.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    release_button(right_button);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (is_viewable(menu)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
