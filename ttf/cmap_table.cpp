#include "ttf/cmap_table.h"
