#include "mesh/materials.h"

material_table_t material_table;
