// Streams a FON file's NE container: DOS header, NE header, resource table, name tables and the
// resources, each on a 16-byte boundary. Owns only the bytes before the first resource.
#include "fon/ne_module.h"

#include <algorithm>
#include <string_view>

#include "font/status.h"

namespace {

constexpr std::uint64_t Max16 = 0xFFFF;

// A length byte cannot describe more than 255 characters, so longer texts are cut rather than
// given a length that disagrees with the characters after it.
std::string_view nameTableText(const char* text) {
    std::string_view view = text ? std::string_view(text) : std::string_view();
    return view.substr(0, std::min(view.size(), NeMaxNameLength));
}

std::uint64_t unitsOf(std::uint64_t size, std::uint32_t shift) { return (size + (1u << shift) - 1) >> shift; }
std::uint64_t roundedToUnit(std::uint64_t size, std::uint32_t shift) { return unitsOf(size, shift) << shift; }

void putLengthPrefixed(ByteWriter& out, std::string_view text) {
    out.u8(static_cast<std::uint32_t>(text.size()));
    out.bytes(text);
}

}  // namespace

void putDosHeader(ByteWriter& out, const NeLayout& layout) {
    out.bytes("MZ");                        // 0
    out.u16(layout.dosImageSize % 512);     // 2: bytes on the last page
    out.u16(layout.dosImageSize / 512);     // 4: pages; a partial last page is not counted
    out.u16(0);                             // 6: relocations
    out.u16(0x0020);                        // 8: header paragraphs
    out.u16(0);                             // 10: minimum extra paragraphs
    out.u16(0xFFFF);                        // 12: maximum extra paragraphs
    out.u16(0x0004);                        // 14: SS
    out.u16(0x0100);                        // 16: SP
    out.u16(0);                             // 18: checksum
    out.u16(0);                             // 20: IP
    out.u16(0);                             // 22: CS
    out.u16(0x0040);                        // 24: relocation table
    out.u16(0);                             // 26: overlay
    out.zeros(32);                          // 28
    out.u32(NeHeaderOffset);                // 60: NE header
}

void putNeHeader(ByteWriter& out, const NeLayout& layout) {
    const std::uint32_t residentNames = NeHeaderOffset + layout.resourceTableSize;
    const std::uint32_t entryTable = residentNames + layout.moduleNameLength + 4;
    const std::uint32_t nonResidentNames = 0x86 + layout.resourceTableSize + layout.moduleNameLength;
    out.bytes("NE");                        // 0
    out.u8(5);                              // 2: linker version
    out.u8(1);                              // 3: linker revision
    out.u16(entryTable);                    // 4
    out.u16(2);                             // 6: entry table size
    out.u32(0);                             // 8: checksum
    out.u16(0x8000);                        // 12: library module
    out.u16(0);                             // 14: automatic data segment
    out.u16(0);                             // 16: heap
    out.u16(0);                             // 18: stack
    out.u32(0);                             // 20: CS:IP
    out.u32(0);                             // 24: SS:SP
    out.u16(0);                             // 28: segments
    out.u16(0);                             // 30: module references
    out.u16(layout.descriptionLength + 4);  // 32: non-resident name table size
    out.u16(0x0040);                        // 34: segment table
    out.u16(0x0040);                        // 36: resource table
    out.u16(residentNames);                 // 38
    out.u16(entryTable);                    // 40: module references share the entry table's place
    out.u16(entryTable);                    // 42: imported names likewise
    out.u32(nonResidentNames);              // 44: from the start of the file
    out.u16(0);                             // 48: movable entry points
    out.u16(layout.alignmentShift);         // 50
    out.u16(layout.resourceCount);          // 52
    out.u8(2);                              // 54: Windows
    out.u8(0);                              // 55
    out.zeros(6);                           // 56
    out.u16(0x0300);                        // 62: Windows 3.0
}

