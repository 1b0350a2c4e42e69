// The "SNF" information resource: what the Windows font layout cannot hold (properties, exact
// per-character metrics, bounds, flags, ink metrics), with the string pool its properties use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fon/byte_writer.h"
#include "font/model.h"

constexpr std::size_t InfoHeaderSize = 72;
constexpr std::size_t InfoCharRecordSize = 16;
constexpr std::size_t InfoPropertySize = 10;
constexpr std::size_t InfoBoundsSize = 16;  // six metrics and 4 zero bytes
constexpr std::uint32_t InfoInkSectionBit = 1u << 3;
constexpr std::uint32_t InfoGlyphPresentBit = 1u << 24;
// The pool length is a 16-bit even number.
constexpr std::uint32_t InfoMaxPoolLength = 65534;

struct InfoHeader {
    std::uint16_t version = 4;
    std::uint16_t allCodesPresent = 0;
    std::uint16_t drawDirection = 0;
    std::uint16_t nonOverlapping = 0;
    std::uint16_t uniformMetrics = 0;
    std::uint16_t terminalCell = 0;
    std::uint32_t bitFlags = 0;
    std::uint16_t firstColumn = 0;
    std::uint16_t lastColumn = 0;
    std::uint16_t firstRow = 0;
    std::uint16_t lastRow = 0;
    std::uint16_t propertyCount = 0;
    std::uint16_t poolLength = 0;
    std::uint16_t defaultChar = 0;
    std::int16_t fontDescent = 0;
    std::int16_t fontAscent = 0;
    GlyphMetrics minBounds{};
    GlyphMetrics maxBounds{};
    std::uint16_t depth = 1;
    std::uint16_t glyphSets = 1;
    std::uint16_t versionCheck = 4;
};

// One record per atom 0..A: whether a property uses it, and where its text lies in the pool.
struct AtomUse {
    const char* text = nullptr;
    std::uint32_t offset = 0;
    std::uint32_t used = 0;
};

// What sizing decides before the resource is built.
struct InfoResourcePlan {
    ModelVector<AtomUse> atomUse;
    InfoHeader header{};           // pool length and ink bit set; the rest filled when building
    std::uint32_t positionCount = 0;  // n
    std::uint32_t size = 0;
};

// Counts the atoms, marks the ones the properties use, sizes the pool and the resource. False when
// the pool, the property count or a property's atom cannot be described.
[[nodiscard]] bool planInfoResource(const Font& font, InfoResourcePlan& plan);

// Appends the whole resource (plan.size bytes) to `out`, laying out the pool offsets in the plan.
void buildInfoResource(const Font& font, const BitmapFont* bitmapFont, InfoResourcePlan& plan,
                       ByteWriter& out);

// Fixed layouts, fields in file order.
void putInfoHeader(ByteWriter& out, const InfoHeader& header);
void putGlyphMetrics(ByteWriter& out, const GlyphMetrics& metrics);  // 12 bytes
void putInfoBounds(ByteWriter& out, const GlyphMetrics& bounds);     // 16 bytes
// `metrics` null: a position without a glyph.
void putInfoCharRecord(ByteWriter& out, const GlyphMetrics* metrics);
void putInfoProperty(ByteWriter& out, std::uint32_t nameOffset, std::uint32_t value, std::uint8_t isString);
