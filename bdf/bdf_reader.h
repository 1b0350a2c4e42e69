// BDF 2.1 reader (varnel).
#pragma once

#include "font/model.h"
#include "stream/font_stream.h"

// Loads a whole BDF file from `stream` into `font` in the given bitmap layout.
// StatusOk or StatusFail; on failure the font's contents have been released and `reason` (when
// not null) says at which line and why.
[[nodiscard]] int readBdfFont(Font* font, FontStream* stream, int bitOrder, int byteOrder, int glyphPad,
                              int scanUnit, ReadReason* reason);
