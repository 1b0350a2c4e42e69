// What a command line asks for: the one conversion of a run, the mapping of its results to
// messages, or the help or version text.
#include "front/run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "fon/fnt_resource.h"
#include "fon/fon_writer.h"
#include "font/atom.h"
#include "font/code_map.h"
#include "font/code_page.h"
#include "front/face_name.h"
#include "front/preview.h"
#include "stream/file_calls.h"

namespace {
using Sink = void (*)(const char* format, ...);

// Shows the message `id` of this program through `sink` (reportError or reportNote).
template <class... Values>
void show(Sink sink, const Program& program, MessageId id, Values... values) {
    std::string format = messageFormat(id, program.words);
    if constexpr (sizeof...(Values) == 0) sink("%s", format.c_str());
    else sink(format.c_str(), values...);
}

// Makes `page` the font of one code page of the font read from `inputPath`; false after reporting
// why it cannot be, naming the font `fontName` in the writer's refusals.
bool mapIntoCodePage(const Program& program, const Font& font, const CodePageRequest& request, const char* pageName,
                     const char* inputPath, const char* fontName, Font& page, CodeMapReport& report) {
    switch (mapToCodePage(font, request, page, report)) {
    case CodeMapResult::Mapped:
        return true;
    case CodeMapResult::UnknownEncoding:
        show(reportError, program, MessageNoMapping, inputPath,
             report.encoding.empty() ? messageFormat(MessageNoEncoding, program.words).c_str()
                                     : report.encoding.c_str(),
             pageName);
        return false;
    case CodeMapResult::NothingInPage:
        show(reportError, program, MessageNothingInPage, inputPath, pageName);
        return false;
    case CodeMapResult::SpansRows:
        show(reportError, program, MessageTooManyCharacters, fontName);
        return false;
    case CodeMapResult::TooLarge:
    case CodeMapResult::OutOfMemory:
        break;
    }
    show(reportError, program, MessageFontTooLarge, fontName);
    return false;
}

// -v: the line for one font written, shown once the file is complete. Without a code page
// (`pageName` null) every encoded position counts as from the font.
std::string summaryLine(const Program& program, const char* fontName, const char* pageName, const CodeMapReport& report,
                        const Font& font) {
    if (!pageName) {
        std::int32_t positions = 0;
        if (font.bitmapFont)
            for (const Glyph* glyph : font.bitmapFont->encoding) positions += glyph ? 1 : 0;
        return formatText(messageFormat(MessageNoteNoCodePage, program.words).c_str(), fontName, positions);
    }
    std::string missing;
    constexpr std::size_t Listed = 10;
    auto append = [&](MessageId id, int value) {
        missing += formatText(messageFormat(id, program.words).c_str(), value);
    };
    for (std::size_t i = 0; i < report.missing.size() && i < Listed; ++i) append(MessageNoteMissing, report.missing[i]);
    if (report.missing.size() > Listed)
        append(MessageNoteMoreMissing, static_cast<int>(report.missing.size() - Listed));
    return formatText(messageFormat(MessageNoteCodePage, program.words).c_str(), fontName, pageName, report.fromFont,
                      report.placeholders, static_cast<int>(report.missing.size()), missing.empty() ? "." : ":",
                      missing.c_str());
}

// False after reporting two pages of the list that would give fonts of one character set, which
// Windows cannot tell apart in one file.
bool pagesCombine(const Program& program, const Settings& settings) {
    const auto charSetOf = [](const CodePageRequest& request) {
        return request.page ? request.page->charSet : SymbolCharSet;
    };
    for (std::size_t j = 1; j < settings.codePages.size(); ++j) {
        for (std::size_t i = 0; i < j; ++i) {
            if (charSetOf(settings.codePages[i]) != charSetOf(settings.codePages[j])) continue;
            show(reportError, program, MessagePagesNotCombined, settings.codePageNames[i].c_str(),
                 settings.codePageNames[j].c_str(), static_cast<unsigned>(charSetOf(settings.codePages[i])));
            return false;
        }
    }
    return true;
}

// Reads one input into `font`; false after reporting why not.
bool readInput(const Program& program, const Settings& settings, const char* path, Font* font) {
    FontStreamPtr input(openFontFile(path));
    if (!input) {
        show(reportError, program, MessageCantOpenInput, path);
        return false;
    }
    ReadReason reason;
    int status = program.readFont(font, input.get(), settings.bitOrder, settings.byteOrder, settings.glyphPad,
                                  settings.scanUnit, &reason);
    // Closing a compressed input checks what the reader did not need (a gzip member's check):
    // damage found there makes the font as corrupt as damage the reader saw, and is the reason.
    if (closeFontFile(input.release(), &reason) != 0 || status != StatusOk) {
        show(reportError, program, MessageCorruptInput, path, reason.text);
        return false;
    }
    return true;
}

// Ends the run with the writer's result: closes the output when there is one, and after a failure
// reports it, naming `fontName` in the refusals, and removes the file the run made. Exit status.
int finishOutput(const Program& program, int status, FontStream* output, bool regularFile, const char* fontName,
                 const char* outputPath) {
    int closed = output ? closeFontFile(output) : 0;
    if (status == StatusOk && closed == 0) return 0;
    if (status == StatusFail)
        show(reportError, program, MessageFontTooLarge, fontName);
    else if (status == StatusBadFormat)
        show(reportError, program, MessageTooManyCharacters, fontName);
    else
        show(reportError, program, MessageCantOutput, outputPath);
    // A device or pipe given as the output is left alone; only a file we made is removed.
    if (output && regularFile) deleteOutputFile(outputPath);
    return 1;
}
}  // namespace

