// FON writer: font directory, FNT font resources and "SNF" information resources in an NE module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "font/alloc.h"
#include "font/model.h"
#include "stream/font_stream.h"

// Fonts one file may hold. Windows' own font files hold a handful; the bound keeps a run's memory
// within that of this many single conversions.
constexpr std::size_t MaxFamilyFonts = 64;

// One font's two resources, exactly as a file of that font alone holds them.
struct FontResources {
    ByteVector fnt;   // the FNT resource; its first 113 bytes also go into the font directory
    ByteVector info;  // the "SNF" resource
};

// Builds the FNT and "SNF" resources of `font` with the face name `faceName`. StatusOk,
// StatusBadFormat (codes in more than one row), StatusFail (too large, no memory).
[[nodiscard]] int buildFontResources(const Font& font, std::string_view faceName, int glyphPad, FontResources* out);

// The version of the font resource built: 0x0200, or 0x0300 for a face past the 64 KiB of the
// older layout; 0 when none is built.
[[nodiscard]] std::uint16_t fntVersionOf(const FontResources& font);

// Windows chooses among the fonts of one face by pixel height, weight, italic flag and character
// set alone: two fonts that agree on all four cannot both be reached.
[[nodiscard]] bool sameWindowsSelection(const FontResources& a, const FontResources& b);

// Writes 1 to MaxFamilyFonts fonts as one FON file to `stream`, whose fontName holds the module's
// name: a font directory of them all (each entry with the face name its font resource holds), their
// FNT resources named 1..n and their "SNF" resources named 1..n, in order. StatusOk, StatusFail
// (no memory, or not describable), or -1 when a write failed.
[[nodiscard]] int writeFonFamily(FontStream* stream, std::span<const FontResources> fonts);

// Writes `font` as a FON file of its own to `stream`, whose fontName holds the base name. StatusOk,
// StatusBadFormat (codes in more than one row), StatusFail (too large, no memory), or -1 when a
// write failed.
[[nodiscard]] int writeFon(Font* font, FontStream* stream, int glyphPad);
