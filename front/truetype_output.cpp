// The TrueType stage of a run: every input read and held, the writer run into memory, and only
// then the file made, so that a refusal leaves nothing behind.
#include "front/truetype_output.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <string_view>

#include "front/face_name.h"
#include "front/preview.h"
#include "ttf/ttf_writer.h"

namespace {
template <class... Values>
void refuse(const Program& program, MessageId id, Values... values) {
    reportError(messageFormat(id, program.words).c_str(), values...);
}

template <class... Values>
void note(const Program& program, MessageId id, Values... values) {
    reportNote(messageFormat(id, program.words).c_str(), values...);
}

// A writing stream that keeps what it is given: the writer's bytes wait here until the font is
// known to be whole. Standard storage, as the front end's own lists: when it cannot grow, the
// stream fails as a full disk would, and `exhausted` tells the run why.
struct Kept {
    std::vector<std::uint8_t> bytes;
    bool exhausted = false;
};

int keepFlush(int value, FontStream* stream) {
    Kept& kept = *static_cast<Kept*>(stream->context);
    if (value != -1) *stream->cursor++ = static_cast<std::uint8_t>(value);
    try {
        kept.bytes.insert(kept.bytes.end(), stream->buffer, stream->cursor);
    } catch (const std::bad_alloc&) {
        kept.exhausted = true;
    }
    stream->cursor = stream->buffer;
    stream->remaining = StreamBufferSize;
    return kept.exhausted ? -1 : value;
}

int keepClose(FontStream* stream, int) {
    keepFlush(-1, stream);
    return static_cast<Kept*>(stream->context)->exhausted ? 0 : 1;
}

// Writes `bytes` as the file at `path`; false after reporting why not (and removing what was made).
bool saveOutput(const Program& program, const char* path, const std::vector<std::uint8_t>& bytes, bool* regularFile) {
    FontStream* output = createOutput(program, path, regularFile);
    if (!output) return false;
    bool written = true;
    for (std::size_t at = 0; written && at < bytes.size();) {
        const auto run = static_cast<std::int32_t>(std::min<std::size_t>(bytes.size() - at, 1u << 20));
        written = writeBytes(output, bytes.data() + at, run) == run;
        at += static_cast<std::size_t>(run);
    }
    if (closeFontFile(output) == 0 && written) return true;
    refuse(program, MessageCantOutput, path);
    if (*regularFile) deleteOutputFile(path);
    return false;
}

// Reports why the writer made no font; `fontName` names the file's font, `inputs` the fonts given.
void reportRefusal(const Program& program, TtfResult result, const TtfReport& report, const char* fontName,
                   const std::vector<std::string>& inputs, const char* outputPath) {
    switch (result) {
    case TtfResult::StylesDiffer:
    case TtfResult::SameSize:
        refuse(program, result == TtfResult::StylesDiffer ? MessageStylesDiffer : MessageSameSize,
               inputs.at(report.first).c_str(), inputs.at(report.second).c_str());
        return;
    case TtfResult::TooManyGlyphs:
        refuse(program, MessageTooManyGlyphs, fontName, static_cast<unsigned>(report.glyphs));
        return;
    case TtfResult::GlyphsTooLarge:
        refuse(program, MessageGlyphsTooLarge, fontName);
        return;
    case TtfResult::TooLarge:
    case TtfResult::OutOfMemory:
        refuse(program, MessageTrueTypeTooLarge, fontName);
        return;
    case TtfResult::Written:
    case TtfResult::WriteFailed:
        break;
    }
    refuse(program, MessageCantOutput, outputPath);
}
}  // namespace

bool isTrueTypeOutput(const std::string& outputPath) {
    constexpr std::string_view suffix = ".ttf";
    if (outputPath.size() < suffix.size()) return false;
    const std::string_view end = std::string_view(outputPath).substr(outputPath.size() - suffix.size());
    for (std::size_t k = 0; k < suffix.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(end[k])) != suffix[k]) return false;
    return true;
}

int writeTrueTypeOutput(const Program& program, const Settings& settings, const std::vector<std::string>& inputs) {
    const char* outputPath = settings.outputPath->c_str();
    const std::string faceName = chooseFaceName(settings.faceName, outputPath);  // UTF-8, as TrueType names are
    // Every font stays whole until the file is written: the writer reads each one's properties,
    // so the atom table is never cleared between inputs here.
    std::vector<Font> fonts;
    fonts.reserve(inputs.size());
    std::vector<const Font*> written;
    for (const std::string& input : inputs) {
        fonts.emplace_back();
        if (!readInput(program, settings, input.c_str(), &fonts.back())) return 1;
        written.push_back(&fonts.back());
    }

    Kept bytes;
    FontStream* kept = newWriteStream(&bytes, keepFlush, keepClose);
    if (!kept) {
        refuse(program, MessageTrueTypeTooLarge, faceName.c_str());
        return 1;
    }
    kept->fontName = faceName.c_str();
    TtfReport report;
    TtfResult result = writeTrueType(kept, written, faceName, report);
    if ((closeFontFile(kept) != 0 || bytes.exhausted) && (result == TtfResult::Written || result == TtfResult::WriteFailed))
        result = TtfResult::OutOfMemory;
    if (result != TtfResult::Written) {
        reportRefusal(program, result, report, faceName.c_str(), inputs, outputPath);
        return 1;
    }
    // The fonts are no longer needed; the file's bytes are.
    fonts.clear();
    bool regularFile = false;
    if (!saveOutput(program, outputPath, bytes.bytes, &regularFile)) return 1;
    bytes.bytes = {};

    if (settings.verbose) {
        note(program, MessageNoteTrueType, faceName.c_str(), static_cast<unsigned>(report.glyphs),
             static_cast<unsigned>(report.strikes), static_cast<int>(report.unitsPerEm));
        if (report.glyphsWithoutOutline != 0)
            note(program, MessageNoteBitmapOnly, faceName.c_str(), static_cast<unsigned>(report.glyphsWithoutOutline));
    }
    if (!settings.previewPath) return 0;
    return writePreview(program, outputPath, regularFile, settings.previewPath->c_str(), settings.previewScale, inputs);
}
