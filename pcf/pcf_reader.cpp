#include "pcf/pcf_reader.h"

int readPcfFont(Font*, FontStream*, int, int, int, int) { return StatusFail; }
