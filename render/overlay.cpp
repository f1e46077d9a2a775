#include "render/overlay.h"

#include "platform/gl.h"
#include "render/scene.h"
#include "state/viewer_state.h"

#include <GL/glut.h>
#include <cstdio>

namespace {

constexpr int text_left = 10; // pixels from the left edge
// Baselines in pixels below the top edge, so the panel follows a resize.
constexpr int panel_line_depth[panel_line_count] = {20, 35, 70, 90, 110, 130, 150};
constexpr int hint_line_depth = 170;
// The first lines, in yellow, show the mesh's figures; the rest, in red, the machine's.
constexpr int mesh_line_count = 4;

} // namespace

void format_text(text_buffer& buffer, const char* format, std::va_list args) {
    if (std::vsnprintf(buffer, sizeof buffer, format, args) < 0)
        buffer[0] = '\0';
}

// Counts go to 64 bits before the multiplication so a huge count cannot
// overflow, and memory is carried in 64 bits so machines above 4 GiB show it.
void format_panel(const mesh_store_t& mesh, const memory_status& memory,
                  text_buffer (&lines)[panel_line_count]) {
    std::snprintf(lines[0], sizeof lines[0], "faces in mesh = %i", mesh.num_faces);
    std::snprintf(lines[1], sizeof lines[1], "vertices in mesh = %i", mesh.num_vertex);
    std::snprintf(lines[2], sizeof lines[2], "memory usage of vertex data (v_data) = %lldk",
                  static_cast<long long>(mesh.num_vertex) * 4);
    std::snprintf(lines[3], sizeof lines[3], "memory usage of vertex color (v_color) = %lldk",
                  static_cast<long long>(mesh.num_cvertex) * 4);
    std::snprintf(lines[4], sizeof lines[4], "physical memory installed = %lluk",
                  static_cast<unsigned long long>(memory.total_physical / 1000));
    std::snprintf(lines[5], sizeof lines[5], "physical memory available = %lluk",
                  static_cast<unsigned long long>(memory.available_physical / 1000));
    std::snprintf(lines[6], sizeof lines[6], "approx MEM usage = %u percent", memory.memory_load);
}

// The projection is replaced rather than pushed, so the projection stack
// keeps its depth however many lines a frame draws.
void draw_text(int x, int y, const char* format, ...) {
    glDisable(GL_LIGHTING);
    text_buffer text;
    std::va_list args;
    va_start(args, format);
    format_text(text, format, args);
    va_end(args);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0.0, viewer_state.window_width, 0.0, viewer_state.window_height);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRasterPos2f(static_cast<float>(x), static_cast<float>(y));
    for (const char* character = text; *character != '\0'; ++character)
        glutBitmapCharacter(GLUT_BITMAP_9_BY_15, static_cast<unsigned char>(*character));
    glPopMatrix();
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_BLEND);
    set_frame_view(viewer_state.window_width, viewer_state.window_height);
}

void draw_stats() {
    // A frame drawn before start-up has reserved the record (as in tests)
    // still shows the machine's figures.
    memory_status unreserved{};
    memory_status& memory =
        viewer_state.mem_status != nullptr ? *viewer_state.mem_status : unreserved;
    query_memory_status(&memory);
    text_buffer lines[panel_line_count];
    format_panel(mesh_store, memory, lines);

    const int top = viewer_state.window_height;
    glColor3f(1.0f, 1.0f, 0.0f);
    for (int line = 0; line < panel_line_count; ++line) {
        if (line == mesh_line_count)
            glColor3f(1.0f, 0.0f, 0.0f);
        draw_text(text_left, top - panel_line_depth[line], "%s", lines[line]);
    }
}

void draw_hint() {
    glColor3f(0.0f, 1.0f, 0.0f);
    if (viewer_state.show_hint == 1)
        draw_text(text_left, viewer_state.window_height - hint_line_depth,
                  "Hit right click for options menu");
}
