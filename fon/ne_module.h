// The NE container of a FON file: a resource-only 16-bit Windows module behind a DOS header.
// writeNeModule is the only code of the writer that touches the output stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "fon/byte_writer.h"
#include "stream/font_stream.h"

// A resource type or name: an integer id, or a text when `text` is not null.
struct ResourceId {
    std::uint16_t id = 0;
    const char* text = nullptr;

    bool isText() const { return text != nullptr; }
};

// One resource to place. The caller keeps the data. Each entry opens its own type block unless
// `joinsPreviousType` is set: then it is one more name in the block of the entry before it, whose
// type it must share (a loader finds every font of a file in one block of its type). A resource
// without `data` is made only when its turn to be written comes: `make` fills the buffer with its
// `size` bytes (false when it cannot), which is freed once written, so that a module of large
// resources holds one of them in memory at a time.
struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    std::uint16_t flags = 0;
    bool joinsPreviousType = false;
    std::function<bool(ByteVector& bytes)> make = {};
};

// Resources start on 16-byte boundaries, and the table counts offsets and lengths in those units,
// unless the module is too large for 16-bit fields of them: then the unit doubles until they fit.
constexpr std::uint32_t NeAlignmentShift = 4;
constexpr std::uint32_t NeMaxAlignmentShift = 15;
constexpr std::uint32_t NeHeaderOffset = 0x40;
constexpr std::size_t DosHeaderSize = 64;
constexpr std::size_t NeHeaderSize = 64;
constexpr std::size_t ResourceTypeBlockSize = 8;   // type id, count, reserved
constexpr std::size_t ResourceNameBlockSize = 12;  // one resource of the type
// Length bytes of the name tables hold at most this many characters.
constexpr std::size_t NeMaxNameLength = 255;

// The derived quantities of one module, from which both headers and the tables are laid out.
struct NeLayout {
    std::uint32_t resourceCount = 0;       // n
    std::uint32_t typeBlockCount = 0;      // b, n when no entry joins another's block
    std::uint32_t resourceTableSize = 0;   // R = 4 + 8b + 12n + S
    std::uint32_t alignmentShift = NeAlignmentShift;
    std::uint32_t moduleNameLength = 0;    // L, cut to 255
    std::uint32_t descriptionLength = 0;   // D, cut to 255
    std::uint32_t firstResourceUnit = 0;   // F
    std::uint32_t dosImageSize = 0;        // T: F units plus the first two resources, rounded
};

// Lays out everything before the first resource's data: DOS header, NE header, resource table,
// name tables, entry table and the padding to F units. False (writing nothing useful) when no
// alignment shift up to NeMaxAlignmentShift fits every resource's offset and length in the
// table's 16-bit fields, or when an entry joins a block of another type.
[[nodiscard]] bool buildNeHead(ByteWriter& out, std::span<const ResourceEntry> resources,
                               const char* moduleName, const char* description, NeLayout* layout);

void putDosHeader(ByteWriter& out, const NeLayout& layout);
void putNeHeader(ByteWriter& out, const NeLayout& layout);
// A type block's head and one of the name blocks that follow it.
void putResourceTypeBlock(ByteWriter& out, std::uint32_t typeId, std::uint32_t count);
void putResourceNameBlock(ByteWriter& out, std::uint32_t dataUnit, std::uint32_t lengthUnits, std::uint32_t flags,
                          std::uint32_t nameId);

// Streams the whole module. StatusOk, -1 as soon as a write fails (the partial file is left for
// the caller to delete), or StatusFail when buildNeHead refuses the list or memory runs out, before
// anything is written, or when a resource cannot be made (the partial file again the caller's to
// delete). Never closes the stream.
[[nodiscard]] int writeNeModule(FontStream* stream, std::span<const ResourceEntry> resources,
                                const char* moduleName, const char* description);
