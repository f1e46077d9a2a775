#include "support/x_display.h"

#include <X11/extensions/XTest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

pid_t xvfb_pid = 0;

void stop_xvfb() {
    if (xvfb_pid > 0) {
        kill(xvfb_pid, SIGTERM);
        waitpid(xvfb_pid, nullptr, 0);
        xvfb_pid = 0;
    }
}

// Xvfb picks a free display number and writes it to the pipe once it
// accepts connections, so there is no race and no fixed number to collide.
std::string start_xvfb() {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    xvfb_pid = fork();
    if (xvfb_pid == 0) {
        close(fds[0]);
        const int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
        const std::string fd_text = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd_text.c_str(), "-screen", "0", "1024x768x24",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number.push_back(c);
    close(fds[0]);
    if (number.empty())
        throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
    std::atexit(stop_xvfb);
    return ":" + number;
}

unsigned keycode_of(const char* keysym_name) {
    return XKeysymToKeycode(test_display(), XStringToKeysym(keysym_name));
}

} // namespace

Display* test_display() {
    static Display* display = [] {
        const std::string name = start_xvfb();
        setenv("DISPLAY", name.c_str(), 1);
        Display* opened = XOpenDisplay(name.c_str());
        if (opened == nullptr)
            throw std::runtime_error("cannot open " + name);
        return opened;
    }();
    return display;
}

Window find_window(const std::string& title, double timeout_seconds) {
    return wait_for_window(test_display(), title, timeout_seconds);
}

window_image capture_window(Window window) { return capture_window(test_display(), window); }

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
