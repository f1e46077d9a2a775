#include "support/gl_window.h"

#include "support/x_display.h"

#include <GL/freeglut.h>

#include <chrono>
#include <thread>

namespace {

// The tests call the viewer's callbacks themselves, so the window's own
// callbacks leave all GL state alone while events are pumped.
void ignore_display() {}
void ignore_reshape(int, int) {}

bool has_size(int width, int height) {
    return glutGet(GLUT_WINDOW_WIDTH) == width && glutGet(GLUT_WINDOW_HEIGHT) == height;
}

} // namespace

void open_gl_window(int width, int height) {
    static bool opened = false;
    if (!opened) {
        test_display();
        int argc = 1;
        char name[] = "gl_tests";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
        glutInitWindowSize(width, height);
        glutCreateWindow("gl test");
        opened = true;
    }
    glutDisplayFunc(ignore_display);
    glutReshapeFunc(ignore_reshape);
    glutReshapeWindow(width, height);
    // The X server applies the new size asynchronously; pixels read before
    // it has would come from a window of the old size.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        XSync(test_display(), False);
        glutMainLoopEvent();
        if (has_size(width, height))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    // Mesa takes up a new drawable size only at a swap, and the first swap at
    // a new size leaves a fresh back buffer; one blank frame gets that over.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
    glFinish();
    glViewport(0, 0, width, height);
}

gl_pixels read_back_buffer() {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    gl_pixels image;
    image.width = viewport[2];
    image.height = viewport[3];
    std::vector<unsigned char> bytes(static_cast<size_t>(image.width) * image.height * 4);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, image.width, image.height, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    image.rgb.resize(static_cast<size_t>(image.width) * image.height);
    for (size_t i = 0; i < image.rgb.size(); ++i)
        image.rgb[i] =
            (uint32_t{bytes[i * 4]} << 16) | (uint32_t{bytes[i * 4 + 1]} << 8) | bytes[i * 4 + 2];
    return image;
}

bool save_png(const gl_pixels& pixels, const std::string& path) {
    window_image image;
    image.width = pixels.width;
    image.height = pixels.height;
    image.pixels.reserve(pixels.rgb.size());
    for (int y = pixels.height - 1; y >= 0; --y)
        for (int x = 0; x < pixels.width; ++x)
            image.pixels.push_back(pixels.at(x, y));
    return save_png(image, path);
}
