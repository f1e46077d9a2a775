// Pointer drags and the idle spin.
#pragma once

// GLUT mouse callback: button, state (press or release), window position.
void on_mouse(int button, int state, int x, int y);

// GLUT motion callback: pointer position while a button is held.
void on_motion(int x, int y);

// GLUT idle callback: turns the model while the spin is on.
void on_idle();
