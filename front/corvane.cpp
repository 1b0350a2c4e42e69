// corvane: PCF input.
#include "front/run.h"
#include "pcf/pcf_reader.h"

const Program thisProgram = {{"corvane", "pcf"}, readPcfFont};
