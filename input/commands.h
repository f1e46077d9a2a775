// Single-letter commands from the keyboard and the right-button menu.
//
// Keys (lower case only; every other key is ignored):
//   x   smear along X on / off, along Y off
//   y   smear along Y on / off, along X off
//   b   smear along both axes
//   r   drags rotate the model / drags smear it
//   f   idle spin on / off
//   s   shading: smooth, then flat, alternating (the first press keeps smooth)
//   w   wireframe on / off; polygon smoothing stays on once it is switched off
//   c   vertex normals on / off
//   o   surface on / off
//   t   environment texture on / off; under "-materials" the materials'
//       textures, their diffuse colours showing instead
//   l   lighting on / off; under "-materials" a white light on the
//       materials' own colours
//   h   hint line on / off
//   q   release the mesh and quit (exit status 1)
// 'c', 'h', 'l', 'o' and 't' show at the next frame drawn for another reason;
// the other commands redraw at once.
//
// Right-button menu, top to bottom: smear Y, smear X, smear both, wire mode,
// shading, normals, objects, spin, rotation mode, a separator, texture,
// lighting and a closing entry. Each entry acts exactly as its key; the
// separator and the closing entry do nothing. 'h' and 'q' are keyboard only.
#pragma once

#include "state/viewer_state.h"

// GLUT keyboard callback; the pointer position is ignored.
void on_keyboard(unsigned char key, int x, int y);

// GLUT menu callback: hands the entry's value to on_keyboard.
void on_menu(int value);

// Builds the right-button pop-up menu of the current window.
void build_menu();

// Moves the smear pair for 'x', 'y' or 'b'; other keys leave it alone.
void apply_smear_command(viewer_state_t& state, unsigned char key);
