// varnel: BDF input.
#include "bdf/bdf_reader.h"
#include "front/run.h"

const Program thisProgram = {{"varnel", "bdf"}, readBdfFont};
