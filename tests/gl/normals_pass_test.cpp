#include "render_fixture.h"

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
// bundled model's size, and its segments run from the fitted positions, so
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
        expect_at(frame.lines[k][0], window_point(p[0], p[1], p[2]));
        expect_at(frame.lines[k][1], window_point(1.45f * (n[0] + p[0]), 1.45f * (n[1] + p[1]),
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
