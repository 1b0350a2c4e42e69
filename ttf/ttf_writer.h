// The TrueType writer's entry point: the fonts of one run (one per input, in input order) as one
// TrueType font with outlines traced from the first and a bitmap strike per font.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "font/alloc.h"
#include "font/model.h"
#include "stream/font_stream.h"
#include "ttf/sfnt.h"
#include "ttf/ttf_plan.h"

// A TrueType font made in memory: its tables and their layout as one file. The layout points at the
// tables, so the font stays where it was built.
struct TrueTypeFile {
    TrueTypeFile() = default;
    TrueTypeFile(const TrueTypeFile&) = delete;
    TrueTypeFile& operator=(const TrueTypeFile&) = delete;

    [[nodiscard]] std::uint64_t size() const { return layout.fileBytes; }

    std::array<ByteVector, 14> tables;
    SfntLayout layout;
};

// Plans and builds the whole font in `file`; the result is Written when it holds the font. No
// result is WriteFailed.
[[nodiscard]] TtfResult buildTrueType(std::span<const Font* const> fonts, std::string_view faceName,
                                      TtfReport& report, TrueTypeFile& file);

// The bytes of a built font through `output`, in file order; false when the stream fails.
[[nodiscard]] bool writeTrueTypeFile(FontStream* output, const TrueTypeFile& file);

// buildTrueType, then the file through `output`. Nothing is written unless the result is Written
// or WriteFailed.
[[nodiscard]] TtfResult writeTrueType(FontStream* output, std::span<const Font* const> fonts,
                                      std::string_view faceName, TtfReport& report);
