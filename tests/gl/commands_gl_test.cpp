// The GL state each command leaves behind, and which commands ask for a
// frame. The commands run in a real window; frames are counted by pumping
// its events.
#include "input/commands.h"

#include "support/gl_window.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <thread>

namespace {

int frames_drawn = 0;
void count_frame() {
    ++frames_drawn;
}

// Lets events already on their way (exposure after a resize) arrive and be
// drawn, so that later counts see only what a command asked for.
void settle() {
    for (int quiet = 0, round = 0; quiet < 3 && round < 100; ++round) {
        const int before = frames_drawn;
        glutMainLoopEvent();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        quiet = frames_drawn == before ? quiet + 1 : 0;
    }
}

int frames_for_key(unsigned char key) {
    frames_drawn = 0;
    on_keyboard(key, 0, 0);
    glutMainLoopEvent();
    return frames_drawn;
}

GLint get_int(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

struct polygon_modes {
    GLint front = 0, back = 0;
};
polygon_modes get_polygon_modes() {
    GLint modes[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    return {modes[0], modes[1]};
}

float get_line_width() {
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    return width;
}

// Every field a command may touch, as text, to see that nothing changed.
std::string describe(const viewer_state_t& s) {
    std::string text;
    for (int32_t flag : {s.draw_objects, s.use_vertex_colors, s.use_texture, s.use_lighting,
                         s.draw_normals, s.show_hint, s.smooth_shading, s.wire_mode,
                         s.rotation_mode, s.smear_x, s.smear_y, s.spin_mode, s.last_x, s.last_y})
        text += std::to_string(flag) + " ";
    for (float value : {s.pointer_nx, s.pointer_ny, s.scale_x, s.scale_y, s.rot_y_angle,
                        s.rot_x_angle, s.spin_y_step, s.spin_x_step})
        text += std::to_string(value) + " ";
    return text;
}

// The scene's state at start-up as far as the commands are concerned.
void reset_scene_state() {
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_DONT_CARE);
    glLineWidth(1.0f);
    glEnable(GL_DEPTH_TEST);
}

class Commands : public ::testing::Test {
  protected:
    void SetUp() override {
        open_gl_window(64, 64);
        glutDisplayFunc(count_frame);
        reset_scene_state();
        viewer_state = viewer_state_t{};
        settle();
    }
    void TearDown() override {
        viewer_state = viewer_state_t{};
        reset_scene_state();
    }
};

TEST_F(Commands, ShadingAlternatesStartingWithSmooth) {
    const GLint expected[] = {GL_SMOOTH, GL_FLAT, GL_SMOOTH, GL_FLAT};
    const int32_t expected_flag[] = {1, 0, 1, 0};
    for (int press = 0; press < 4; ++press) {
        EXPECT_EQ(frames_for_key('s'), 1) << "press " << press + 1;
        EXPECT_EQ(get_int(GL_SHADE_MODEL), expected[press]) << "press " << press + 1;
        EXPECT_EQ(viewer_state.smooth_shading, expected_flag[press]);
    }
}

TEST_F(Commands, WireframeOnDrawsBothFacesAsBlendedLines) {
    glDisable(GL_DEPTH_TEST);
    glLineWidth(4.0f);
    EXPECT_EQ(frames_for_key('w'), 1);
    EXPECT_EQ(viewer_state.wire_mode, 1);
    const polygon_modes modes = get_polygon_modes();
    EXPECT_EQ(modes.front, GL_LINE);
    EXPECT_EQ(modes.back, GL_LINE);
    EXPECT_EQ(get_int(GL_LINE_SMOOTH_HINT), GL_NICEST);
    EXPECT_EQ(get_line_width(), 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(get_int(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(get_int(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_SMOOTH));
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH)) << "only the hint is set";
}

TEST_F(Commands, WireframeOffFillsAndLeavesPolygonSmoothingOn) {
    on_keyboard('w', 0, 0);
    glLineWidth(3.0f);
    glDisable(GL_BLEND);
    glHint(GL_LINE_SMOOTH_HINT, GL_FASTEST);
    EXPECT_EQ(frames_for_key('w'), 1);
    EXPECT_EQ(viewer_state.wire_mode, 0);
    const polygon_modes modes = get_polygon_modes();
    EXPECT_EQ(modes.front, GL_FILL);
    EXPECT_EQ(modes.back, GL_FILL);
    EXPECT_TRUE(glIsEnabled(GL_POLYGON_SMOOTH));
    EXPECT_EQ(get_int(GL_LINE_SMOOTH_HINT), GL_NICEST);
    EXPECT_EQ(get_line_width(), 3.0f) << "switching off leaves the line width alone";
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(get_int(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(get_int(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));

    on_keyboard('w', 0, 0);
    EXPECT_TRUE(glIsEnabled(GL_POLYGON_SMOOTH)) << "no command switches it off again";
    EXPECT_EQ(get_polygon_modes().front, GL_LINE);
}

TEST_F(Commands, DisplayTogglesFlipTheirFlagWithoutAFrame) {
    struct toggle_case {
        unsigned char key;
        int32_t viewer_state_t::*flag;
    };
    const toggle_case cases[] = {
        {'c', &viewer_state_t::draw_normals}, {'h', &viewer_state_t::show_hint},
        {'l', &viewer_state_t::use_lighting}, {'o', &viewer_state_t::draw_objects},
        {'t', &viewer_state_t::use_texture},
    };
    for (const toggle_case& c : cases) {
        const int32_t start = viewer_state.*c.flag;
        EXPECT_EQ(frames_for_key(c.key), 0) << c.key;
        EXPECT_EQ(viewer_state.*c.flag, 1 - start) << c.key;
        EXPECT_EQ(frames_for_key(c.key), 0) << c.key;
        EXPECT_EQ(viewer_state.*c.flag, start) << c.key;
    }
}

TEST_F(Commands, ModeTogglesFlipTheirFlagAndAskForAFrame) {
    EXPECT_EQ(frames_for_key('r'), 1);
    EXPECT_EQ(viewer_state.rotation_mode, 1);
    EXPECT_EQ(frames_for_key('f'), 1);
    EXPECT_EQ(viewer_state.spin_mode, 1);
    EXPECT_EQ(frames_for_key('r'), 1);
    EXPECT_EQ(viewer_state.rotation_mode, 0);
    EXPECT_EQ(frames_for_key('f'), 1);
    EXPECT_EQ(viewer_state.spin_mode, 0);
}

TEST_F(Commands, SmearCommandsAskForAFrameEvenWithoutAChange) {
    EXPECT_EQ(frames_for_key('b'), 1);
    EXPECT_EQ(frames_for_key('b'), 1);
    EXPECT_EQ(viewer_state.smear_x, 1);
    EXPECT_EQ(viewer_state.smear_y, 1);
    EXPECT_EQ(frames_for_key('x'), 1);
    EXPECT_EQ(viewer_state.smear_x, 0);
    EXPECT_EQ(viewer_state.smear_y, 0);
    EXPECT_EQ(frames_for_key('y'), 1);
    EXPECT_EQ(viewer_state.smear_y, 1);
}

TEST_F(Commands, KeysWithoutACommandDoNothingAtAll) {
    const std::string state_before = describe(viewer_state);
    for (const int key : std::initializer_list<int>{'B', 'Q', 'W', 'S', '0', '9', ' ', '\t', '\r',
                                                    27, 127, 'a', 'z', 200, 255}) {
        EXPECT_EQ(frames_for_key(static_cast<unsigned char>(key)), 0) << key;
        EXPECT_EQ(describe(viewer_state), state_before) << key;
        EXPECT_EQ(get_int(GL_SHADE_MODEL), GL_SMOOTH) << key;
        EXPECT_EQ(get_polygon_modes().front, GL_FILL) << key;
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << key;
        EXPECT_FALSE(glIsEnabled(GL_POLYGON_SMOOTH)) << key;
    }
}

TEST_F(Commands, MenuHasThirteenEntriesThatActAsKeys) {
    const int window = glutGetWindow();
    build_menu();
    EXPECT_EQ(glutGet(GLUT_MENU_NUM_ITEMS), 13);
    glutDetachMenu(GLUT_RIGHT_BUTTON);
    glutDestroyMenu(glutGetMenu());
    glutSetWindow(window);

    const std::string state_before = describe(viewer_state);
    frames_drawn = 0;
    on_menu(' ');
    glutMainLoopEvent();
    EXPECT_EQ(frames_drawn, 0);
    EXPECT_EQ(describe(viewer_state), state_before);

    frames_drawn = 0;
    on_menu('w');
    glutMainLoopEvent();
    EXPECT_EQ(frames_drawn, 1);
    EXPECT_EQ(viewer_state.wire_mode, 1);
    EXPECT_EQ(get_polygon_modes().back, GL_LINE);

    on_menu('c');
    EXPECT_EQ(viewer_state.draw_normals, 1);
}

} // namespace
