// PCF reader (corvane): the whole read in its fixed table order, and the table steps that only
// the whole read uses (accelerators, bitmaps, encodings).
#pragma once

#include <cstdint>

#include "font/model.h"
#include "pcf/pcf_tables.h"
#include "stream/font_stream.h"

// Reads a whole PCF file, forwards only, into `font` in the given bitmap layout.
// StatusOk or StatusFail; on failure everything the read allocated has been released and `reason`
// (when not null) names the table and what was wrong in it.
[[nodiscard]] int readPcfFont(Font* font, FontStream* stream, int bitOrder, int byteOrder, int glyphPad,
                              int scanUnit, ReadReason* reason);

// Table 2 or 256: flags, font ascent and descent, overlap, bounds and ink bounds into `info`.
[[nodiscard]] bool readAccelerators(PcfInput& input, const PcfDirectory& directory, std::uint32_t type,
                                    FontInfo& info);
