// The sphere-mapped environment texture, built once from "map2.tga".
#pragma once

// Loads "map2.tga" from the current directory into a mipmapped texture whose
// name goes to viewer_state.texture_id, with sphere-map coordinate generation
// configured (not enabled). Any size and any decodable layout is uploaded as
// it is, top row first, in true colours. A map that cannot be loaded ends the
// process with status 1, after load_tga's console line and a line on
// standard error naming the folder searched and any installed copy.
void init_env_texture();
