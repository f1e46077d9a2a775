// The camera, the fixed scene state and the frame.
#pragma once

// Builds the environment texture, then sets the fixed scene state. Needs the
// window's GL context.
void init_scene();

// GLUT display callback: draws one frame and swaps the buffers.
void on_display();

// GLUT reshape callback: records the size, sets viewport, projection, camera.
void on_reshape(int width, int height);
