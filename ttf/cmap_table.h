// The cmap table: format 4 for the Basic Multilingual Plane, and format 12 beside it when a
// character lies beyond; platform 3 encoding 1 (and 10 for format 12), or encoding 0 for a
// symbol font.
#pragma once

#include "fon/byte_writer.h"
#include "ttf/ttf_plan.h"

void putCmapTable(ByteWriter& out, const TtfPlan& plan);
