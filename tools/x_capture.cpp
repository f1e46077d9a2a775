#include "tools/x_capture.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace {

pid_t xvfb_pid = 0;

void stop_xvfb() {
    if (xvfb_pid > 0) {
        kill(xvfb_pid, SIGTERM);
        waitpid(xvfb_pid, nullptr, 0);
        xvfb_pid = 0;
    }
}

Window find_in_tree(Display* display, Window parent, const std::string& title) {
    Window root_return, parent_return, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root_return, &parent_return, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        char* name = nullptr;
        XWindowAttributes attributes;
        if (XFetchName(display, children[i], &name) && name != nullptr) {
            if (title == name && XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.map_state == IsViewable)
                found = children[i];
            XFree(name);
        }
        if (found == 0)
            found = find_in_tree(display, children[i], title);
    }
    if (children != nullptr)
        XFree(children);
    return found;
}

} // namespace

// Xvfb picks a free display number and writes it to the pipe once it
// accepts connections, so there is no race and no fixed number to collide.
// It keeps running unchanged when its last client goes, which a watched
// program may be.
std::string start_private_xvfb() {
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
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
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

Window wait_for_window(Display* display, const std::string& title, double timeout_seconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    do {
        if (Window window = find_in_tree(display, DefaultRootWindow(display), title))
            return window;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
}

// X can only read the part of a window that lies on the screen; without a
// window manager the viewer sits at (-1, -1), so the part off the screen is
// left black and the image keeps the window's own coordinates.
window_image capture_window(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return window_image{};
    int root_x = 0, root_y = 0;
    Window child;
    XTranslateCoordinates(display, window, attributes.root, 0, 0, &root_x, &root_y, &child);
    const int screen_width = WidthOfScreen(attributes.screen);
    const int screen_height = HeightOfScreen(attributes.screen);
    const int left = root_x < 0 ? -root_x : 0, top = root_y < 0 ? -root_y : 0;
    const int right = std::min(attributes.width, screen_width - root_x);
    const int bottom = std::min(attributes.height, screen_height - root_y);
    window_image image;
    image.width = attributes.width;
    image.height = attributes.height;
    image.pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
    if (right <= left || bottom <= top)
        return image;
    XImage* x_image = XGetImage(display, window, left, top, static_cast<unsigned>(right - left),
                                static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    if (x_image == nullptr)
        return window_image{};
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            image.pixels[static_cast<size_t>(y) * image.width + x] =
                static_cast<uint32_t>(XGetPixel(x_image, x - left, y - top)) & 0xffffff;
    XDestroyImage(x_image);
    return image;
}

bool save_png(const window_image& image, const std::string& path) {
    std::vector<unsigned char> rgb;
    rgb.reserve(image.pixels.size() * 3);
    for (uint32_t pixel : image.pixels) {
        rgb.push_back(static_cast<unsigned char>(red_of(pixel)));
        rgb.push_back(static_cast<unsigned char>(green_of(pixel)));
        rgb.push_back(static_cast<unsigned char>(blue_of(pixel)));
    }
    return stbi_write_png(path.c_str(), image.width, image.height, 3, rgb.data(),
                          image.width * 3) != 0;
}
