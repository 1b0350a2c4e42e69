#include "ttf/os2_table.h"
