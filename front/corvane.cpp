// corvane: PCF input.
#include "front/run.h"
#include "pcf/pcf_reader.h"

const Program thisProgram = {
    "usage: corvane [-p#] [-u#] [-m] [-l] [-M] [-L] [-t] [-i] -o fon_file pcf_file where # for -p is 1, 2, 4, or "
    "8 and   # for -s is 1, 2, or 4",
    "can't open pcf source file %s",
    "pcf input, %s, corrupt",
    readPcfFont,
};
