// The embedded bitmaps: one EBLC strike per TtfStrike, EBDT holding every glyph's exact bitmap and
// metrics. A glyph whose bitmap the 8-bit metrics cannot describe is left out of its strike (it is
// drawn from its outline there).
#pragma once

#include "font/alloc.h"
#include "ttf/ttf_plan.h"

// False when memory runs out.
[[nodiscard]] bool putBitmapTables(ByteVector& eblc, ByteVector& ebdt, const TtfPlan& plan);
