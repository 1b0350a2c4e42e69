// varnel: BDF input.
#include "bdf/bdf_reader.h"
#include "front/run.h"

const Program thisProgram = {
    "usage: varnel [-p#] [-u#] [-m] [-l] [-M] [-L] [-t] [-i] -o fon_file bdf_file where # for -p is 1, 2, 4, or 8 "
    "and   # for -s is 1, 2, or 4",
    "can't open bdf source file %s",
    "bdf input, %s, corrupt",
    readBdfFont,
};
