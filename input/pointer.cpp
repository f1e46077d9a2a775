#include "input/pointer.h"

void on_mouse(int, int, int, int) {}

void on_motion(int, int) {}

void on_idle() {}
