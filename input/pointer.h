// Pointer drags and the idle spin.
//
// Drags (a button held while the pointer moves):
//   left            rotation mode on:  the pointer's position sets the model's
//                                      angles, -180..180 degrees across the
//                                      window (x turns about Y, y about X)
//                   rotation mode off: the pointer's position sets the smear
//                                      factors whose axes are on ('x', 'y',
//                                      'b'), -2.5..2.5 across the window
//   Shift-left      like middle
//   middle          as left, but its press does not move anything
// Outside rotation mode a plain left press also acts as a drag to the press
// point, so a click sets the smear factors.
// Every drag sets the idle spin's steps: one degree per 100 pixels between
// the last button event and the pointer, x for the spin about Y, y about X.
// While the spin is on ('f') the idle handler turns the model by these steps
// at every call; the turn accumulates until the window is resized. Under
// "-fit" the spin about Y turns the model about its own up axis. The idle
// handler is registered only while the spin is on, so a still picture costs
// almost no processor time: without one, GLUT's loop sleeps until the next
// event, and a timer draws one frame a second so that the statistics panel's
// memory figures stay current.
#pragma once

#include "state/viewer_state.h"

// GLUT mouse callback: button, state (press or release), window position.
void on_mouse(int button, int state, int x, int y);

// GLUT motion callback: pointer position while a button is held.
void on_motion(int x, int y);

// GLUT idle callback: turns the model while the spin is on.
void on_idle();

// Registers on_idle as the GLUT idle callback while spin_mode is 1; otherwise
// no idle callback, and a timer that redraws about once a second unless one
// is already queued. Start-up and the spin command call it.
void register_idle_for_spin();

// The pointer's offset from the window's middle, scaled so the window spans
// `span` (5.0 for the smear factors, 360.0 for degrees). `size` is the
// window's width or height in pixels and must be positive.
float map_pointer(int position, int size, double span);

// Spin step in whole degrees per idle call: one per 100 pixels moved from
// `last_position`, rounded toward zero.
float spin_step(int position, int last_position);

// What a motion event does to the state (everything of on_motion but the
// redisplay request). An axis of a window with no size keeps its values.
void apply_motion(viewer_state_t& state, int x, int y);

// What a button event does to the state; true when it also moved the drag
// target (a plain left press outside rotation mode), which needs a redraw.
bool apply_button(viewer_state_t& state, int button, int button_state, bool shift_held, int x,
                  int y);
