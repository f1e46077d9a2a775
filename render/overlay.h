// Text over the 3D frame: the statistics panel and the hint line.
#pragma once

#include "mesh/mesh_store.h"
#include "platform/memory_status.h"

#include <cstdarg>

// Every line of text is formatted into a buffer of this size, NUL included.
inline constexpr int text_buffer_size = 200;
using text_buffer = char[text_buffer_size];

inline constexpr int panel_line_count = 7;

// Expands `format` like vsnprintf; a text longer than the buffer holds is cut
// at text_buffer_size - 1 characters, never written past the buffer.
void format_text(text_buffer& buffer, const char* format, std::va_list args);

// The panel's lines, top to bottom: the mesh counts, the memory the vertex
// and colour data would take (count x 4), then physical memory installed and
// available (bytes / 1000) and the memory load.
void format_panel(const mesh_store_t& mesh, const memory_status& memory,
                  text_buffer (&lines)[panel_line_count]);

// Draws one formatted line at window pixel (x, y) from the bottom left, in
// the current colour. Switches lighting and blending off; leaves the frame's
// viewport and perspective projection, the model-view matrix unchanged and
// current. A start point outside the window draws nothing.
[[gnu::format(printf, 3, 4)]] void draw_text(int x, int y, const char* format, ...);

// Queries the memory status and draws the seven panel lines at the top left.
void draw_stats();

// Sets the colour to green and, while show_hint is 1, draws the hint line.
void draw_hint();
