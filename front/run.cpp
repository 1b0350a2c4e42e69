// What a command line asks for: the one conversion of a run, the mapping of its results to
// messages, or the help or version text.
#include "front/run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fon/fnt_resource.h"
#include "fon/fon_writer.h"
#include "font/atom.h"
#include "font/code_map.h"
#include "font/code_page.h"
#include "front/face_name.h"
#include "front/preview.h"

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
    int status = program.readFont(font, input.get(), settings.bitOrder, settings.byteOrder, settings.glyphPad,
                                  settings.scanUnit);
    // Closing a compressed input checks what the reader did not need (a gzip member's check):
    // damage found there makes the font as corrupt as damage the reader saw.
    if (status != StatusOk || closeFontFile(input.release()) != 0) {
        show(reportError, program, MessageCorruptInput, path);
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
    std::vector<std::string> inputs;
    if (!expand) inputs = settings.inputPaths;
    for (std::size_t k = 0; expand && k < settings.inputPaths.size(); ++k)
        for (std::string& path : expand(settings.inputPaths[k])) inputs.push_back(std::move(path));
    // Each input gives one font per page, input by input, pages in the order given.
    const std::size_t pages = std::max<std::size_t>(settings.codePages.size(), 1);
    if (inputs.size() > MaxFamilyFonts / pages) {
        show(reportError, program, MessageTooManyFonts, inputs[MaxFamilyFonts / pages].c_str(),
             static_cast<unsigned>(MaxFamilyFonts));
        return 1;
    }
    const char* outputPath = settings.outputPath->c_str();
    // One font keeps its own order: the output is created (an existing file truncated) before the
    // writer may refuse the font, and then removed. Several are all read and checked first.
    const bool single = inputs.size() * pages == 1;
    // The base name lives as long as the run; the stream only points at it. The front end's own
    // strings and lists (this, the inputs, summaries, message texts) come from the standard
    // allocator, not the model's seam: a process that cannot get these few bytes ends through
    // std::bad_alloc, and the readers and the writer, which hold the font, allocate only through it.
    const std::string baseName = chooseFaceName(settings.faceName, outputPath);
    std::vector<std::string> faceNames;  // as each page's fonts hold it
    if (!faceNamesOfPages(program, settings, baseName, faceNames)) return 1;
    FontStream* output = nullptr;
    bool regularFile = false;

    std::vector<FontResources> fonts;
    std::vector<std::string> fontNames;  // each font's name in the refusals
    std::vector<std::string> summaries;
    if (settings.verbose && !faceNameNote(program, baseName).empty())
        summaries.push_back(faceNameNote(program, baseName));
    fonts.reserve(inputs.size() * pages);
    fontNames.reserve(inputs.size() * pages);
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const char* inputPath = inputs[k].c_str();
        {
            Font font;  // all zero: defaultChar 0 unless the input names one
            font.codePages = settings.codePages;
            if (!readInput(program, settings, inputPath, &font)) return 1;
            for (std::size_t j = 0; j < pages; ++j) {
                // A refused member of several is named by its input, and by its page when the input
                // gives several; the file's name says nothing.
                const char* pageName = settings.codePages.empty() ? nullptr : settings.codePageNames[j].c_str();
                fontNames.push_back(single ? baseName : inputs[k]);
                if (pages > 1)
                    fontNames.back() = formatText(messageFormat(MessageFontOfPage, program.words).c_str(), inputPath,
                                                  pageName);
                const char* fontName = fontNames.back().c_str();
                CodeMapReport report;
                Font page;
                if (pageName && !mapIntoCodePage(program, font, settings.codePages[j], pageName, inputPath, fontName,
                                                 page, report))
                    return 1;
                const Font& written = pageName ? page : font;
                if (single && !(output = createOutput(program, outputPath, &regularFile))) return 1;
                FontResources resources;
                int status = buildFontResources(written, faceNames[j], settings.glyphPad, &resources);
                if (status != StatusOk)
                    return finishOutput(program, status, output, regularFile, fontName, outputPath);
                // -v names each font by its input; the line names the page.
                const char* noteName = single ? baseName.c_str() : inputPath;
                if (settings.verbose) summaries.push_back(summaryLine(program, noteName, pageName, report, written));
                if (settings.verbose && fntVersionOf(resources) == FntVersion3)
                    summaries.push_back(formatText(messageFormat(MessageNoteWindows30, program.words).c_str(),
                                                   noteName, static_cast<unsigned>(resources.fnt.size())));
                for (std::size_t i = 0; i < fonts.size(); ++i) {
                    if (sameWindowsSelection(fonts[i], resources)) {
                        show(reportError, program, MessageNotCombined, fontNames[i].c_str(), fontName);
                        return 1;
                    }
                }
                fonts.push_back(std::move(resources));
            }
        }
        // The font is gone and its resources hold its property texts: the next font numbers its
        // atoms from 1 as a run of its own would, which keeps its "SNF" resource the same.
        clearAtomTable();
    }

    if (!single && !(output = createOutput(program, outputPath, &regularFile))) return 1;
    output->fontName = faceNames[0].c_str();
    int status =
        finishOutput(program, writeFonFamily(output, fonts), output, regularFile, baseName.c_str(), outputPath);
    if (status == 0)
        for (const std::string& line : summaries) reportNote("%s", line.c_str());
    if (status == 0 && settings.previewPath)
        status = writePreview(program, outputPath, regularFile, settings.previewPath->c_str(), settings.previewScale,
                              inputs);
    return status;
}
