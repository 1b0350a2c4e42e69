#include "bdf/bdf_reader.h"

int readBdfFont(Font*, FontStream*, int, int, int, int) { return StatusFail; }