FontStream* createOutput(const Program& program, const char* path, bool* regularFile) {
    FontStream* output = createFontFile(path, regularFile);
    if (!output) {
        show(reportError, program, MessageCantCreateOutput, path);
        // regularFile is set only when the file was created and the stream record then could not
        // be allocated: that empty file is ours to remove.
        if (*regularFile) deleteOutputFile(path);
    }
    return output;
}

namespace {
// The inputs of the run: the command line's, each expanded by the platform when it can, as long as
// one file can hold a font of each page of each. Empty after reporting why not.
std::vector<std::string> runInputs(const Program& program, const Settings& settings, InputExpander expand) {
    std::vector<std::string> inputs;
    if (!expand) inputs = settings.inputPaths;
    for (std::size_t k = 0; expand && k < settings.inputPaths.size(); ++k)
        for (std::string& path : expand(settings.inputPaths[k])) inputs.push_back(std::move(path));
    // Each input gives one font per page, input by input, pages in the order given.
    const std::size_t pages = std::max<std::size_t>(settings.codePages.size(), 1);
    if (inputs.size() > MaxFamilyFonts / pages) {
        show(reportError, program, MessageTooManyFonts, inputs[MaxFamilyFonts / pages].c_str(),
             static_cast<unsigned>(MaxFamilyFonts));
        return {};
    }
    return inputs;
}

// False after reporting that the output, or the picture, is one of the inputs under some spelling:
// creating it would destroy the font before it is read.
bool outputsSpareInputs(const Program& program, const Settings& settings, const std::vector<std::string>& inputs) {
    for (const std::optional<std::string>& path : {settings.outputPath, settings.previewPath}) {
        if (!path) continue;
        for (const std::string& input : inputs) {
            if (!fileCalls.sameFile(path->c_str(), input.c_str())) continue;
            show(reportError, program, MessageOutputIsInput, path->c_str(), input.c_str());
            return false;
        }
    }
    return true;
}

// The writer of one run. It is handed each font as it is read, in input order, while the atom
// table still holds that font's names, and writes the output file once every input is read.
class FontOutput {
public:
    virtual ~FontOutput() = default;
    // Takes the font of input `index`; false after reporting why the file cannot be written.
    virtual bool take(std::size_t index, std::unique_ptr<Font> font) = 0;
    // Creates and writes the output (unless take has already created it) and closes it. Exit status,
    // after reporting any failure and removing what the run made.
    virtual int write() = 0;
    // Whether the output written is a regular file (only such a file can be read back).
    virtual bool wroteRegularFile() const = 0;
};

// The FON file: one font per input and page, each built into its resources as it is taken.
class FonOutput final : public FontOutput {
public:
    FonOutput(const Program& program, const Settings& settings, const std::vector<std::string>& inputs)
        : program_(program), settings_(settings), inputs_(inputs), outputPath_(settings.outputPath->c_str()),
          pages_(std::max<std::size_t>(settings.codePages.size(), 1)), single_(inputs.size() * pages_ == 1),
          baseName_(chooseFaceName(settings.faceName, outputPath_)) {
        fonts_.reserve(inputs.size() * pages_);
        fontNames_.reserve(inputs.size() * pages_);
    }

