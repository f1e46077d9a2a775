#include "render_fixture.h"

#include "input/pointer.h"
#include "render/model_fit.h"

#include <cmath>
#include <cstring>

namespace {

using NormalsPass = RenderTest;

void expect_at(const fed_vertex& fed, const std::array<double, 3>& window) {
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_NEAR(fed.window[axis], window[axis], axis < 2 ? 1e-2 : 1e-6) << "axis " << axis;
}

void expect_colour(const fed_vertex& fed, std::array<float, 3> colour) {
    for (int channel = 0; channel < 3; ++channel)
        EXPECT_EQ(fed.colour[channel], colour[channel]) << "channel " << channel;
}

const std::array<float, 3> green = {0, 1, 0}, yellow = {1, 1, 0}, blue = {0, 0, 1}, red = {1, 0, 0};

} // namespace

// Each corner's segment runs from its vertex to 1.45 x (vertex + normal): a
// normal with a negative Z is folded and ends red, a zero Z (even -0) blue.
TEST_F(NormalsPass, SegmentsEndAtTheScaledSumOfVertexAndFoldedNormal) {
    install_mesh(
        {vertex(2, 0, 0, 0, 1, 0), vertex(1, 0, 0, 0, 0, -1), vertex(0, -3, 0, 0, 0, -0.0f)},
        {face(0, 1, 2)});
    viewer_state.draw_objects = 0;
    viewer_state.draw_normals = 1;
    const fed_frame frame = feed_frame();

    EXPECT_EQ(frame.polygons, 0);
    EXPECT_GT(frame.bitmaps, 0); // the panel is still drawn
    ASSERT_EQ(frame.lines.size(), 3u);
    const auto& [first_start, first_end] = frame.lines[0];
    expect_at(first_start, window_point(2, 0, 0));
    expect_colour(first_start, green);
    expect_at(first_end, window_point(2.9f, 1.45f, 0));
    expect_colour(first_end, blue);

    const auto& [second_start, second_end] = frame.lines[1];
    expect_at(second_start, window_point(1, 0, 0));
    expect_colour(second_start, yellow);
    expect_at(second_end, window_point(1.45f, 0, 1.45f));
    expect_colour(second_end, red);

    const auto& [third_start, third_end] = frame.lines[2];
    expect_at(third_start, window_point(0, -3, 0));
    expect_colour(third_start, green);
    expect_at(third_end, window_point(0, -4.35f, 0));
    expect_colour(third_end, blue);

    // The stored normal is only read, never folded in place.
    EXPECT_EQ(mesh_store.v_data[1].norm[2], -1.0f);
}

// Under "-fit" a model far from the origin is drawn centred and scaled to the
// bundled model's size (and turned upright), and its segments run from the fitted positions, so
// that they keep the look they have on the bundled model. The vertex that no
// face uses plays no part.
TEST_F(NormalsPass, UnderAFitSegmentsStartAndEndAtFittedPositions) {
    install_mesh({vertex(1000, 500, -300, 0, 1, 0), vertex(1060, 500, -300, 0, 0, -1),
                  vertex(1000, 580, -300, 0, 0, 1), vertex(-9e6f, 0, 0)},
                 {face(0, 1, 2)});
    viewer_state.draw_normals = 1;
    viewer_state.fit_view = 1;
    const model_fit fit = fit_model(measure_model_box(mesh_store));
    std::copy(fit.centre, fit.centre + 3, viewer_state.fit_centre);
    viewer_state.fit_scale = fit.scale;
    // A smear to half size keeps the segments' far ends in the window.
    viewer_state.scale_x = viewer_state.scale_y = 0.5f;
    const auto halved_point = [](float x, float y, float z) {
        glPushMatrix();
        glScalef(0.5f, 0.5f, 1.0f);
        const auto window = window_point(x, y, z, true);
        glPopMatrix();
        return window;
    };
    const fed_frame frame = feed_frame();

    EXPECT_EQ(frame.polygons, 1);
    ASSERT_EQ(frame.lines.size(), 3u);
    // The box is 60 x 80 x 0 around (1030, 540, -300): half-diagonal 50.
    const float scale = bundled_half_diagonal / 50;
    const float fitted[3][3] = {
        {-30 * scale, -40 * scale, 0}, {30 * scale, -40 * scale, 0}, {-30 * scale, 40 * scale, 0}};
    const float folded_normals[3][3] = {{0, 1, 0}, {0, 0, 1}, {0, 0, 1}};
    for (int k = 0; k < 3; ++k) {
        const float* p = fitted[k];
        const float* n = folded_normals[k];
        expect_at(frame.lines[k][0], halved_point(p[0], p[1], p[2]));
        expect_at(frame.lines[k][1], halved_point(1.45f * (n[0] + p[0]), 1.45f * (n[1] + p[1]),
                                                  1.45f * (n[2] + p[2])));
    }
    expect_colour(frame.lines[1][1], red);
}

TEST_F(NormalsPass, OneSegmentPerCornerOfEveryFaceOnlyWhileSwitchedOn) {
    install_mesh({vertex(0, 0, 0), vertex(10, 0, 0), vertex(0, 10, 0), vertex(10, 10, 0)},
                 {face(0, 1, 2), face(1, 3, 2)});
    EXPECT_EQ(feed_frame().lines.size(), 0u);
    EXPECT_EQ(feed_frame().polygons, 2);
    viewer_state.draw_normals = 1;
    EXPECT_EQ(feed_frame().lines.size(), 6u);
}

