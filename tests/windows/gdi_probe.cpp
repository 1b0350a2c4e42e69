// What Windows' own font loader makes of FON and TrueType files: a console program, cross-built
// with MinGW and run under wine, that loads each file of a list into GDI, lists it, selects it and
// draws its characters, and prints all of it in one plain text form for the test suite to compare.
//
//   gdi_probe.exe LIST OUTPUT
//
// LIST has one file a line: "path<TAB>face", or just "path" when the face name is the file's base
// name up to its first full stop; "path<TAB>face<TAB>HEIGHT<TAB>CODE,CODE,..." selects the face at
// that lfHeight alone (-ppem: the em in pixels) and draws those Unicode characters (decimal) with
// the wide calls. A path starting with "/" is taken as a path of the POSIX host,
// which wine shows as drive Z:. A line "codepage N" asks what character set Windows gives code page
// N instead. OUTPUT gets, per code page, "codepage N charset=C" (TranslateCharsetInfo; -1 when it
// knows none), and per file:
//
//   file PATH
//   added COUNT                                   (AddFontResourceEx with FR_PRIVATE)
//   enum face=F height=H avgwidth=W weight=N italic=I charset=C pitchfamily=0xPF raster=R truetype=T
//   select height=H charset=C italic=I            (height 0: by name alone; then, when the file
//                                                  lists several fonts, each listed height with its
//                                                  italic flag, and its character set (else
//                                                  DEFAULT_CHARSET, 1) when the sets differ)
//   metrics face=F height=H ascent=A descent=D internal=I external=E avgwidth=W maxwidth=M
//           weight=N italic=I charset=C pitchfamily=0xPF first=F last=L default=D break=B
//   widths W0 W1 ... W255                          (GetCharWidth32; with characters given, the
//                                                  width of each, in their order)
//   glyph CODE ROW ROW ...                         (each row in hex, leftmost pixel in bit 7)
//   end
//
// with one enum line per entry EnumFontFamiliesEx gives, the metrics line on one line, and one
// glyph line per code from first to last whose width is not 0 (or per character given). The probe exits 0 when it could
// write its output, whatever GDI answered.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Entry {
    std::string path;
    std::string face;
    LONG height = 0;                // 0: by name alone, then each listed height
    std::vector<unsigned> unicode;  // characters to draw instead of the codes first to last
};

std::string baseFace(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.substr(0, name.find('.'));
}

std::string windowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::vector<Entry> readList(const char* listPath) {
    std::vector<Entry> entries;
    FILE* in = std::fopen(listPath, "rb");
    if (!in) return entries;
    char line[4096];
    while (std::fgets(line, sizeof line, in)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (text.empty()) continue;
        size_t tab = text.find('\t');
        Entry e;
        e.path = text.substr(0, tab);
        std::istringstream fields(tab == std::string::npos ? "" : text.substr(tab + 1));
        std::string height, codes;
        if (!std::getline(fields, e.face, '\t')) e.face = baseFace(e.path);
        if (std::getline(fields, height, '\t') && std::getline(fields, codes)) {
            e.height = std::atol(height.c_str());
            std::istringstream list(codes);
            for (std::string code; std::getline(list, code, ',');)
                e.unicode.push_back(static_cast<unsigned>(std::strtoul(code.c_str(), nullptr, 10)));
        }
        entries.push_back(e);
    }
    std::fclose(in);
    return entries;
}

// What tells the fonts of one face apart in a selection: height, character set, italic flag.
using Variant = std::tuple<LONG, BYTE, BYTE>;

struct EnumState {
    FILE* out;
    std::set<Variant> variants;
};

int CALLBACK listFont(const LOGFONTA* logFont, const TEXTMETRICA*, DWORD fontType, LPARAM param) {
    auto* state = reinterpret_cast<EnumState*>(param);
    std::fprintf(state->out,
                 "enum face=%s height=%ld avgwidth=%ld weight=%ld italic=%u charset=%u pitchfamily=0x%02X "
                 "raster=%u truetype=%u\n",
                 logFont->lfFaceName, logFont->lfHeight, logFont->lfWidth, logFont->lfWeight,
                 logFont->lfItalic, logFont->lfCharSet, logFont->lfPitchAndFamily,
                 (fontType & RASTER_FONTTYPE) ? 1u : 0u, (fontType & TRUETYPE_FONTTYPE) ? 1u : 0u);
    state->variants.insert({logFont->lfHeight, logFont->lfCharSet, logFont->lfItalic});
    return 1;
}

