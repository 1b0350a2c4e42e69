// The TrueType writer of a run: every font held, the writer run into memory, and only then the
// file made, so that a refusal leaves nothing behind.
#include "front/truetype_output.h"

#include <cctype>
#include <new>
#include <string_view>

#include "front/face_name.h"
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

// Writes `bytes` as the file at `path`; false after reporting why not (and removing what was made).
bool saveOutput(const Program& program, const char* path, const TrueTypeFile& file, bool* regularFile) {
    FontStream* output = createOutput(program, path, regularFile);
    if (!output) return false;
    const bool written = writeTrueTypeFile(output, file);
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

namespace {
class TrueTypeOutput final : public FontOutput {
public:
    TrueTypeOutput(const Program& program, const Settings& settings, const std::vector<std::string>& inputs)
        : program_(program), settings_(settings), inputs_(inputs), outputPath_(settings.outputPath->c_str()),
          faceName_(chooseFaceName(settings.faceName, outputPath_)) {
        fonts_.reserve(inputs.size());
    }

    // The writer reads each font's properties: the atom table is never cleared between inputs here.
    bool take(std::size_t, std::unique_ptr<Font> font) override {
        fonts_.push_back(std::move(font));
        return true;
    }

    int write() override {
        std::vector<const Font*> fonts;
        for (const auto& font : fonts_) fonts.push_back(font.get());
        TtfReport report;
        TrueTypeFile file;  // the whole font, made before the output file is
        const TtfResult result = buildTrueType(fonts, faceName_, report, file);
        if (result != TtfResult::Written) {
            reportRefusal(program_, result, report, faceName_.c_str(), inputs_, outputPath_);
            return 1;
        }
        fonts_.clear();  // the file's bytes are all that is needed now
        if (!saveOutput(program_, outputPath_, file, &regularFile_)) return 1;
        if (settings_.verbose) {
            note(program_, MessageNoteTrueType, faceName_.c_str(), static_cast<unsigned>(report.glyphs),
                 static_cast<unsigned>(report.strikes), static_cast<int>(report.unitsPerEm));
            if (report.glyphsWithoutOutline != 0)
                note(program_, MessageNoteBitmapOnly, faceName_.c_str(),
                     static_cast<unsigned>(report.glyphsWithoutOutline));
        }
        return 0;
    }

    bool wroteRegularFile() const override { return regularFile_; }

private:
    const Program& program_;
    const Settings& settings_;
    const std::vector<std::string>& inputs_;
    const char* outputPath_;
    const std::string faceName_;  // UTF-8, as TrueType's names are
    std::vector<std::unique_ptr<Font>> fonts_;
    bool regularFile_ = false;
};
}  // namespace

std::unique_ptr<FontOutput> makeTrueTypeOutput(const Program& program, const Settings& settings,
                                               const std::vector<std::string>& inputs) {
    return std::make_unique<TrueTypeOutput>(program, settings, inputs);
}
