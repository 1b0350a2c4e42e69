#include "fon/fon_writer.h"

int writeFon(Font*, FontStream*, int) { return StatusFail; }
