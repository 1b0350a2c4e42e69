// The name table, format 0: one record per name the plan gives, the strings after the records.
#include "ttf/name_table.h"

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::uint16_t PlatformWindows = 3;
constexpr std::uint16_t EncodingUnicodeBmp = 1;
constexpr std::uint16_t LanguageEnglishUs = 0x409;
constexpr std::size_t HeaderBytes = 6;
constexpr std::size_t RecordBytes = 12;
// Each string's length is a 16-bit byte count and its offset one too: a bound per string keeps the
// seven of them addressable.
constexpr std::size_t MaxUnits = 4096;

// UTF-8 as UTF-16 code units (beyond the BMP as surrogate pairs); a byte that starts no valid
// sequence stands for the Latin-1 character of its value, as X property values often are.
std::u16string utf16Of(std::string_view text) {
    std::u16string units;
    for (std::size_t i = 0; i < text.size() && units.size() + 2 <= MaxUnits;) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length =
            lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        std::uint32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = c << 6 | (next & 0x3F);
        }
        static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && c >= smallest[length] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        if (!valid) {
            units += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(c);
        }
        i += length;
    }
    return units;
}

}  // namespace

void putNameTable(ByteWriter& out, const TtfPlan& plan) {
    const std::pair<std::uint16_t, const std::string*> names[] = {
        {0, &plan.copyright}, {1, &plan.familyName}, {2, &plan.subfamilyName}, {3, &plan.uniqueName},
        {4, &plan.fullName},  {5, &plan.version},    {6, &plan.postScriptName},
    };
    std::vector<std::pair<std::uint16_t, std::u16string>> strings;
    for (const auto& [id, text] : names)
        if (!text->empty()) strings.emplace_back(id, utf16Of(*text));
    const auto count = static_cast<std::uint32_t>(strings.size());
    out.u16(0);  // format
    out.u16(count);
    out.u16(static_cast<std::uint32_t>(HeaderBytes + RecordBytes * count));
    std::uint32_t offset = 0;
    for (const auto& [id, units] : strings) {
        const auto bytes = static_cast<std::uint32_t>(2 * units.size());
        out.u16(PlatformWindows);
        out.u16(EncodingUnicodeBmp);
        out.u16(LanguageEnglishUs);
        out.u16(id);
        out.u16(bytes);
        out.u16(offset);
        offset += bytes;
    }
    for (const auto& entry : strings)
        for (char16_t unit : entry.second) out.u16(unit);
}