void putResourceTypeBlock(ByteWriter& out, std::uint32_t typeId, std::uint32_t count) {
    out.u16(typeId);  // 0
    out.u16(count);   // 2: name blocks that follow
    out.u32(0);       // 4: reserved
}

void putResourceNameBlock(ByteWriter& out, std::uint32_t dataUnit, std::uint32_t lengthUnits, std::uint32_t flags,
                          std::uint32_t nameId) {
    out.u16(dataUnit);     // 0: offset in alignment units
    out.u16(lengthUnits);  // 2: length in alignment units
    out.u16(flags);        // 4
    out.u16(nameId);       // 6
    out.u16(0);            // 8: handle
    out.u16(0);            // 10: usage
}

namespace {

// The first unit of the resource data at `shift`, or 0 when an offset or a length of some
// resource would not fit its 16-bit field.
std::uint64_t firstUnitIfDescribable(std::span<const ResourceEntry> resources, std::uint64_t headSize,
                                     std::uint32_t shift) {
    const std::uint64_t first = unitsOf(headSize, shift);
    std::uint64_t unit = first;
    for (const ResourceEntry& entry : resources) {
        // A wrapped 16-bit offset or length would point Windows at the wrong bytes.
        if (unit > Max16 || unitsOf(entry.size, shift) > Max16) return 0;
        unit += unitsOf(entry.size, shift);
    }
    return first;
}

// Entries that open a type block of their own; 0 when one joins a block of another type.
std::uint64_t typeBlocksOf(std::span<const ResourceEntry> resources) {
    std::uint64_t blocks = 0;
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const ResourceEntry& entry = resources[i];
        if (!entry.joinsPreviousType) {
            ++blocks;
            continue;
        }
        const ResourceEntry* previous = i > 0 ? &resources[i - 1] : nullptr;
        if (!previous || previous->type.isText() != entry.type.isText()) return 0;
        if (entry.type.isText() ? std::string_view(previous->type.text) != std::string_view(entry.type.text)
                                : previous->type.id != entry.type.id)
            return 0;
    }
    return blocks;
}

}  // namespace

