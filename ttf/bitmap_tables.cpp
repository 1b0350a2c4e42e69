#include "ttf/bitmap_tables.h"
