// The embedded bitmaps: one EBLC strike per TtfStrike, EBDT holding every glyph's exact bitmap and
// metrics. A glyph whose bitmap the 8-bit metrics cannot describe is left out of its strike (it is
// drawn from its outline there).
#pragma once

#include "font/alloc.h"
#include "ttf/ttf_plan.h"

// Both tables stay empty when no strike holds a glyph (no strike of 255 ppem or fewer, say): the font
// has none. False, both empty, when memory runs out or EBDT would pass 4 GiB.
[[nodiscard]] bool putBitmapTables(ByteVector& eblc, ByteVector& ebdt, const TtfPlan& plan);
