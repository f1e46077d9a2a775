#include "support/gl_window.h"
#include <GL/gl.h>
#include <gtest/gtest.h>
TEST(GlWindow, OpensWithDepthBuffer) {
    open_gl_window(64, 64);
    GLint depth_bits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
    EXPECT_GT(depth_bits, 0);
}
