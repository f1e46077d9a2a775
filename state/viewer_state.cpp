#include "state/viewer_state.h"

viewer_state_t viewer_state;
