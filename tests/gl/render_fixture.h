// A window with the viewer's scene state and view, a one-mesh store the test
// fills, and the global records put back afterwards.
#pragma once

#include "mesh/mesh_store.h"
#include "platform/memory_status.h"
#include "render/scene.h"
#include "state/viewer_state.h"
#include "support/gl_window.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        open_gl_window(640, 480);
        viewer_state.mem_status = &memory_;
        // The environment map need not exist here; the surface shows its
        // colours untextured.
        viewer_state.use_texture = 0;
        // The light's position is taken under the identity, as at start-up.
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        init_scene_state();
        on_reshape(640, 480);
    }

    void TearDown() override {
        if (HasFailure() && !last_frame_.rgb.empty())
            save_png(last_frame_,
                     std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                         "_actual.png");
        reset_mesh_store();
        viewer_state = saved_viewer_;
    }

    void resize(int width, int height) {
        open_gl_window(width, height);
        on_reshape(width, height);
    }

    gl_pixels draw_frame() {
        on_display();
        last_frame_ = read_back_buffer();
        return last_frame_;
    }

    memory_status memory_{};

  private:
    viewer_state_t saved_viewer_ = viewer_state;
    gl_pixels last_frame_;
};

// Where a point of the mesh's own coordinates lands in the window, under
// the frame's model transform with the viewer state's defaults, turned
// upright as under "-fit" when asked.
inline std::array<double, 3> window_point(float x, float y, float z, bool upright = false) {
    glPushMatrix();
    glScalef(0.03f, 0.03f, 0.03f);
    if (upright)
        turn_upright();
    GLdouble model_view[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model_view);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glPopMatrix();
    std::array<double, 3> window{};
    gluProject(x, y, z, model_view, projection, viewport, &window[0], &window[1], &window[2]);
    return window;
}

// Fills the global mesh store with copies of these records.
inline void install_mesh(const std::vector<d_data>& vertices, const std::vector<f_data>& faces,
                         const std::vector<c_data>& colours = {}) {
    const auto count = [](const auto& records) { return static_cast<int32_t>(records.size()); };
    alloc_data(count(vertices));
    alloc_faces(count(faces));
    mesh_store.num_vertex = count(vertices);
    mesh_store.num_faces = count(faces);
    std::copy(vertices.begin(), vertices.end(), mesh_store.v_data);
    std::copy(faces.begin(), faces.end(), mesh_store.f_list);
    if (!colours.empty()) {
        alloc_colors(count(colours));
        mesh_store.num_cvertex = count(colours);
        std::copy(colours.begin(), colours.end(), mesh_store.v_color);
    }
}

inline d_data vertex(float x, float y, float z, float nx = 0, float ny = 0, float nz = 1) {
    d_data record{};
    record.pos[0] = x;
    record.pos[1] = y;
    record.pos[2] = z;
    record.norm[0] = nx;
    record.norm[1] = ny;
    record.norm[2] = nz;
    return record;
}

// A face whose corners take position, normal and colour from the same index.
inline f_data face(int32_t a, int32_t b, int32_t c) {
    f_data record{};
    const int32_t corners[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        record.vert[k] = corners[k];
        record.nvert[k] = corners[k];
        record.cvert[k] = corners[k];
    }
    return record;
}

struct fed_vertex {
    std::array<float, 3> window;
    std::array<float, 4> colour;
};

struct fed_frame {
    std::vector<std::array<fed_vertex, 2>> lines;
    int polygons = 0;
    int bitmaps = 0;
};

// Draws in feedback mode, which reports every primitive's window coordinates
// and colours as OpenGL computed them, instead of pixels.
inline fed_frame feed_frame(void (*draw)() = on_display) {
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint size = glRenderMode(GL_RENDER);
    fed_frame frame;
    const auto read_vertex = [&](GLint& at) {
        fed_vertex fed{};
        for (int i = 0; i < 3; ++i)
            fed.window[i] = buffer[at++];
        for (int i = 0; i < 4; ++i)
            fed.colour[i] = buffer[at++];
        return fed;
    };
    for (GLint at = 0; at < size;) {
        const auto token = static_cast<GLint>(buffer[at++]);
        if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            const fed_vertex start = read_vertex(at);
            frame.lines.push_back({start, read_vertex(at)});
        } else if (token == GL_POLYGON_TOKEN) {
            const auto corners = static_cast<GLint>(buffer[at++]);
            for (GLint i = 0; i < corners; ++i)
                read_vertex(at);
            ++frame.polygons;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            ++at;
        } else {
            read_vertex(at); // a point, bitmap or pixel rectangle
            frame.bitmaps += token == GL_BITMAP_TOKEN;
        }
    }
    return frame;
}

inline bool near_colour(uint32_t pixel, int red, int green, int blue, int tolerance = 6) {
    const int channels[3] = {red, green, blue};
    for (int channel = 0; channel < 3; ++channel) {
        const int actual = static_cast<int>(pixel >> (16 - 8 * channel)) & 0xff;
        if (std::abs(actual - channels[channel]) > tolerance)
            return false;
    }
    return true;
}
