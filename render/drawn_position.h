// Where the passes draw a stored position: as stored, or under "-fit" moved
// and scaled into view.
#pragma once

#include "state/viewer_state.h"

// The choice is made once per pass, so the default view pays nothing for it.
template <bool fitted>
const float* drawn_position(const float* stored, float (&fitted_position)[3]) {
    if constexpr (!fitted) {
        return stored;
    } else {
        for (int axis = 0; axis < 3; ++axis)
            fitted_position[axis] = static_cast<float>(
                (static_cast<double>(stored[axis]) - viewer_state.fit_centre[axis]) *
                viewer_state.fit_scale);
        return fitted_position;
    }
}
