#include "render_fixture.h"

#include <cmath>

namespace {

using SurfacePixels = RenderTest;

// A triangle in the lower half of the window, clear of the panel's text,
// facing the viewer and the light.
const std::vector<d_data> triangle = {vertex(-60, -70, 0), vertex(60, -70, 0), vertex(0, 20, 0)};
const std::vector<c_data> red_green_blue = {{{1, 0, 0}}, {{0, 1, 0}}, {{0, 0, 1}}};

// Window pixel of the point 80% of the way from the triangle's centre to
// corner k, where that corner's colour dominates.
struct pixel_position {
    int x, y;
};

pixel_position near_corner(int k) {
    float point[2];
    for (int axis = 0; axis < 2; ++axis) {
        const float centre =
            (triangle[0].pos[axis] + triangle[1].pos[axis] + triangle[2].pos[axis]) / 3;
        point[axis] = centre + 0.8f * (triangle[k].pos[axis] - centre);
    }
    const auto window = window_point(point[0], point[1], 0);
    return {static_cast<int>(std::lround(window[0])), static_cast<int>(std::lround(window[1]))};
}

} // namespace

TEST_F(SurfacePixels, BackgroundIsTheClearColour) {
    const gl_pixels frame = draw_frame();
    EXPECT_TRUE(near_colour(frame.at(600, 20), 51, 51, 51, 1));
    EXPECT_TRUE(near_colour(frame.at(320, 240), 51, 51, 51, 1));
}

// Smooth shading: 80% of the way from the centre to a corner, that corner's
// colour weighs 1/3 + 0.8 x 2/3 = 0.867 (221) and each other one's 0.067 (17).
TEST_F(SurfacePixels, UnlitCornersShowTheirVertexColours) {
    install_mesh(triangle, {face(0, 1, 2)}, red_green_blue);
    const gl_pixels frame = draw_frame();
    const int expected[3][3] = {{221, 17, 17}, {17, 221, 17}, {17, 17, 221}};
    for (int k = 0; k < 3; ++k) {
        const pixel_position at = near_corner(k);
        EXPECT_TRUE(
            near_colour(frame.at(at.x, at.y), expected[k][0], expected[k][1], expected[k][2], 10))
            << "corner " << k << " at " << at.x << "," << at.y << ": " << std::hex
            << frame.at(at.x, at.y);
    }
}

// Colour material is off: the lit surface shows the red light on the default
// grey material, whatever the vertex colours are.
TEST_F(SurfacePixels, LitSurfaceShowsTheRedLightNotTheVertexColours) {
    install_mesh(triangle, {face(0, 1, 2)}, red_green_blue);
    viewer_state.use_lighting = 1;
    const gl_pixels frame = draw_frame();
    for (int k = 0; k < 3; ++k) {
        const pixel_position at = near_corner(k);
        const uint32_t pixel = frame.at(at.x, at.y);
        EXPECT_GT(static_cast<int>(pixel >> 16), 180) << "corner " << k << std::hex << pixel;
        // Only the global ambient light reaches green and blue: 0.2 x 0.2.
        EXPECT_TRUE(near_colour(pixel & 0x00ffff, 0, 10, 10, 4)) << std::hex << pixel;
    }
}

// Without colour data, or with colour indices outside the colour array, the
// corners keep the yellow set before the pass.
TEST_F(SurfacePixels, CornersWithoutAValidColourStayYellow) {
    f_data outside = face(0, 1, 2);
    outside.cvert[0] = -1;
    outside.cvert[1] = 3;
    outside.cvert[2] = 1 << 30;
    for (const auto& colours : {std::vector<c_data>{}, red_green_blue}) {
        install_mesh(triangle, {outside}, colours);
        const gl_pixels frame = draw_frame();
        for (int k = 0; k < 3; ++k) {
            const pixel_position at = near_corner(k);
            EXPECT_TRUE(near_colour(frame.at(at.x, at.y), 255, 255, 0, 2))
                << "corner " << k << ": " << std::hex << frame.at(at.x, at.y);
        }
    }
}

// A colourless mesh merged by "-all" marks its corners, which then draw in
// the base yellow rather than the colour of the face before them; outside
// "-all" the mark is just an index outside the colours.
TEST_F(SurfacePixels, UncolouredCornersOfMergedMeshesDrawYellow) {
    f_data blue_point = face(2, 2, 2); // no area: it only leaves blue as the colour
    f_data uncoloured = face(0, 1, 2);
    for (int32_t& colour : uncoloured.cvert)
        colour = uncoloured_corner;
    install_mesh(triangle, {blue_point, uncoloured}, red_green_blue);
    const pixel_position at = near_corner(0);
    EXPECT_TRUE(near_colour(draw_frame().at(at.x, at.y), 0, 0, 255, 2));
    viewer_state.all_meshes = 1;
    EXPECT_TRUE(near_colour(draw_frame().at(at.x, at.y), 255, 255, 0, 2))
        << std::hex << draw_frame().at(at.x, at.y);
}

// A face whose vertex or normal index lies outside v_data is left out of
// both passes; the faces around it are drawn.
TEST_F(SurfacePixels, FacesWithIndicesOutsideTheVerticesAreLeftOut) {
    f_data bad_vertex = face(0, 1, 2);
    bad_vertex.vert[2] = 3;
    f_data bad_normal = face(0, 1, 2);
    bad_normal.nvert[1] = -7;
    f_data huge_normal = face(0, 1, 2);
    huge_normal.nvert[0] = 1 << 30;
    viewer_state.draw_normals = 1;
    for (const f_data& bad : {bad_vertex, bad_normal, huge_normal}) {
        install_mesh(triangle, {bad}, red_green_blue);
        const gl_pixels frame = draw_frame();
        for (int k = 0; k < 3; ++k) {
            const pixel_position at = near_corner(k);
            EXPECT_TRUE(near_colour(frame.at(at.x, at.y), 51, 51, 51, 1));
        }
        install_mesh(triangle, {bad, face(0, 1, 2)}, red_green_blue);
        const pixel_position corner = near_corner(0);
        EXPECT_TRUE(near_colour(draw_frame().at(corner.x, corner.y), 221, 17, 17, 10));
    }
}

TEST_F(SurfacePixels, NoSurfaceWhileDrawObjectsIsOff) {
    install_mesh(triangle, {face(0, 1, 2)}, red_green_blue);
    viewer_state.draw_objects = 0;
    const gl_pixels frame = draw_frame();
    const pixel_position at = near_corner(0);
    EXPECT_TRUE(near_colour(frame.at(at.x, at.y), 51, 51, 51, 1));
}