TEST_F(NormalsPass, EmptyMeshStillDrawsThePanelAndHint) {
    viewer_state.draw_normals = 1;
    const int panel_only = feed_frame().bitmaps;
    EXPECT_GT(panel_only, 0);
    viewer_state.show_hint = 1;
    const fed_frame frame = feed_frame();
    EXPECT_EQ(frame.lines.size(), 0u);
    EXPECT_EQ(frame.polygons, 0);
    EXPECT_EQ(frame.bitmaps - panel_only,
              static_cast<int>(std::strlen("Hit right click for options menu")));
}

// The segments turn and scale with the mesh: under a 20-fold smear they are
// long enough to see, blue and red at their ends.
TEST_F(NormalsPass, SegmentEndsShowBlueAndRedInTheFrame) {
    install_mesh({vertex(2, 0, 0, 0, 1, 0), vertex(1, 0, 0, 0, 0, -1), vertex(0, -3, 0, 0, 1, 0)},
                 {face(0, 1, 2)});
    viewer_state.draw_objects = 0;
    viewer_state.draw_normals = 1;
    viewer_state.scale_x = 20.0f;
    viewer_state.scale_y = 20.0f;
    const gl_pixels frame = draw_frame();
    const auto colour_near = [&](float x, float y, float z, int r, int g, int b) {
        glPushMatrix();
        glScalef(20.0f, 20.0f, 1.0f);
        const auto window = window_point(x, y, z);
        glPopMatrix();
        const int cx = static_cast<int>(std::lround(window[0]));
        const int cy = static_cast<int>(std::lround(window[1]));
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (near_colour(frame.at(cx + dx, cy + dy), r, g, b, 40))
                    return true;
        return false;
    };
    EXPECT_TRUE(colour_near(2.9f, 1.45f, 0, 0, 0, 255));
    EXPECT_TRUE(colour_near(1.45f, 0, 1.45f, 255, 0, 0));
    EXPECT_TRUE(colour_near(2, 0, 0, 0, 255, 0));
}

// Under "-fit" the file's Z points up the screen, its -Y towards the eye and
// its X to the right (the model as it is, not mirrored), seen a little from
// above and from the right; the spin turns the model about its own up axis,
// which carries the top corner's segment with it, and no turn takes a corner
// out of the window.
TEST_F(NormalsPass, UnderAFitTheModelStandsUprightAndSpinsAboutItsUpAxis) {
    // In the file: right (+X), front (-Y), top (+Z), and a corner of the box
    // around the origin; the store holds z negated.
    install_mesh({vertex(40, 0, 0), vertex(0, -40, 0), vertex(0, 0, -40), vertex(-40, 40, 40)},
                 {face(0, 1, 2), face(3, 3, 3)});
    viewer_state.draw_normals = 1;
    viewer_state.fit_view = 1;
    viewer_state.fit_scale = fit_model(measure_model_box(mesh_store)).scale;
    const auto centre = window_point(0, 0, 0);
    const auto corner = [](const fed_frame& frame, int k) { return frame.lines[k][0].window; };

    const fed_frame upright = feed_frame();
    ASSERT_EQ(upright.lines.size(), 6u);
    const auto right = corner(upright, 0), front = corner(upright, 1), top = corner(upright, 2);
    EXPECT_GT(right[0], centre[0] + 50);
    EXPECT_LT(right[2], centre[2]) << "seen from the right, the right comes nearer";
    EXPECT_LT(front[2], centre[2]);
    EXPECT_LT(front[1], centre[1]) << "seen from above, the front sits lower";
    EXPECT_LT(front[0], centre[0]) << "seen from the right, the front swings left";
    EXPECT_NEAR(top[0], centre[0], 0.5);
    EXPECT_GT(top[1], centre[1] + 50);
    EXPECT_LT(top[2], centre[2]) << "seen from above, the top leans towards the eye";
    const auto top_end = upright.lines[2][1].window;
    EXPECT_NEAR(top_end[0], centre[0], 0.5) << "the top's segment runs up the model's axis";
    EXPECT_GT(top_end[1], top[1] + 20);

    const auto inside = [](const fed_frame& frame) {
        for (const auto& line : frame.lines)
            if (line[0].window[0] < 0 || line[0].window[0] > 640 || line[0].window[1] < 0 ||
                line[0].window[1] > 480)
                return false;
        return true;
    };
    viewer_state.spin_mode = 1;
    viewer_state.spin_y_step = 5;
    for (int call = 1; call <= 72; ++call) {
        on_idle();
        const fed_frame frame = feed_frame();
        ASSERT_EQ(frame.lines.size(), 6u);
        EXPECT_NEAR(corner(frame, 2)[0], top[0], 0.05) << "after " << call * 5 << " degrees";
        EXPECT_NEAR(corner(frame, 2)[1], top[1], 0.05) << "after " << call * 5 << " degrees";
        EXPECT_NEAR(frame.lines[2][1].window[0], top_end[0], 0.05);
        EXPECT_TRUE(inside(frame)) << "after " << call * 5 << " degrees";
        if (call == 36) {
            EXPECT_LT(corner(frame, 0)[0], centre[0] - 50) << "half a turn puts the right left";
        }
    }
    viewer_state.spin_x_step = 7;
    for (int call = 1; call <= 60; ++call) {
        on_idle();
        EXPECT_TRUE(inside(feed_frame())) << "after tumbling " << call * 7 << " degrees";
    }
}
