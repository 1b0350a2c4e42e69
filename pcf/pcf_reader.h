// PCF reader (corvane).
#pragma once

#include "font/model.h"
#include "stream/font_stream.h"

// Reads a whole PCF file, forwards only, into `font` in the given bitmap layout.
// StatusOk or StatusFail; on failure everything the read allocated has been released.
[[nodiscard]] int readPcfFont(Font* font, FontStream* stream, int bitOrder, int byteOrder, int glyphPad,
                              int scanUnit);
