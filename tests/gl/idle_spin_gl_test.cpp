// The idle spin turns the model-view matrix itself, step by step, and only a
// reshape (which reloads the camera) takes the accumulated turn away.
#include "input/commands.h"
#include "input/pointer.h"
#include "render/scene.h"

#include "support/gl_window.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>

namespace {

using matrix = std::array<double, 16>; // column-major, as OpenGL keeps it

matrix identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

matrix multiply(const matrix& a, const matrix& b) {
    matrix product{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                product[column * 4 + row] += a[k * 4 + row] * b[column * 4 + k];
    return product;
}

matrix rotation_about_y(double degrees) {
    const double c = std::cos(degrees * std::numbers::pi / 180),
                 s = std::sin(degrees * std::numbers::pi / 180);
    return {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
}

matrix rotation_about_x(double degrees) {
    const double c = std::cos(degrees * std::numbers::pi / 180),
                 s = std::sin(degrees * std::numbers::pi / 180);
    return {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1};
}

matrix translation(double x, double y, double z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

matrix model_view() {
    GLfloat values[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, values);
    matrix result;
    for (int i = 0; i < 16; ++i)
        result[i] = values[i];
    return result;
}

::testing::AssertionResult near_matrix(const matrix& actual, const matrix& expected,
                                       double tolerance = 1e-5) {
    for (int i = 0; i < 16; ++i)
        if (std::abs(actual[i] - expected[i]) > tolerance)
            return ::testing::AssertionFailure()
                   << "element " << i << " is " << actual[i] << ", expected " << expected[i];
    return ::testing::AssertionSuccess();
}

int frames_drawn = 0;
void count_frame() {
    ++frames_drawn;
}

int frames_for_idle_call() {
    frames_drawn = 0;
    on_idle();
    glutMainLoopEvent();
    return frames_drawn;
}

class IdleSpin : public ::testing::Test {
  protected:
    void SetUp() override {
        open_gl_window(64, 64);
        glutDisplayFunc(count_frame);
        viewer_state = viewer_state_t{};
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (int i = 0; i < 5; ++i)
            glutMainLoopEvent();
    }
    void TearDown() override {
        viewer_state = viewer_state_t{};
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
};

TEST_F(IdleSpin, OffLeavesTheMatrixAndAsksForNothing) {
    viewer_state.spin_y_step = 5.0f;
    viewer_state.spin_x_step = 7.0f;
    EXPECT_EQ(frames_for_idle_call(), 0);
    EXPECT_TRUE(near_matrix(model_view(), identity(), 0.0));
}

TEST_F(IdleSpin, EachCallTurnsByOneStepAboutY) {
    on_keyboard('f', 0, 0);
    viewer_state.spin_y_step = 1.0f;
    EXPECT_EQ(frames_for_idle_call(), 1);
    EXPECT_TRUE(near_matrix(model_view(), rotation_about_y(1)));
    for (int call = 1; call < 90; ++call)
        EXPECT_EQ(frames_for_idle_call(), 1);
    EXPECT_TRUE(near_matrix(model_view(), rotation_about_y(90), 1e-4));
}

TEST_F(IdleSpin, TurnsAboutYThenAboutXOnTopOfTheCamera) {
    const matrix camera = translation(0, 0, -5);
    glTranslatef(0, 0, -5);
    viewer_state.spin_mode = 1;
    viewer_state.spin_y_step = 30.0f;
    viewer_state.spin_x_step = -45.0f;
    on_idle();
    const matrix one_step = multiply(rotation_about_y(30), rotation_about_x(-45));
    EXPECT_TRUE(near_matrix(model_view(), multiply(camera, one_step)));
    on_idle();
    EXPECT_TRUE(near_matrix(model_view(), multiply(multiply(camera, one_step), one_step)));
}

TEST_F(IdleSpin, ZeroStepsStillRedrawEveryCall) {
    viewer_state.spin_mode = 1;
    EXPECT_EQ(frames_for_idle_call(), 1);
    EXPECT_EQ(frames_for_idle_call(), 1);
    EXPECT_TRUE(near_matrix(model_view(), identity(), 0.0));
}

TEST_F(IdleSpin, SwitchedOffKeepsTheTurnUntilAReshape) {
    viewer_state.spin_y_step = 10.0f;
    on_keyboard('f', 0, 0);
    for (int call = 0; call < 3; ++call)
        on_idle();
    on_keyboard('f', 0, 0);
    on_idle();
    on_idle();
    EXPECT_TRUE(near_matrix(model_view(), rotation_about_y(30)));

    on_reshape(64, 64);
    EXPECT_TRUE(near_matrix(model_view(), translation(0, 0, -5)));
    GLint matrix_mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &matrix_mode);
    EXPECT_EQ(matrix_mode, GL_MODELVIEW) << "the spin needs the model-view matrix current";
}

} // namespace
