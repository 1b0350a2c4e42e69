// The preview of a written font file (FON or TrueType): read it back, draw its glyph sheet, write
// the PNG.
#include "front/preview.h"

#include "fon/fon_reader.h"
#include "fon/png_writer.h"
#include "fon/glyph_sheet.h"
#include "front/truetype_output.h"
#include "stream/file_calls.h"

namespace {
int refuse(const Program& program, MessageId id, const char* path) {
    reportError(messageFormat(id, program.words).c_str(), path);
    return 1;
}

// Reads the file the run wrote as `File` and draws it; false when it does not read back (`read`
// false) or the picture cannot be had.
template <class File>
int drawFile(const char* fontPath, int (*readFile)(const char*, File*), GreyImage* image, bool* read) {
    File file;
    *read = readFile(fontPath, &file) == StatusOk;
    return *read ? drawGlyphSheet(file, image) : StatusFail;
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
    // What the run wrote and closed must read back; if not, the picture cannot be had.
    if (!fonIsFile) return refuse(program, MessageCantOutput, pngPath);
    bool read = false;
    const int drawn = isTrueTypeOutput(fonPath) ? drawFile(fonPath, readTrueTypeFile, &image, &read)
                                                : drawFile(fonPath, readFonFile, &image, &read);
    if (!read) return refuse(program, MessageCantOutput, pngPath);
    if (drawn != StatusOk || !pngDescribable(image, scale)) return refuse(program, MessagePictureTooLarge, pngPath);
    bool regularFile = false;
    FontStream* output = createOutput(program, pngPath, &regularFile);
    if (!output) return 1;
    const int status = writePng(output, image, scale);
    if (closeFontFile(output) == 0 && status == StatusOk) return 0;
    if (regularFile) deleteOutputFile(pngPath);
    return refuse(program, MessageCantOutput, pngPath);
}
