#include "render/overlay.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct panel {
    text_buffer lines[panel_line_count];
};

panel format(int32_t faces, int32_t vertices, int32_t colours, memory_status memory = {}) {
    mesh_store_t mesh;
    mesh.num_faces = faces;
    mesh.num_vertex = vertices;
    mesh.num_cvertex = colours;
    panel result;
    format_panel(mesh, memory, result.lines);
    return result;
}

// A buffer followed by guard bytes that an overrun would change.
struct guarded_buffer {
    text_buffer text;
    char guard[64];
};

void format_into(text_buffer& buffer, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    format_text(buffer, format, args);
    va_end(args);
}

} // namespace

TEST(PanelText, LinesShowCountsMemoryAndLoadInOrder) {
    const panel shown = format(7, 123, 0, {42, 8000000000ull, 2500000999ull});
    EXPECT_STREQ(shown.lines[0], "faces in mesh = 7");
    EXPECT_STREQ(shown.lines[1], "vertices in mesh = 123");
    EXPECT_STREQ(shown.lines[2], "memory usage of vertex data (v_data) = 492k");
    EXPECT_STREQ(shown.lines[3], "memory usage of vertex color (v_color) = 0k");
    EXPECT_STREQ(shown.lines[4], "physical memory installed = 8000000k");
    EXPECT_STREQ(shown.lines[5], "physical memory available = 2500000k");
    EXPECT_STREQ(shown.lines[6], "approx MEM usage = 42 percent");
}

TEST(PanelText, PhysicalMemoryDropsTheRemainderOfBytesOver1000) {
    EXPECT_STREQ(format(0, 0, 0, {0, 999, 1000}).lines[4], "physical memory installed = 0k");
    EXPECT_STREQ(format(0, 0, 0, {0, 999, 1000}).lines[5], "physical memory available = 1k");
}

TEST(PanelText, HugeCountsTimesFourDoNotOverflow) {
    const panel shown = format(INT32_MAX, INT32_MAX, INT32_MAX);
    EXPECT_STREQ(shown.lines[2], "memory usage of vertex data (v_data) = 8589934588k");
    EXPECT_STREQ(shown.lines[3], "memory usage of vertex color (v_color) = 8589934588k");
}

TEST(PanelText, LongTextIsCutAtTheBufferEndWithoutOverrun) {
    guarded_buffer buffer;
    std::memset(buffer.guard, 'G', sizeof buffer.guard);
    const std::string long_text(1000, 'x');
    format_into(buffer.text, "%s", long_text.c_str());
    EXPECT_EQ(std::strlen(buffer.text), static_cast<size_t>(text_buffer_size - 1));
    for (char guard : buffer.guard)
        ASSERT_EQ(guard, 'G');

    format_into(buffer.text, "faces in mesh = %i", 12);
    EXPECT_STREQ(buffer.text, "faces in mesh = 12");
}
