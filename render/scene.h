// The camera, the fixed scene state and the frame.
#pragma once

#include "image/tga.h"

// Builds the environment texture, then sets the fixed scene state. Needs the
// window's GL context. False, with the map's failure and nothing set up,
// when the map cannot be used.
bool init_scene(tga_load_failure& map_failure);

// The second half of init_scene: clear colour, shading, depth test, the front
// material and light 0. The model-view matrix must be the identity, since the
// light's position is given in eye coordinates.
void init_scene_state();

// Under "-fit", the turn from stored coordinates to the upright view with
// the spin's turn about the model's up axis. Innermost of the frame's
// transforms, so the drags, smear and spin act on the upright view.
void turn_upright();

// A frame's model transform in two steps, around the environment texture's
// set-up: the drags' turns and smear, then the model's units to the view's
// with the upright view under "-fit".
void turn_by_drags();
void scale_to_view();

// GLUT display callback: draws one frame and swaps the buffers.
void on_display();

// The model alone, under the first frame's camera and transform, without the
// panel or the buffer swap, into a width x height view of whatever context is
// current (set up by init_scene or init_scene_state); for a picture of the
// model made without a window.
void draw_model_view(int width, int height);

// GLUT reshape callback: records the size, sets viewport, projection, camera.
void on_reshape(int width, int height);

// The viewport and perspective projection for a window of this size; leaves
// the model-view matrix mode current. The text overlay restores the view
// with it after each line.
void set_frame_view(int width, int height);
