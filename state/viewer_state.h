// The one record of settings and interaction state that start-up, drawing
// and input share. Handlers change fields here; the next frame reads them.
#pragma once

#include <cstdint>

struct memory_status;

struct viewer_state_t {
    int32_t window_width = 640;  // pixels; follows the window from the first reshape
    int32_t window_height = 480; // pixels

    int32_t draw_objects = 1;      // surface pass drawn ('o')
    int32_t use_vertex_colors = 1; // surface corners send their colour; never changed
    int32_t use_texture = 1;       // environment texture on the surface ('t')
    int32_t use_lighting = 0;      // light 0 on the surface ('l')
    int32_t draw_normals = 0;      // normals pass drawn ('c')
    int32_t show_hint = 0;         // hint line drawn ('h')
    int32_t smooth_shading = 0;    // drives 's'; the scene itself starts smooth
    int32_t wire_mode = 0;         // drives 'w'; the scene starts filled

    int32_t rotation_mode = 0; // drags rotate (1) or smear (0) ('r')
    int32_t smear_x = 0;       // drags set scale_x
    int32_t smear_y = 0;       // drags set scale_y
    int32_t spin_mode = 0;     // the idle handler spins the model ('f')
    int32_t last_x = 0;        // pointer at the last button event, window pixels
    int32_t last_y = 0;
    float pointer_nx = 1.0f;  // pointer x mapped to about -2.5..2.5
    float pointer_ny = 1.0f;  // pointer y mapped to about -2.5..2.5 (top to bottom)
    float scale_x = 1.0f;     // smear factor along X
    float scale_y = 1.0f;     // smear factor along Y
    float rot_y_angle = 0.0f; // degrees about Y, from the pointer's x
    float rot_x_angle = 0.0f; // degrees about X, from the pointer's y
    float spin_y_step = 0.0f; // degrees about Y per idle call, a whole number
    float spin_x_step = 0.0f; // degrees about X per idle call, a whole number

    int32_t model_given = 0;          // "-m" was on the command line
    int32_t all_meshes = 0;           // "-all": every mesh of the file, merged into one
    int32_t fit_view = 0;             // "-fit": the model centred and scaled to fill the view
    int32_t materials = 0;            // "-materials": faces drawn in the file's own materials
    float fit_centre[3] = {0, 0, 0};  // under "-fit": stored point drawn at the origin
    float fit_scale = 1.0f;           // under "-fit": factor applied after centring
    float upright_spin = 0.0f;        // under "-fit": degrees the spin turned about the model's up
    const char* model_path = nullptr; // the path after "-m"
    uint32_t texture_id = 0;          // GL name of the environment texture
    memory_status* mem_status = nullptr; // refilled by the statistics panel every frame
};

extern viewer_state_t viewer_state;
