// The TrueType writer's entry point: the fonts of one run (one per input, in input order) as one
// TrueType font with outlines traced from the first and a bitmap strike per font.
#pragma once

#include <span>
#include <string_view>

#include "font/alloc.h"
#include "font/model.h"
#include "stream/font_stream.h"
#include "ttf/ttf_plan.h"

// Plans and builds the whole file in `file`; the result is Written when it holds the font, and
// `file` is left empty otherwise. No result is WriteFailed.
[[nodiscard]] TtfResult buildTrueType(std::span<const Font* const> fonts, std::string_view faceName,
                                      TtfReport& report, ByteVector& file);

// buildTrueType, then the file through `output`. Nothing is written unless the result is Written
// or WriteFailed.
[[nodiscard]] TtfResult writeTrueType(FontStream* output, std::span<const Font* const> fonts,
                                      std::string_view faceName, TtfReport& report);
