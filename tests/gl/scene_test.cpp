#include "render_fixture.h"

#include <cmath>

namespace {

using matrix = std::array<float, 16>;

matrix current(GLenum which) {
    matrix values{};
    glGetFloatv(which, values.data());
    return values;
}

// Column-major, as OpenGL stores it: 60 degrees vertically, near 1, far 20.
matrix expected_perspective(double aspect) {
    const double focal = 1.0 / std::tan(30.0 * M_PI / 180.0);
    matrix m{};
    m[0] = static_cast<float>(focal / aspect);
    m[5] = static_cast<float>(focal);
    m[10] = -21.0f / 19.0f;
    m[11] = -1.0f;
    m[14] = -40.0f / 19.0f;
    return m;
}

// The eye at (0, 0, 5) looking at the origin, Y up: a move of 5 away.
matrix expected_camera() {
    matrix m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    m[14] = -5.0f;
    return m;
}

void expect_matrix_near(const matrix& actual, const matrix& expected) {
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-5) << "element " << i;
}

std::array<float, 4> light_value(GLenum name) {
    std::array<float, 4> values{};
    glGetLightfv(GL_LIGHT0, name, values.data());
    return values;
}

std::array<float, 4> material_value(GLenum name) {
    std::array<float, 4> values{};
    glGetMaterialfv(GL_FRONT, name, values.data());
    return values;
}

GLint integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

using SceneTest = RenderTest;
using four = std::array<float, 4>;

} // namespace

TEST_F(SceneTest, SceneStateHoldsClearColourShadingDepthAndLight) {
    std::array<float, 4> clear{};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear.data());
    EXPECT_EQ(clear, (four{0.2f, 0.2f, 0.2f, 0.0f}));
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));

    EXPECT_EQ(material_value(GL_SPECULAR), (four{1, 0, 1, 1}));
    EXPECT_EQ(material_value(GL_SHININESS)[0], 128.0f);
    EXPECT_EQ(light_value(GL_POSITION), (four{0, 1, 1, 1}));
    EXPECT_EQ(light_value(GL_DIFFUSE), (four{1, 0, 0, 1}));
    EXPECT_EQ(light_value(GL_SPECULAR), (four{1, 0, 0, 1}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SceneTest, ReshapeSetsSizeViewportPerspectiveAndCamera) {
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{800, 600}}) {
        resize(width, height);
        EXPECT_EQ(viewer_state.window_width, width);
        EXPECT_EQ(viewer_state.window_height, height);
        std::array<GLint, 4> viewport{};
        glGetIntegerv(GL_VIEWPORT, viewport.data());
        EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, width, height}));
        EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
        expect_matrix_near(current(GL_PROJECTION_MATRIX),
                           expected_perspective(static_cast<double>(width) / height));
        expect_matrix_near(current(GL_MODELVIEW_MATRIX), expected_camera());
    }
}

TEST_F(SceneTest, ReshapeDiscardsTheAccumulatedSpin) {
    glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
    on_reshape(640, 480);
    expect_matrix_near(current(GL_MODELVIEW_MATRIX), expected_camera());
}

TEST_F(SceneTest, ZeroHeightWindowDoesNotFault) {
    on_reshape(640, 0);
    EXPECT_EQ(viewer_state.window_height, 0);
    EXPECT_EQ(current(GL_PROJECTION_MATRIX)[0], 0.0f); // focal length over an infinite aspect
    on_display();
    on_reshape(640, 480);
    expect_matrix_near(current(GL_PROJECTION_MATRIX), expected_perspective(640.0 / 480.0));
}

// The frame builds on the model-view matrix (camera and spin) and restores
// it; the overlay replaces the projection rather than pushing it.
TEST_F(SceneTest, FrameLeavesMatricesStacksAndTextureGenerationAsFound) {
    install_mesh({vertex(0, 0, 0), vertex(10, 0, 0), vertex(0, 10, 0)}, {face(0, 1, 2)});
    viewer_state.draw_normals = 1;
    viewer_state.show_hint = 1;
    viewer_state.rot_y_angle = 40.0f;
    viewer_state.scale_x = 2.0f;
    glRotatef(25.0f, 1.0f, 0.0f, 0.0f);
    const matrix spun = current(GL_MODELVIEW_MATRIX);
    const GLint projection_depth = integer(GL_PROJECTION_STACK_DEPTH);
    const GLint model_view_depth = integer(GL_MODELVIEW_STACK_DEPTH);

    on_display();

    EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projection_depth);
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), model_view_depth);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    expect_matrix_near(current(GL_MODELVIEW_MATRIX), spun);
    expect_matrix_near(current(GL_PROJECTION_MATRIX), expected_perspective(640.0 / 480.0));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}
