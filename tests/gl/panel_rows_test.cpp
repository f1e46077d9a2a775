#include "render_fixture.h"

#include "render/overlay.h"

#include <cstring>
#include <set>

namespace {

using PanelRows = RenderTest;

constexpr uint32_t yellow = 0xffff00, red = 0xff0000, green = 0x00ff00;

// Rows (from the bottom) holding at least one pixel of exactly this colour,
// and the leftmost column where it appears.
struct colour_rows {
    std::set<int> rows;
    int leftmost = -1;
};

colour_rows rows_of(const gl_pixels& frame, uint32_t colour) {
    colour_rows found;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            if (frame.at(x, y) == colour) {
                found.rows.insert(y);
                if (found.leftmost < 0 || x < found.leftmost)
                    found.leftmost = x;
            }
    return found;
}

// The 9 by 15 font's glyphs reach from 3 rows below the baseline (the
// descenders and parentheses) to 10 above it, and start one column in.
void expect_lines_at(const gl_pixels& frame, uint32_t colour, const std::vector<int>& baselines) {
    const colour_rows found = rows_of(frame, colour);
    for (int baseline : baselines)
        EXPECT_TRUE(found.rows.count(baseline))
            << std::hex << colour << std::dec << ": no line at " << baseline;
    for (int row : found.rows) {
        bool in_a_line = false;
        for (int baseline : baselines)
            in_a_line = in_a_line || (row >= baseline - 3 && row <= baseline + 10);
        EXPECT_TRUE(in_a_line) << std::hex << colour << std::dec << " at stray row " << row;
    }
    if (!baselines.empty()) {
        EXPECT_GE(found.leftmost, 10);
        EXPECT_LE(found.leftmost, 12);
    }
}

std::vector<int> below(int top, std::vector<int> depths) {
    for (int& depth : depths)
        depth = top - depth;
    return depths;
}

void write_long_line() {
    const std::string text(300, 'W');
    draw_text(10, 100, "%s", text.c_str());
}

} // namespace

// Yellow mesh figures, red machine figures and the green hint keep their
// distance from the top edge when the window grows.
TEST_F(PanelRows, LinesSitAtTheirDistancesBelowTheTopEdge) {
    viewer_state.show_hint = 1;
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{800, 600}}) {
        SCOPED_TRACE(height);
        resize(width, height);
        const gl_pixels frame = draw_frame();
        expect_lines_at(frame, yellow, below(height, {20, 35, 70, 90}));
        expect_lines_at(frame, red, below(height, {110, 130, 150}));
        expect_lines_at(frame, green, below(height, {170}));
    }
}

// Lines whose start lies below the window are not drawn at all.
TEST_F(PanelRows, WindowOfHeight100ShowsOnlyTheFirstFourLines) {
    viewer_state.show_hint = 1;
    resize(640, 100);
    const gl_pixels frame = draw_frame();
    expect_lines_at(frame, yellow, {80, 65, 30, 10});
    expect_lines_at(frame, red, {});
    expect_lines_at(frame, green, {});
}

TEST_F(PanelRows, HintIsHiddenButTheColourStillTurnsGreen) {
    const gl_pixels frame = draw_frame();
    expect_lines_at(frame, green, {});
    std::array<float, 4> colour{};
    glGetFloatv(GL_CURRENT_COLOR, colour.data());
    EXPECT_EQ(colour, (std::array<float, 4>{0, 1, 0, 1}));
}

// Every character of the panel's seven lines reaches the screen, formatted
// from the mesh store and the memory record that the frame refilled.
TEST_F(PanelRows, PanelDrawsTheLinesOfTheStoreAndTheRefilledMemoryRecord) {
    install_mesh({vertex(0, 0, 0), vertex(1, 0, 0), vertex(0, 1, 0)}, {face(0, 1, 2)});
    const fed_frame frame = feed_frame();
    EXPECT_GT(memory_.total_physical, 0u);
    text_buffer lines[panel_line_count];
    format_panel(mesh_store, memory_, lines);
    EXPECT_STREQ(lines[0], "faces in mesh = 1");
    size_t characters = 0;
    for (const text_buffer& line : lines)
        characters += std::strlen(line);
    EXPECT_EQ(frame.bitmaps, static_cast<int>(characters));
}

// A text longer than the line buffer is cut to 199 characters on screen.
TEST_F(PanelRows, OverlongTextIsCutNotOverrun) {
    EXPECT_EQ(feed_frame(write_long_line).bitmaps, text_buffer_size - 1);
}