// Draws one character alone, white on black, into a 1-bit top-down DIB section of the
// character's width and the font's height, and prints its rows. `unicode`: the code is a Unicode
// character, drawn with the wide call; otherwise a byte of the font's character set.
void printGlyph(FILE* out, HDC dc, HFONT font, unsigned code, int width, int height, bool unicode) {
    BITMAPINFO* info = static_cast<BITMAPINFO*>(std::calloc(1, sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD)));
    if (!info) return;
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = -height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 1;
    info->bmiHeader.biCompression = BI_RGB;
    info->bmiColors[1].rgbRed = info->bmiColors[1].rgbGreen = info->bmiColors[1].rgbBlue = 255;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::free(info);
    if (!bitmap || !bits) {
        std::fprintf(out, "glyph %u error CreateDIBSection\n", code);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font);
    PatBlt(dc, 0, 0, width, height, BLACKNESS);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, OPAQUE);
    SetTextAlign(dc, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    // The byte as it is: no reordering or shaping of the page's script (Hebrew points, Thai).
    char text = static_cast<char>(code);
    wchar_t wide = static_cast<wchar_t>(code);
    BOOL drawn = unicode ? ExtTextOutW(dc, 0, 0, ETO_IGNORELANGUAGE, nullptr, &wide, 1, nullptr)
                         : ExtTextOutA(dc, 0, 0, ETO_IGNORELANGUAGE, nullptr, &text, 1, nullptr);
    GdiFlush();
    std::fprintf(out, "glyph %u", code);
    if (!drawn) std::fprintf(out, " error ExtTextOut");
    const int stride = (width + 31) / 32 * 4;
    const int rowBytes = (width + 7) / 8;
    for (int y = 0; drawn && y < height; ++y) {
        const unsigned char* row = static_cast<const unsigned char*>(bits) + static_cast<size_t>(y) * stride;
        std::fputc(' ', out);
        for (int k = 0; k < rowBytes; ++k) {
            unsigned byte = row[k];
            if (k == rowBytes - 1 && width % 8) byte &= 0xFFu << (8 - width % 8) & 0xFFu;
            std::fprintf(out, "%02X", byte);
        }
    }
    std::fputc('\n', out);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
}

