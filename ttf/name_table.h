// The name table: Windows platform, Unicode BMP encoding, English (United States), UTF-16BE.
#pragma once

#include "fon/byte_writer.h"
#include "ttf/ttf_plan.h"

void putNameTable(ByteWriter& out, const TtfPlan& plan);
