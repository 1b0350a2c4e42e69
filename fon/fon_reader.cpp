// The FON reader: the NE resource table, the font directory, the raster font resources and the
// character set named by each font's "SNF" resource.
#include "fon/fon_reader.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "fon/byte_reader.h"
#include "fon/fnt_resource.h"
#include "fon/fon_writer.h"
#include "fon/info_resource.h"
#include "fon/ne_module.h"
#include "stream/font_stream.h"

namespace {

constexpr std::uint32_t IntegerId = 0x8000;
// Offsets and lengths of the resource table count units of 2^shift bytes; a shift past this would
// place every resource beyond any file.
constexpr std::uint32_t MaxAlignmentShift = 31;

// One resource of the table that the faces need.
struct Resource {
    enum Kind { Directory, Font, Info } kind;
    std::uint32_t nameId;  // the number of an integer name
    std::span<const std::uint8_t> data;
    bool taken = false;    // a font resource already made a face
};

std::string_view textOf(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A type named by text: its id is the offset, from the table's start, of a length-prefixed name.
bool isTextType(const ByteReader& file, std::uint64_t table, std::uint32_t type, std::string_view name) {
    std::uint32_t length = 0;
    if ((type & IntegerId) || !file.u8(table + type, &length) || length != name.size()) return false;
    const std::span<const std::uint8_t> text = file.bytes(table + type + 1, length);
    return text.size() == length && textOf(text) == name;
}

// The resource table: every resource of the three kinds, its data cut to the file's end.
[[nodiscard]] bool readResourceTable(const ByteReader& file, ModelVector<Resource>& resources) {
    std::uint32_t ne = 0, magic = 0, tableOffset = 0, shift = 0;
    if (!file.u16(0, &magic) || magic != 0x5A4D) return false;  // "MZ"
    if (!file.u32(60, &ne) || !file.u16(ne, &magic) || magic != 0x454E) return false;  // "NE"
    if (!file.u16(std::uint64_t{ne} + 36, &tableOffset)) return false;
    const std::uint64_t table = std::uint64_t{ne} + tableOffset;
    if (!file.u16(table, &shift) || shift > MaxAlignmentShift) return false;

    // Each type block takes at least 8 bytes of the file, so the walk ends within its size.
    for (std::uint64_t at = table + 2;;) {
        std::uint32_t type = 0, count = 0;
        if (!file.u16(at, &type)) return false;
        if (type == 0) return true;
        if (!file.u16(at + 2, &count)) return false;
        const std::uint64_t names = at + ResourceTypeBlockSize;
        const std::uint64_t next = names + std::uint64_t{count} * ResourceNameBlockSize;
        if (!file.has(names, next - names)) return false;
        Resource::Kind kind = Resource::Info;
        if (type == ResourceTypeFontDirectory) kind = Resource::Directory;
        else if (type == ResourceTypeFont) kind = Resource::Font;
        else if (!isTextType(file, table, type, "SNF")) {
            at = next;
            continue;
        }
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint64_t block = names + std::uint64_t{k} * ResourceNameBlockSize;
            std::uint32_t unit = 0, units = 0, nameId = 0;
            (void)file.u16(block, &unit);  // inside the checked block
            (void)file.u16(block + 2, &units);
            (void)file.u16(block + 6, &nameId);
            // A resource past the end is empty: a font cannot be read from it, an "SNF" resource names nothing.
            const std::uint64_t offset = std::min(std::uint64_t{unit} << shift, file.size());
            const std::uint64_t length = std::min(std::uint64_t{units} << shift, file.size() - offset);
            // Fonts and their "SNF" resources go by number; the directory by any name.
            if ((nameId & IntegerId) || kind == Resource::Directory)
                resources.push_back({kind, nameId & ~IntegerId, file.bytes(offset, length)});
        }
        at = next;
    }
}

Resource* findResource(ModelVector<Resource>& resources, Resource::Kind kind, std::uint32_t nameId) {
    for (Resource& r : resources)
        if (r.kind == kind && (kind == Resource::Directory || r.nameId == nameId)) return &r;
    return nullptr;
}

// The header fields, the character table and the face name of one raster font resource.
[[nodiscard]] bool readFace(std::span<const std::uint8_t> data, FonFace& face) {
    const ByteReader fnt(data);
    std::uint32_t size = 0, type = 0;
    if (!fnt.u16(0, &face.version) || !fnt.u32(2, &size) || !fnt.u16(66, &type)) return false;
    if (face.version != FntVersion2 && face.version != FntVersion3) return false;
    const bool v3 = face.version == FntVersion3;
    const std::uint64_t headerSize = v3 ? Fnt3HeaderSize : FntHeaderSize;
    // dfType bit 0 marks a vector font, whose glyphs are strokes, not cells.
    if (size < headerSize || size > fnt.size() || (type & 1)) return false;
    face.resource = data.first(size);
    const ByteReader font(face.resource);

    std::uint32_t faceOffset = 0, flags = 0;
    struct Field {
        std::uint64_t at;
        std::uint32_t width;
        std::uint32_t* value;
    } const fields[] = {{68, 2, &face.points},     {70, 2, &face.vertRes},     {72, 2, &face.horizRes},
                        {74, 2, &face.ascent},     {80, 1, &face.italic},      {83, 2, &face.weight},
                        {85, 1, &face.charSet},    {86, 2, &face.pixWidth},    {88, 2, &face.pixHeight},
                        {91, 2, &face.avgWidth},   {93, 2, &face.maxWidth},    {95, 1, &face.firstChar},
                        {96, 1, &face.lastChar},   {97, 1, &face.defaultChar}, {98, 1, &face.breakChar},
                        {105, 4, &faceOffset}};
    for (const Field& f : fields)
        if (!font.field(f.at, f.width, f.value)) return false;
    // The 3.0 layout has other cell layouts (ABC spacing, colour) beside the fixed and proportional
    // ones; their character tables differ from the one read here.
    if (v3 && (!font.u32(118, &flags) || (flags & ~3u) != 0)) return false;

    std::span<const std::uint8_t> name;
    if (!font.text(faceOffset, size, &name)) return false;
    face.faceName.assign(textOf(name));

    const std::uint64_t entrySize = v3 ? Fnt3CharEntrySize : FntCharEntrySize;
    const std::uint32_t positions = face.lastChar >= face.firstChar ? face.lastChar - face.firstChar + 1 : 0;
    face.cells.reserve(positions);
    for (std::uint32_t i = 0; i < positions; ++i) {
        FonCell cell;
        const std::uint64_t entry = headerSize + i * entrySize;
        if (!font.u16(entry, &cell.width) || !font.field(entry + 2, v3 ? 4 : 2, &cell.offset)) return false;
        // 64 bits: ceil(W / 8) x H reaches 2^29 and the offset 2^32.
        const std::uint64_t bytes = (std::uint64_t{cell.width} + 7) / 8 * face.pixHeight;
        if (bytes != 0 && !font.has(cell.offset, bytes)) return false;
        face.cells.push_back(cell);
    }
    return true;
}

// CHARSET_REGISTRY and CHARSET_ENCODING of an "SNF" resource as "registry-encoding"; "" when the
// resource lacks either or does not hold together (it only names the character set).
ModelString encodingOf(std::span<const std::uint8_t> data) {
    const ByteReader info(data);
    std::uint32_t first = 0, last = 0, count = 0, poolLength = 0;
    if (!info.u16(16, &first) || !info.u16(18, &last) || !info.u16(24, &count) || !info.u16(26, &poolLength))
        return {};
    const std::uint64_t positions = last >= first ? last - first + 1 : 0;
    const std::uint64_t properties = InfoHeaderSize + InfoCharRecordSize * positions;
    const std::uint64_t pool = properties + InfoPropertySize * count;
    if (!info.has(pool, poolLength)) return {};
    auto poolText = [&](std::uint32_t offset) {
        std::span<const std::uint8_t> text;
        return offset < poolLength && info.text(pool + offset, pool + poolLength, &text) ? textOf(text)
                                                                                         : std::string_view();
    };
    // A name is compared over its own length, not searched to its end: a pool without zero bytes
    // would make every one of 65535 records scan 64 KiB.
    auto poolTextIs = [&](std::uint32_t offset, std::string_view text) {
        if (offset >= poolLength || text.size() >= poolLength - offset) return false;
        const std::span<const std::uint8_t> bytes = info.bytes(pool + offset, text.size() + 1);
        return bytes.size() == text.size() + 1 && bytes.back() == 0 && textOf(bytes.first(text.size())) == text;
    };
    // The first string property of each name counts, as the writer's look-ups take it; each value is
    // read once.
    std::optional<std::uint32_t> registryAt, encodingAt;
    for (std::uint32_t k = 0; k < count && !(registryAt && encodingAt); ++k) {
        std::uint32_t name = 0, value = 0, isString = 0;
        const std::uint64_t at = properties + InfoPropertySize * k;
        if (!info.u32(at, &name) || !info.u32(at + 4, &value) || !info.u16(at + 8, &isString) || !isString) continue;
        if (!registryAt && poolTextIs(name, "CHARSET_REGISTRY")) registryAt = value;
        else if (!encodingAt && poolTextIs(name, "CHARSET_ENCODING")) encodingAt = value;
    }
    if (!registryAt || !encodingAt) return {};
    const std::string_view registry = poolText(*registryAt), encoding = poolText(*encodingAt);
    if (registry.empty() || encoding.empty()) return {};
    ModelString text(registry);
    text += '-';
    text += encoding;
    return text;
}

[[nodiscard]] bool readFaces(FonFile& file) {
    const ByteReader bytes(file.bytes);
    ModelVector<Resource> resources;
    if (!readResourceTable(bytes, resources)) return false;
    const Resource* directory = findResource(resources, Resource::Directory, 0);
    if (!directory) return false;

    // Each entry: ordinal, the font's first 113 header bytes, device name, face name.
    const ByteReader entries(directory->data);
    // A file of this system holds a family's fonts at most. Resources may share their bytes: a
    // small file could otherwise name thousands of faces that all read one large "SNF" resource.
    std::uint32_t count = 0;
    if (!entries.u16(0, &count) || count == 0 || count > MaxFamilyFonts) return false;
    std::uint64_t at = 2;
    for (std::uint32_t k = 0; k < count; ++k) {
        std::uint32_t ordinal = 0;
        std::span<const std::uint8_t> device, name;
        if (!entries.u16(at, &ordinal) || !entries.text(at + 2 + FntDirectoryHeaderBytes, entries.size(), &device))
            return false;
        at += 2 + FntDirectoryHeaderBytes + device.size() + 1;
        if (!entries.text(at, entries.size(), &name)) return false;
        at += name.size() + 1;

        // A font named twice would be read (and drawn) twice: one face per font resource.
        Resource* font = findResource(resources, Resource::Font, ordinal);
        if (!font || font->taken) return false;
        font->taken = true;
        FonFace face;
        if (!readFace(font->data, face)) return false;
        if (const Resource* info = findResource(resources, Resource::Info, ordinal))
            face.encoding = encodingOf(info->data);
        file.faces.push_back(std::move(face));
    }
    return true;
}

}  // namespace

int readFon(ByteVector bytes, FonFile* out) {
    if (!out) return StatusFail;
    return runGuarded([&] {
        FonFile file;
        file.bytes = std::move(bytes);
        if (!readFaces(file)) return static_cast<int>(StatusBadFormat);
        *out = std::move(file);
        return static_cast<int>(StatusOk);
    });
}

int readFonFile(const char* path, FonFile* out) {
    if (!path || !out) return StatusFail;
    return runGuarded([&] {
        ByteVector bytes;
        if (!readWholeFile(path, bytes)) return static_cast<int>(StatusFail);
        return readFon(std::move(bytes), out);
    });
}