    // The face name as each page's fonts hold it; false after reporting a page that cannot write it.
    // Checked before any input is read.
    bool nameFaces() {
        if (!faceNamesOfPages(program_, settings_, baseName_, faceNames_)) return false;
        if (settings_.verbose && !faceNameNote(program_, baseName_).empty())
            summaries_.push_back(faceNameNote(program_, baseName_));
        return true;
    }

    bool take(std::size_t index, std::unique_ptr<Font> font) override {
        for (std::size_t j = 0; j < pages_; ++j)
            if (!takePage(index, font, j)) return false;
        // The font is gone (or kept only for its cells) and its resources hold its property texts:
        // the next font numbers its atoms from 1 as a run of its own would, which keeps its "SNF"
        // resource the same.
        font.reset();
        clearAtomTable();
        return true;
    }

    int write() override {
        if (!single_ && !(output_ = createOutput(program_, outputPath_, &regularFile_))) return 1;
        output_->fontName = faceNames_[0].c_str();
        int status = finishOutput(program_, writeFonFamily(output_, fonts_), output_, regularFile_, baseName_.c_str(),
                                  outputPath_);
        if (status == 0)
            for (const std::string& line : summaries_) reportNote("%s", line.c_str());
        return status;
    }

    bool wroteRegularFile() const override { return regularFile_; }

private:
    // Builds the font of page `j` of the font of input `index`; the font itself is kept when it is
    // the one written (no page).
    bool takePage(std::size_t index, std::unique_ptr<Font>& font, std::size_t j) {
        const char* inputPath = inputs_[index].c_str();
        // A refused member of several is named by its input, and by its page when the input gives
        // several; the file's name says nothing.
        const char* pageName = settings_.codePages.empty() ? nullptr : settings_.codePageNames[j].c_str();
        fontNames_.push_back(single_ ? baseName_ : inputs_[index]);
        if (pages_ > 1)
            fontNames_.back() =
                formatText(messageFormat(MessageFontOfPage, program_.words).c_str(), inputPath, pageName);
        const char* fontName = fontNames_.back().c_str();
        CodeMapReport report;
        auto page = std::make_unique<Font>();
        if (pageName &&
            !mapIntoCodePage(program_, *font, settings_.codePages[j], pageName, inputPath, fontName, *page, report))
            return false;
        // The cells are drawn from the font only when the file is written: it is kept till then.
        kept_.push_back(pageName ? std::move(page) : std::move(font));
        const Font& written = *kept_.back();
        // Readers find no rows to draw in a face of height 0 and refuse the whole file.
        if (cellHeight(written.info) == 0) {
            show(reportError, program_, MessageZeroHeight, fontName);
            return false;
        }
        // One font keeps its own order: the output is created (an existing file truncated) before
        // the writer may refuse the font, and then removed. Several are all read and checked first.
        if (single_ && !(output_ = createOutput(program_, outputPath_, &regularFile_))) return false;
        FontResources resources;
        int status = buildFontResources(written, faceNames_[j], settings_.glyphPad, &resources);
        if (status != StatusOk) {
            finishOutput(program_, status, output_, regularFile_, fontName, outputPath_);
            return false;
        }
        // -v names each font by its input; the line names the page.
        const char* noteName = single_ ? baseName_.c_str() : inputPath;
        if (settings_.verbose) summaries_.push_back(summaryLine(program_, noteName, pageName, report, written));
        if (const CellPlacement cells = cellPlacement(written); settings_.verbose && (cells.moved || cells.cut))
            summaries_.push_back(formatText(messageFormat(MessageNoteCellPlacement, program_.words).c_str(), noteName,
                                            cells.moved, cells.cut));
        if (settings_.verbose && fntVersionOf(resources) == FntVersion3)
            summaries_.push_back(formatText(messageFormat(MessageNoteWindows30, program_.words).c_str(), noteName,
                                            static_cast<unsigned>(fntSizeOf(resources))));
        for (std::size_t i = 0; i < fonts_.size(); ++i) {
            if (sameWindowsSelection(fonts_[i], resources)) {
                show(reportError, program_, MessageNotCombined, fontNames_[i].c_str(), fontName);
                return false;
            }
        }
        // What no file may hold is refused before any face's cells are built.
        if ((familyBytes_ += resourceBytesOf(resources)) > MaxFamilyBytes) {
            show(reportError, program_, MessageFamilyTooLarge, outputPath_,
                 static_cast<unsigned>(MaxFamilyBytes >> 20));
            if (output_) {
                (void)closeFontFile(output_);
                if (regularFile_) deleteOutputFile(outputPath_);
            }
            return false;
        }
        fonts_.push_back(std::move(resources));
        return true;
    }

