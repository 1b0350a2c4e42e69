#include "ttf/name_table.h"
