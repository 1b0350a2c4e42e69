#include "ttf/ttf_plan.h"
