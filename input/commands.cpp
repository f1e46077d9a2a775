#include "input/commands.h"

#include "mesh/mesh_store.h"

#include <GL/glut.h>
#include <cstdlib>

void on_keyboard(unsigned char key, int, int) {
    if (key == 'q') {
        free_mesh();
        std::exit(1);
    }
}

void on_menu(int value) { on_keyboard(static_cast<unsigned char>(value), 0, 0); }

void build_menu() {}
