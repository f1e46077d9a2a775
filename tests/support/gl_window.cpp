#include "support/gl_window.h"

#include "support/x_display.h"

#include <GL/glut.h>

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
    glutReshapeWindow(width, height);
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
        image.rgb[i] = (uint32_t{bytes[i * 4]} << 16) | (uint32_t{bytes[i * 4 + 1]} << 8) |
                       bytes[i * 4 + 2];
    return image;
}
