// The OS/2 table, version 4: weight, selection flags, metrics, PANOSE, Unicode and code page
// ranges of the characters present.
#pragma once

#include "fon/byte_writer.h"
#include "ttf/ttf_plan.h"

void putOs2Table(ByteWriter& out, const TtfPlan& plan);
