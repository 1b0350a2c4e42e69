// The TrueType writer's entry point: the fonts of one run (one per input, in input order) as one
// TrueType font with outlines traced from the first and a bitmap strike per font.
#pragma once

#include <span>
#include <string_view>

#include "font/model.h"
#include "stream/font_stream.h"
#include "ttf/ttf_plan.h"

// Plans, builds every table in memory and only then writes the file through `output`. Nothing is
// written unless the result is Written or WriteFailed.
[[nodiscard]] TtfResult writeTrueType(FontStream* output, std::span<const Font* const> fonts,
                                      std::string_view faceName, TtfReport& report);