void probeSelection(FILE* out, HDC dc, const std::string& face, const Variant& variant,
                    const std::vector<unsigned>& unicode = {}) {
    LOGFONTA want = {};
    std::tie(want.lfHeight, want.lfCharSet, want.lfItalic) = variant;
    std::fprintf(out, "select height=%ld charset=%u italic=%u\n", want.lfHeight, want.lfCharSet, want.lfItalic);
    std::strncpy(want.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectA(&want);
    if (!font) {
        std::fprintf(out, "error CreateFontIndirect\n");
        return;
    }
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm = {};
    char chosen[LF_FACESIZE] = {};
    if (!GetTextMetricsA(dc, &tm) || !GetTextFaceA(dc, sizeof chosen, chosen)) {
        std::fprintf(out, "error GetTextMetrics\n");
        SelectObject(dc, old);
        DeleteObject(font);
        return;
    }
    std::fprintf(out,
                 "metrics face=%s height=%ld ascent=%ld descent=%ld internal=%ld external=%ld avgwidth=%ld "
                 "maxwidth=%ld weight=%ld italic=%u charset=%u pitchfamily=0x%02X first=%u last=%u default=%u "
                 "break=%u\n",
                 chosen, tm.tmHeight, tm.tmAscent, tm.tmDescent, tm.tmInternalLeading, tm.tmExternalLeading,
                 tm.tmAveCharWidth, tm.tmMaxCharWidth, tm.tmWeight, tm.tmItalic, tm.tmCharSet,
                 tm.tmPitchAndFamily, static_cast<unsigned char>(tm.tmFirstChar),
                 static_cast<unsigned char>(tm.tmLastChar), static_cast<unsigned char>(tm.tmDefaultChar),
                 static_cast<unsigned char>(tm.tmBreakChar));
    INT widths[256] = {};
    std::vector<INT> wide(unicode.size());
    for (size_t i = 0; i < unicode.size(); ++i)
        if (!GetCharWidth32W(dc, unicode[i], unicode[i], &wide[i])) std::fprintf(out, "error GetCharWidth32W\n");
    if (unicode.empty() && !GetCharWidth32A(dc, 0, 255, widths)) std::fprintf(out, "error GetCharWidth32\n");
    std::fprintf(out, "widths");
    for (int w : unicode.empty() ? std::vector<INT>(widths, widths + 256) : wide) std::fprintf(out, " %d", w);
    std::fputc('\n', out);
    SelectObject(dc, old);
    for (size_t i = 0; i < unicode.size(); ++i)
        if (wide[i] > 0 && tm.tmHeight > 0) printGlyph(out, dc, font, unicode[i], wide[i], tm.tmHeight, true);
    if (!unicode.empty()) {
        DeleteObject(font);
        return;
    }
    const unsigned first = static_cast<unsigned char>(tm.tmFirstChar);
    const unsigned last = static_cast<unsigned char>(tm.tmLastChar);
    for (unsigned code = first; code <= last && code < 256; ++code)
        if (widths[code] > 0 && tm.tmHeight > 0) printGlyph(out, dc, font, code, widths[code], tm.tmHeight, false);
    DeleteObject(font);
}

void probeFile(FILE* out, HDC dc, const Entry& entry) {
    std::fprintf(out, "file %s\n", entry.path.c_str());
    const std::string path = windowsPath(entry.path);
    int added = AddFontResourceExA(path.c_str(), FR_PRIVATE, nullptr);
    std::fprintf(out, "added %d\n", added);
    EnumState state{out, {}};
    LOGFONTA want = {};
    want.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(want.lfFaceName, entry.face.c_str(), LF_FACESIZE - 1);
    EnumFontFamiliesExA(dc, &want, reinterpret_cast<FONTENUMPROCA>(listFont), reinterpret_cast<LPARAM>(&state), 0);
    if (entry.height != 0) {
        probeSelection(out, dc, entry.face, {entry.height, DEFAULT_CHARSET, 0}, entry.unicode);
        state.variants.clear();
    } else {
        probeSelection(out, dc, entry.face, {0, DEFAULT_CHARSET, 0});
    }
    std::set<BYTE> charsets;
    for (const Variant& variant : state.variants) charsets.insert(std::get<1>(variant));
    for (Variant variant : state.variants) {
        if (charsets.size() == 1) std::get<1>(variant) = DEFAULT_CHARSET;
        if (state.variants.size() > 1) probeSelection(out, dc, entry.face, variant);
    }
    if (added > 0) RemoveFontResourceExA(path.c_str(), FR_PRIVATE, nullptr);
    std::fprintf(out, "end\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gdi_probe LIST OUTPUT\n");
        return 2;
    }
    std::vector<Entry> entries = readList(argv[1]);
    FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::fprintf(stderr, "gdi_probe: cannot create %s\n", argv[2]);
        return 1;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    for (const Entry& entry : entries) {
        if (entry.path.rfind("codepage ", 0) == 0) {
            const unsigned page = static_cast<unsigned>(std::atoi(entry.path.c_str() + 9));
            CHARSETINFO info = {};
            const BOOL known = TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<UINT_PTR>(page)), &info,
                                                    TCI_SRCCODEPAGE);
            std::fprintf(out, "codepage %u charset=%d\n", page, known ? static_cast<int>(info.ciCharset) : -1);
            continue;
        }
        probeFile(out, dc, entry);
    }
    DeleteDC(dc);
    return std::fclose(out) == 0 ? 0 : 1;
}
