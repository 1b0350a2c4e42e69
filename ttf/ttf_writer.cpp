#include "ttf/ttf_writer.h"
