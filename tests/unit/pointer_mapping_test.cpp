#include "input/pointer.h"

#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(PointerMapping, SmearFactorSpansFiveAcrossTheWindow) {
    EXPECT_FLOAT_EQ(map_pointer(0, 640, 5.0), -2.5f);
    EXPECT_FLOAT_EQ(map_pointer(320, 640, 5.0), 0.0f);
    EXPECT_EQ(map_pointer(639, 640, 5.0), 2.4921875f);
    EXPECT_FLOAT_EQ(map_pointer(0, 480, 5.0), -2.5f);
    EXPECT_FLOAT_EQ(map_pointer(479, 480, 5.0), static_cast<float>(239 * 5.0 / 480));
}

TEST(PointerMapping, AnglesSpanAFullTurnAcrossTheWindow) {
    EXPECT_EQ(map_pointer(480, 640, 360.0), 90.0f);
    EXPECT_EQ(map_pointer(0, 480, 360.0), -180.0f);
    EXPECT_EQ(map_pointer(320, 640, 360.0), 0.0f);
}

TEST(PointerMapping, OddSizeTakesTheMiddleRoundedDown) {
    // 641 / 2 is 320, so the middle column is 320 and the left edge maps
    // just above -2.5.
    EXPECT_EQ(map_pointer(320, 641, 5.0), 0.0f);
    EXPECT_EQ(map_pointer(0, 641, 5.0), static_cast<float>(-320 * 5.0 / 641));
}

TEST(PointerMapping, PositionsOutsideTheWindowMapBeyondTheEdges) {
    EXPECT_FLOAT_EQ(map_pointer(-320, 640, 5.0), -5.0f);
    EXPECT_FLOAT_EQ(map_pointer(960, 640, 360.0), 360.0f);
}

TEST(SpinStep, OneDegreePerHundredPixelsTowardZero) {
    EXPECT_EQ(spin_step(99, 0), 0.0f);
    EXPECT_EQ(spin_step(100, 0), 1.0f);
    EXPECT_EQ(spin_step(199, 0), 1.0f);
    EXPECT_EQ(spin_step(200, 0), 2.0f);
    EXPECT_EQ(spin_step(300, 550), -2.0f);
    EXPECT_EQ(spin_step(401, 500), 0.0f);
}

TEST(Motion, OutsideRotationModeSetsOnlyTheSmearedScales) {
    viewer_state_t state;
    state.smear_x = 1;
    apply_motion(state, 639, 0);
    EXPECT_EQ(state.pointer_nx, 2.4921875f);
    EXPECT_EQ(state.pointer_ny, -2.5f);
    EXPECT_EQ(state.scale_x, 2.4921875f);
    EXPECT_EQ(state.scale_y, 1.0f);
    EXPECT_EQ(state.rot_y_angle, 0.0f);
    EXPECT_EQ(state.rot_x_angle, 0.0f);

    state.smear_x = 0;
    state.smear_y = 1;
    apply_motion(state, 320, 360);
    EXPECT_EQ(state.scale_x, 2.4921875f);
    EXPECT_EQ(state.scale_y, 1.25f);
}

TEST(Motion, CentreColumnCollapsesAndLeftHalfMirrors) {
    viewer_state_t state;
    state.smear_x = 1;
    apply_motion(state, 320, 240);
    EXPECT_EQ(state.scale_x, 0.0f);
    apply_motion(state, 160, 240);
    EXPECT_EQ(state.scale_x, -1.25f);
}

TEST(Motion, InRotationModeSetsAbsoluteAnglesAndKeepsTheScales) {
    viewer_state_t state;
    state.rotation_mode = 1;
    state.smear_x = 1;
    state.smear_y = 1;
    apply_motion(state, 480, 0);
    EXPECT_EQ(state.rot_y_angle, 90.0f);
    EXPECT_EQ(state.rot_x_angle, -180.0f);
    apply_motion(state, 480, 0);
    EXPECT_EQ(state.rot_y_angle, 90.0f) << "angles are absolute, not added";
    EXPECT_EQ(state.scale_x, 1.0f);
    EXPECT_EQ(state.scale_y, 1.0f);
    EXPECT_EQ(state.pointer_nx, 1.25f) << "the smear mapping is kept up to date anyway";
}

TEST(Motion, SpinStepsMeasureFromTheLastButtonEvent) {
    viewer_state_t state;
    state.last_x = 100;
    state.last_y = 300;
    apply_motion(state, 199, 300);
    EXPECT_EQ(state.spin_y_step, 0.0f);
    apply_motion(state, 200, 150);
    EXPECT_EQ(state.spin_y_step, 1.0f);
    EXPECT_EQ(state.spin_x_step, -1.0f);
    apply_motion(state, 299, 549);
    EXPECT_EQ(state.spin_y_step, 1.0f);
    EXPECT_EQ(state.spin_x_step, 2.0f);
    EXPECT_EQ(state.last_x, 100) << "motion never moves the drag's start";
    EXPECT_EQ(state.last_y, 300);
}

