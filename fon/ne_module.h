// The NE container of a FON file: a resource-only 16-bit Windows module behind a DOS header.
// writeNeModule is the only code of the writer that touches the output stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fon/byte_writer.h"
#include "stream/font_stream.h"

// A resource type or name: an integer id, or a text when `text` is not null.
struct ResourceId {
    std::uint16_t id = 0;
    const char* text = nullptr;

    bool isText() const { return text != nullptr; }
};

// One resource to place. The caller keeps the data.
struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    std::uint16_t flags = 0;
};

constexpr std::uint32_t NeAlignmentShift = 4;  // resources start on 16-byte boundaries
constexpr std::uint32_t NeHeaderOffset = 0x40;
constexpr std::size_t DosHeaderSize = 64;
constexpr std::size_t NeHeaderSize = 64;
constexpr std::size_t ResourceRecordSize = 20;  // type block (8) and its single name block (12)
// Length bytes of the name tables hold at most this many characters.
constexpr std::size_t NeMaxNameLength = 255;

// The derived quantities of one module, from which both headers and the tables are laid out.
struct NeLayout {
    std::uint32_t resourceCount = 0;       // n
    std::uint32_t resourceTableSize = 0;   // R = 4 + 20n + S
    std::uint32_t moduleNameLength = 0;    // L, cut to 255
    std::uint32_t descriptionLength = 0;   // D, cut to 255
    std::uint32_t firstResourceUnit = 0;   // F
    std::uint32_t dosImageSize = 0;        // T: F x 16 plus the first two resources, rounded
};

// Lays out everything before the first resource's data: DOS header, NE header, resource table,
// name tables, entry table and the padding to F x 16. False (writing nothing useful) when a
// resource's offset or length in 16-byte units would not fit the table's 16-bit fields.
[[nodiscard]] bool buildNeHead(ByteWriter& out, std::span<const ResourceEntry> resources,
                               const char* moduleName, const char* description, NeLayout* layout);

void putDosHeader(ByteWriter& out, const NeLayout& layout);
void putNeHeader(ByteWriter& out, const NeLayout& layout);
void putResourceRecord(ByteWriter& out, std::uint32_t typeId, std::uint32_t dataUnit,
                       std::uint32_t lengthUnits, std::uint32_t flags, std::uint32_t nameId);

// Streams the whole module. StatusOk, -1 as soon as a write fails (the partial file is left for
// the caller to delete), or StatusFail before anything is written when the resources cannot be
// described in 16-bit units or memory runs out. Never closes the stream.
[[nodiscard]] int writeNeModule(FontStream* stream, std::span<const ResourceEntry> resources,
                                const char* moduleName, const char* description);
