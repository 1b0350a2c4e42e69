// FON writer: font directory, FNT font resource and "SNF" information resource in an NE module.
#pragma once

#include "font/model.h"
#include "stream/font_stream.h"

// Writes `font` as a FON file to `stream`, whose fontName holds the base name. StatusOk,
// StatusBadFormat (codes in more than one row), StatusFail (too large, no memory), or -1 when a
// write failed.
[[nodiscard]] int writeFon(Font* font, FontStream* stream, int glyphPad);