TEST(Motion, AfterAResizeTheNewSizeDrivesTheMapping) {
    viewer_state_t state;
    state.window_width = 800;
    state.window_height = 600;
    state.rotation_mode = 1;
    apply_motion(state, 600, 150);
    EXPECT_EQ(state.rot_y_angle, 90.0f);
    EXPECT_EQ(state.rot_x_angle, -90.0f);
}

// A window shrunk to nothing must not leave infinities or NaN behind; the
// empty axis keeps what it had and the other axis still follows.
TEST(Motion, EmptyWindowAxisKeepsItsValues) {
    viewer_state_t state;
    state.window_height = 0;
    state.smear_x = 1;
    state.smear_y = 1;
    apply_motion(state, 480, 0);
    EXPECT_EQ(state.scale_x, 1.25f);
    EXPECT_EQ(state.scale_y, 1.0f);
    EXPECT_EQ(state.pointer_ny, 1.0f);

    state.rotation_mode = 1;
    state.window_width = 0;
    state.window_height = 480;
    apply_motion(state, 0, 0);
    EXPECT_EQ(state.rot_y_angle, 0.0f);
    EXPECT_EQ(state.rot_x_angle, -180.0f);
    EXPECT_TRUE(std::isfinite(state.pointer_nx));
}

// The fields a press may change; everything else must stay as it was.
struct pointer_fields {
    float pointer_nx, pointer_ny, scale_x, scale_y, rot_y_angle, rot_x_angle, spin_y_step,
        spin_x_step;
    explicit pointer_fields(const viewer_state_t& s)
        : pointer_nx(s.pointer_nx), pointer_ny(s.pointer_ny), scale_x(s.scale_x),
          scale_y(s.scale_y), rot_y_angle(s.rot_y_angle), rot_x_angle(s.rot_x_angle),
          spin_y_step(s.spin_y_step), spin_x_step(s.spin_x_step) {}
    bool operator==(const pointer_fields&) const = default;
};

viewer_state_t smearing_state() {
    viewer_state_t state;
    state.smear_x = 1;
    state.smear_y = 1;
    state.last_x = 10;
    state.last_y = 20;
    return state;
}

TEST(Buttons, PlainLeftPressOutsideRotationModeJumpsToThePress) {
    viewer_state_t state = smearing_state();
    EXPECT_TRUE(apply_button(state, GLUT_LEFT_BUTTON, GLUT_DOWN, false, 480, 360));
    EXPECT_EQ(state.scale_x, 1.25f);
    EXPECT_EQ(state.scale_y, 1.25f);
    // Measured from the previous button event at (10, 20).
    EXPECT_EQ(state.spin_y_step, 4.0f);
    EXPECT_EQ(state.spin_x_step, 3.0f);
    EXPECT_EQ(state.last_x, 480);
    EXPECT_EQ(state.last_y, 360);
}

TEST(Buttons, OtherEventsOnlyRecordThePosition) {
    struct event_case {
        const char* name;
        int button, button_state;
        bool shift_held;
        int32_t rotation_mode;
    };
    const event_case cases[] = {
        {"shift-left press", GLUT_LEFT_BUTTON, GLUT_DOWN, true, 0},
        {"middle press", GLUT_MIDDLE_BUTTON, GLUT_DOWN, false, 0},
        {"middle press with shift", GLUT_MIDDLE_BUTTON, GLUT_DOWN, true, 0},
        {"left release", GLUT_LEFT_BUTTON, GLUT_UP, false, 0},
        {"middle release", GLUT_MIDDLE_BUTTON, GLUT_UP, false, 0},
        {"left press in rotation mode", GLUT_LEFT_BUTTON, GLUT_DOWN, false, 1},
    };
    for (const event_case& c : cases) {
        viewer_state_t state = smearing_state();
        state.rotation_mode = c.rotation_mode;
        const pointer_fields before(state);
        EXPECT_FALSE(apply_button(state, c.button, c.button_state, c.shift_held, 480, 360))
            << c.name;
        EXPECT_TRUE(pointer_fields(state) == before) << c.name;
        EXPECT_EQ(state.last_x, 480) << c.name;
        EXPECT_EQ(state.last_y, 360) << c.name;
    }
}

TEST(Buttons, DragAfterAPressMeasuresItsSpinFromThePress) {
    viewer_state_t state;
    apply_button(state, GLUT_MIDDLE_BUTTON, GLUT_DOWN, false, 400, 200);
    apply_motion(state, 150, 299);
    EXPECT_EQ(state.spin_y_step, -2.0f);
    EXPECT_EQ(state.spin_x_step, 0.0f);
    apply_button(state, GLUT_MIDDLE_BUTTON, GLUT_UP, false, 150, 299);
    EXPECT_EQ(state.spin_y_step, -2.0f) << "the last drag's steps stay after the release";
}

} // namespace
