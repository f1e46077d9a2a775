// The sphere-mapped environment texture, built once from "map2.tga".
#pragma once

#include "image/tga.h"

// Loads "map2.tga" from the current directory into a mipmapped texture whose
// name goes to viewer_state.texture_id, with sphere-map coordinate generation
// configured (not enabled). Any size and any decodable layout is uploaded as
// it is, top row first, in true colours. A map that cannot be loaded prints
// its console line and returns false, with `failure` saying why in one line;
// the caller reports it and ends the process.
bool init_env_texture(tga_load_failure& failure);
