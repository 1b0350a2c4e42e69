// The preview of a written FON file: read it back, draw its glyph sheet, write the PNG.
#include "front/preview.h"

#include "fon/fon_reader.h"
#include "fon/png_writer.h"
#include "fon/glyph_sheet.h"
#include "font/status.h"
#include "stream/file_calls.h"

namespace {
int refuse(const Program& program, MessageId id, const char* path) {
    reportError(messageFormat(id, program.words).c_str(), path);
    return 1;
}
}  // namespace

int writePreview(const Program& program, const char* fonPath, bool fonIsFile, const char* pngPath, int scale,
                 const std::vector<std::string>& inputs) {
    // Creating the picture would truncate that file: the font just written, or a font it came from.
    bool takesAFontsPlace = fileCalls.sameFile(pngPath, fonPath);
    for (const std::string& input : inputs)
        takesAFontsPlace = takesAFontsPlace || fileCalls.sameFile(pngPath, input.c_str());
    if (takesAFontsPlace) return refuse(program, MessageCantCreateOutput, pngPath);
    GreyImage image;
    {
        FonFile file;
        // What the run wrote and closed must read back; if not, the picture cannot be had.
        if (!fonIsFile || readFonFile(fonPath, &file) != StatusOk) return refuse(program, MessageCantOutput, pngPath);
        // The picture's size is known from the layout: one past the bound is never drawn.
        GlyphSheetLayout layout;
        if (runGuarded([&] { return layoutGlyphSheet(file, &layout) ? StatusOk : StatusFail; }) != StatusOk)
            return refuse(program, MessagePictureTooLarge, pngPath);
        const std::uint64_t width = std::uint64_t{layout.width} * static_cast<std::uint64_t>(scale);
        const std::uint64_t height = std::uint64_t{layout.height} * static_cast<std::uint64_t>(scale);
        if (width * height > MaxPngPixels) {
            reportError(messageFormat(MessagePicturePastPixels, program.words).c_str(), pngPath,
                        static_cast<unsigned>(width), static_cast<unsigned>(height),
                        static_cast<unsigned>(MaxPngMegapixels));
            return 1;
        }
        if (drawGlyphSheet(file, &image) != StatusOk || !pngDescribable(image, scale))
            return refuse(program, MessagePictureTooLarge, pngPath);
    }
    bool regularFile = false;
    FontStream* output = createOutput(program, pngPath, &regularFile);
    if (!output) return 1;
    const int status = writePng(output, image, scale);
    if (closeFontFile(output) == 0 && status == StatusOk) return 0;
    if (regularFile) deleteOutputFile(pngPath);
    return refuse(program, MessageCantOutput, pngPath);
}