bool buildNeHead(ByteWriter& out, std::span<const ResourceEntry> resources, const char* moduleName,
                 const char* description, NeLayout* layout) {
    const std::size_t start = out.size();
    const std::string_view name = nameTableText(moduleName);
    const std::string_view text = nameTableText(description);
    if (resources.size() > Max16) return false;
    const std::uint64_t n = resources.size();
    const std::uint64_t blocks = typeBlocksOf(resources);
    if (blocks == 0 && n != 0) return false;

    std::uint64_t stringBytes = 0;
    for (const ResourceEntry& entry : resources) {
        // A block's type text is stored once, with its first entry.
        if (entry.type.isText() && !entry.joinsPreviousType) stringBytes += nameTableText(entry.type.text).size() + 1;
        if (entry.name.isText()) stringBytes += nameTableText(entry.name.text).size() + 1;
    }
    const std::uint64_t stringBase = 4 + ResourceTypeBlockSize * blocks + ResourceNameBlockSize * n;
    const std::uint64_t tableSize = stringBase + stringBytes;
    const std::uint64_t nonResident = 0x86 + tableSize + name.size();
    // The header's table offsets are 16-bit; a table that pushes them past that cannot be found.
    if (nonResident > Max16) return false;

    // The smallest unit that describes every resource; a module that fits 16-byte units keeps them.
    const std::uint64_t headSize = nonResident + text.size() + 4;
    std::uint32_t shift = NeAlignmentShift;
    std::uint64_t firstUnit = 0;
    for (; shift <= NeMaxAlignmentShift; ++shift)
        if ((firstUnit = firstUnitIfDescribable(resources, headSize, shift)) != 0) break;
    if (firstUnit == 0) return false;

    NeLayout l;
    l.resourceCount = static_cast<std::uint32_t>(n);
    l.typeBlockCount = static_cast<std::uint32_t>(blocks);
    l.resourceTableSize = static_cast<std::uint32_t>(tableSize);
    l.alignmentShift = shift;
    l.moduleNameLength = static_cast<std::uint32_t>(name.size());
    l.descriptionLength = static_cast<std::uint32_t>(text.size());
    l.firstResourceUnit = static_cast<std::uint32_t>(firstUnit);
    // Only the first two resources count here, as in the modules Windows itself accepts.
    std::uint64_t image = firstUnit << shift;
    for (std::size_t i = 0; i < resources.size() && i < 2; ++i) image += roundedToUnit(resources[i].size, shift);
    l.dosImageSize = static_cast<std::uint32_t>(image);
    if (layout) *layout = l;

    putDosHeader(out, l);
    putNeHeader(out, l);

    // Resource table.
    out.u16(shift);
    ByteVector strings;
    ByteWriter stringOut(strings);
    auto idOf = [&](const ResourceId& id) -> std::uint32_t {
        if (!id.isText()) return id.id | 0x8000u;
        const std::uint64_t at = stringBase + stringOut.size();
        putLengthPrefixed(stringOut, nameTableText(id.text));
        return static_cast<std::uint32_t>(at);
    };
    std::uint64_t unit = firstUnit;
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const ResourceEntry& entry = resources[i];
        if (!entry.joinsPreviousType) {
            std::uint32_t count = 1;
            while (i + count < resources.size() && resources[i + count].joinsPreviousType) ++count;
            putResourceTypeBlock(out, idOf(entry.type), count);
        }
        const std::uint32_t nameId = idOf(entry.name);
        const std::uint64_t length = unitsOf(entry.size, shift);
        putResourceNameBlock(out, static_cast<std::uint32_t>(unit), static_cast<std::uint32_t>(length), entry.flags,
                             nameId);
        unit += length;
    }
    out.u16(0);
    out.bytes(strings.data(), strings.size());

    // Resident names, then the empty entry table.
    putLengthPrefixed(out, name);
    out.u16(0);  // ordinal
    out.u8(0);   // end of table
    out.u16(0);  // entry table

    // Non-resident names.
    putLengthPrefixed(out, text);
    out.u16(0);
    out.u8(0);
    out.zeros(static_cast<std::size_t>((firstUnit << shift) - (out.size() - start)));
    return true;
}

int writeNeModule(FontStream* stream, std::span<const ResourceEntry> resources, const char* moduleName,
                  const char* description) {
    ByteVector head;
    NeLayout layout;
    int built = runGuarded([&] {
        ByteWriter out(head);
        return buildNeHead(out, resources, moduleName, description, &layout) ? StatusOk : StatusFail;
    });
    if (built != StatusOk) return built;
    if (writeBytes(stream, head.data(), static_cast<std::int32_t>(head.size())) < 0) return -1;

    static constexpr std::uint8_t padding[1u << NeMaxAlignmentShift] = {};
    const std::uint32_t unit = 1u << layout.alignmentShift;
    for (const ResourceEntry& entry : resources) {
        const std::uint8_t* data = entry.data;
        ByteVector made;
        if (!data && entry.make) {
            if (runGuarded([&] { return entry.make(made) ? StatusOk : StatusFail; }) != StatusOk ||
                made.size() != entry.size)
                return StatusFail;
            data = made.data();
        }
        // buildNeHead bounded every size by 65535 units of at most 2^15 bytes; a resource over
        // what writeBytes counts in one call goes in pieces.
        for (std::uint32_t done = 0; done < entry.size;) {
            const std::uint32_t piece = std::min<std::uint32_t>(entry.size - done, 0x40000000u);
            if (writeBytes(stream, data + done, static_cast<std::int32_t>(piece)) < 0) return -1;
            done += piece;
        }
        const std::int32_t pad = static_cast<std::int32_t>((unit - entry.size % unit) % unit);
        if (pad != 0 && writeBytes(stream, padding, pad) < 0) return -1;
    }
    return StatusOk;
}
