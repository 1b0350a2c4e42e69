// Fuzz target: a whole conversion, either reader feeding the FON writer, with the bitmap options,
// the fill size, compressed input and an allocation failure all chosen by the input.
//
// Input layout: byte 0 options, byte 1 allocation to fail (0 = none), then the font file.
// Options: bit 0 PCF (else BDF), bit 1 bit order, bit 2 byte order, bits 3-4 glyph pad index,
// bits 5-6 scan unit index (3 means 1), bit 7 fills of 7 bytes instead of whole buffers.
// A font file starting with the compress magic 1F 9D goes through the LZW filter, as a ".Z" name would.
// The input's last byte also picks a code page, as -c would: 1 symbol, 2 onwards the pages in table
// order (wrapping), 0 none. With a page the input is converted twice, as read and mapped (the
// readers then skip what the page does not need); the read that serves the page also keeps the
// glyphs of the next page of the table, which is mapped from the same read font as a -c list does.
// A font that converts is then read again from an empty atom table and both are written as one
// family, as a run with several inputs does.
#include "bdf/bdf_reader.h"
#include "fon/fon_writer.h"
#include "font/atom.h"
#include "font/code_map.h"
#include "font/code_page.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/memory_stream.h"
#include "pcf/pcf_reader.h"
#include "stream/lzw.h"

namespace {
struct AllocationFailure {
    explicit AllocationFailure(long n) { failAllocationAt(n); }
    ~AllocationFailure() { failAllocationAt(0); }
};

CodePageRequest requestOf(std::uint8_t selector) {
    CodePageRequest request;
    const std::size_t choice = selector % (codePageCount + 2);
    if (choice == 1) request.symbol = true;
    else if (choice >= 2) request.page = &codePages[choice - 2];
    return request;
}

// The selector byte that gives `request` (see requestOf).
std::uint8_t selectorOf(const CodePageRequest& request) {
    if (request.symbol) return 1;
    return request.page ? static_cast<std::uint8_t>(request.page - codePages + 2) : 0;
}

// Reads and maps one font as the run does; StatusOk when it is ready for the writer.
int readFont(const std::uint8_t* data, std::size_t size, int options, const CodePageRequest& request, Font* font) {
    MemorySource source{data, size};
    if (options & 0x80) source.fillSize = 7;
    FontStream* input = openMemoryStream(&source);
    if (!input) return StatusFail;
    if (size >= 2 && data[0] == 0x1F && data[1] == 0x9D) {
        FontStream* expanded = pushLzwFilter(input);
        if (!expanded) {
            closeFontStream(input, 1);
            return StatusFail;
        }
        input = expanded;
    }
    int bitOrder = (options >> 1) & 1;
    int byteOrder = (options >> 2) & 1;
    int glyphPad = 1 << ((options >> 3) & 3);
    int scanUnit = ((options >> 5) & 3) == 3 ? 1 : 1 << ((options >> 5) & 3);

    Font read;
    ReadReason reason;
    // The next page of the table; after the last, symbol (a selector of 0 would be no page at all).
    const auto following = static_cast<std::uint8_t>(selectorOf(request) % (codePageCount + 1) + 1);
    const CodePageRequest pages[2] = {request, requestOf(following)};
    if (request.active()) read.codePages = pages;
    Font& target = request.active() ? read : *font;
    int status = ((options & 1) ? readPcfFont : readBdfFont)(&target, input, bitOrder, byteOrder, glyphPad, scanUnit, &reason);
    closeFontFile(input);
    if (status != StatusOk || !request.active()) return status;
    CodeMapReport report;
    Font next;
    if (mapToCodePage(read, pages[1], next, report) == CodeMapResult::Mapped) {
        FontResources resources;
        (void)buildFontResources(next, "fuzz", glyphPad, &resources);
    }
    return mapToCodePage(read, request, *font, report) == CodeMapResult::Mapped ? StatusOk : StatusFail;
}

// Runs `writer` on an output that counts and drops the bytes.
template <class Writer>
void discardWrite(Writer writer) {
    std::uint64_t written = 0;
    FontStream* output = openDiscardStream(&written);
    if (!output) return;
    output->fontName = "fuzz";
    (void)writer(output);
    closeFontFile(output);
}

void convert(const std::uint8_t* data, std::size_t size, int options, const CodePageRequest& request) {
    const int glyphPad = 1 << ((options >> 3) & 3);
    FontResources family[2];
    // The fonts outlive the family: its cells are drawn from them as it is written.
    Font font;
    if (readFont(data, size, options, request, &font) != StatusOk) return;
    discardWrite([&](FontStream* output) { return writeFon(&font, output, glyphPad); });
    if (buildFontResources(font, "fuzz", glyphPad, &family[0]) != StatusOk) return;
    clearAtomTable();
    Font again;
    if (readFont(data, size, options, request, &again) != StatusOk) return;
    if (buildFontResources(again, "fuzz", glyphPad, &family[1]) != StatusOk) return;
    (void)sameWindowsSelection(family[0], family[1]);
    discardWrite([&](FontStream* output) { return writeFonFamily(output, family); });
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    AllocationFailure failure(data[1]);
    convert(data + 2, size - 2, data[0], CodePageRequest{});
    const CodePageRequest request = requestOf(data[size - 1]);
    if (request.active()) convert(data + 2, size - 2, data[0], request);
    return 0;
}
