#include "image/env_texture.h"

void init_env_texture() {}
