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

// The bytes of fonts one file may hold: every FNT and "SNF" resource together. Real families take
// well under a megabyte; the bound keeps what a few tiny hostile files can make a run write (and
// --preview read back) far below the 64 faces of MaxFaceBytes each that the count alone allows.
constexpr std::int64_t MaxFamilyBytes = std::int64_t{64} << 20;

// One font's two resources, exactly as a file of that font alone holds them. The FNT resource's
// cells, nearly all of its bytes, are drawn from the font only as the file is written, one face
// at a time, so the font must outlive the writing.
struct FontResources {
    ByteVector fnt;   // the FNT resource up to its cells; its first 113 bytes also go into the font directory
    ByteVector info;  // the "SNF" resource
    const Font* font = nullptr;  // what the cells are drawn from
    std::uint32_t cellBytes = 0;  // the cells after `fnt`, the sentinel's included
    int glyphPad = 0;
};

// Plans the FNT and "SNF" resources of `font` with the face name `faceName`: builds everything but
// the cells, whose size it fixes. StatusOk, StatusBadFormat (codes in more than one row),
// StatusFail (too large, no memory).
[[nodiscard]] int buildFontResources(const Font& font, std::string_view faceName, int glyphPad, FontResources* out);

// The bytes the two resources take in the file, cells included.
[[nodiscard]] std::int64_t fntSizeOf(const FontResources& font);
[[nodiscard]] std::int64_t resourceBytesOf(const FontResources& font);

// The version of the font resource built: 0x0200, or 0x0300 for a face past the 64 KiB of the
// older layout; 0 when none is built.
[[nodiscard]] std::uint16_t fntVersionOf(const FontResources& font);

// Windows chooses among the fonts of one face by pixel height, weight, italic flag and character
// set alone: two fonts that agree on all four cannot both be reached.
[[nodiscard]] bool sameWindowsSelection(const FontResources& a, const FontResources& b);

// Writes 1 to MaxFamilyFonts fonts as one FON file to `stream`, whose fontName holds the module's
// name: a font directory of them all (each entry with the face name its font resource holds), their
// FNT resources named 1..n and their "SNF" resources named 1..n, in order, each face's cells built
// just before they are written. StatusOk, StatusFail (no memory, past MaxFamilyBytes, or not
// describable), or -1 when a write failed.
[[nodiscard]] int writeFonFamily(FontStream* stream, std::span<const FontResources> fonts);

// Writes `font` as a FON file of its own to `stream`, whose fontName holds the base name. StatusOk,
// StatusBadFormat (codes in more than one row), StatusFail (too large, no memory), or -1 when a
// write failed.
[[nodiscard]] int writeFon(Font* font, FontStream* stream, int glyphPad);
