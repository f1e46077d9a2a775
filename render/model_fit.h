// Where the model sits in the view: the box of the corners the passes draw,
// the fit that "-fit" applies to them, and whether the default view shows
// the model at all.
#pragma once

#include "mesh/mesh_store.h"

#include <cstdint>

// The half-diagonal of the bundled model's box in its own units: the size a
// fitted model is brought to, so that it looks as the bundled one does.
inline constexpr float bundled_half_diagonal = 75.77f;

// The passes draw a face only when every corner's vertex and normal index
// lies inside v_data, since the reader does not guarantee them.
inline bool face_is_drawn(const mesh_store_t& mesh, const f_data& face) {
    for (int k = 0; k < 3; ++k) {
        if (mesh.v_data == nullptr || face.vert[k] < 0 || face.vert[k] >= mesh.num_vertex ||
            face.nvert[k] < 0 || face.nvert[k] >= mesh.num_vertex)
            return false;
    }
    return true;
}

// Box of stored positions (z negated relative to the file). Empty when no
// drawn corner has three finite coordinates.
struct model_box {
    float low[3] = {0, 0, 0};
    float high[3] = {0, 0, 0};
    int32_t corner_count = 0; // drawn corners with finite coordinates
};

// Over the corners of the faces the passes draw; a corner with an infinite
// or NaN coordinate is left out, so that one bad vertex cannot spoil the box.
model_box measure_model_box(const mesh_store_t& mesh);

// The drawn position of a stored one is (position - centre) x scale.
struct model_fit {
    float centre[3] = {0, 0, 0};
    float scale = 1.0f;
};

// Centres the box and scales it evenly to bundled_half_diagonal; an empty
// box, or one of no size, keeps the position as stored (factor 1).
model_fit fit_model(const model_box& box);

enum class view_problem {
    none,         // the view shows the model well, or there is no model
    outside,      // nothing, or next to nothing, of the model is in the view
    too_small,    // all of it is in view but covers under 1% of the window
    crosses_near, // part of it is nearer the eye than the near plane
};

// How the first frame shows a box drawn at 0.03 of its size, unturned, in
// a window of this size, from the eye at z = 5 with the 60 degree view.
view_problem judge_default_view(const model_box& box, int window_width, int window_height);