    const Program& program_;
    const Settings& settings_;
    const std::vector<std::string>& inputs_;
    const char* outputPath_;
    const std::size_t pages_;
    const bool single_;
    // The base name lives as long as the run; the stream only points at it. The front end's own
    // strings and lists (this, the inputs, summaries, message texts) come from the standard
    // allocator, not the model's seam: a process that cannot get these few bytes ends through
    // std::bad_alloc, and the readers and the writer, which hold the font, allocate only through it.
    const std::string baseName_;
    std::vector<std::string> faceNames_;  // the face name as each page's fonts hold it
    FontStream* output_ = nullptr;
    bool regularFile_ = false;
    std::vector<FontResources> fonts_;
    std::vector<std::unique_ptr<Font>> kept_;  // the fonts the cells of fonts_ are drawn from
    std::int64_t familyBytes_ = 0;
    std::vector<std::string> fontNames_;  // each font's name in the refusals
    std::vector<std::string> summaries_;
};

// The writer the output's name asks for; null after reporting why it cannot write the run's fonts.
std::unique_ptr<FontOutput> chooseOutput(const Program& program, const Settings& settings,
                                         const std::vector<std::string>& inputs) {
    auto output = std::make_unique<FonOutput>(program, settings, inputs);
    return output->nameFaces() ? std::move(output) : nullptr;
}

// Reads every input in order and hands each font to `output` as soon as it is read. False after
// reporting why the run ends.
bool readInputs(const Program& program, const Settings& settings, const std::vector<std::string>& inputs,
                FontOutput& output) {
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        auto font = std::make_unique<Font>();  // all zero: defaultChar 0 unless the input names one
        font->codePages = settings.codePages;
        if (!readInput(program, settings, inputs[k].c_str(), font.get())) return false;
        if (!output.take(k, std::move(font))) return false;
    }
    return true;
}
}  // namespace

int runConversion(const Program& program, const std::vector<std::string>& words, InputExpander expand) {
    Settings settings;
    switch (parseCommandLine(words, settings)) {
    case Request::Run:
        break;
    case Request::UsageError:
        reportError("%s", usageMessage(settings, program.words).c_str());
        return 1;
    case Request::Help:
        showInformation(helpText(program.words));
        return 0;
    case Request::Version:
        showInformation(versionText(program.words));
        return 0;
    }

    if (!pagesCombine(program, settings)) return 1;
    const std::vector<std::string> inputs = runInputs(program, settings, expand);
    if (inputs.empty() || !outputsSpareInputs(program, settings, inputs)) return 1;
    std::unique_ptr<FontOutput> output = chooseOutput(program, settings, inputs);
    if (!output || !readInputs(program, settings, inputs, *output)) return 1;
    int status = output->write();
    const bool regularFile = output->wroteRegularFile();
    output.reset();  // the picture is drawn from the file alone, with the fonts released
    if (status == 0 && settings.previewPath)
        status = writePreview(program, settings.outputPath->c_str(), regularFile, settings.previewPath->c_str(),
                              settings.previewScale, inputs);
    return status;
}
