// Single-letter commands from the keyboard and the right-button menu.
#pragma once

// GLUT keyboard callback; the pointer position is ignored.
void on_keyboard(unsigned char key, int x, int y);

// GLUT menu callback: hands the entry's value to on_keyboard.
void on_menu(int value);

// Builds the right-button pop-up menu of the current window.
void build_menu();
