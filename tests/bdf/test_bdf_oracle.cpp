// Real fonts against FreeType: BDF files made from Debian's misc and 75dpi PCF fonts with pcf2bdf
// must load with every encoded glyph's metrics and pixels equal to what FreeType's BDF driver reads
// from the same file, in every bitmap layout the command line can ask for.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "font/bitmap.h"
#include "tests/bdf/bdf_test_util.h"
#include "tests/support/freetype_oracle.h"

namespace {
struct Layout {
    int bitOrder;
    int byteOrder;
    int glyphPad;
    int scanUnit;
};

std::string describe(const Layout& l) {
    return "bit " + std::to_string(l.bitOrder) + " byte " + std::to_string(l.byteOrder) + " pad " +
           std::to_string(l.glyphPad) + " unit " + std::to_string(l.scanUnit);
}

std::vector<Layout> everyLayout() {
    std::vector<Layout> layouts;
    for (int bit : {0, 1})
        for (int byte : {0, 1})
            for (int pad : {1, 2, 4, 8})
                for (int unit : {1, 2, 4}) layouts.push_back({bit, byte, pad, unit});
    return layouts;
}

// The BDF files, made once for the whole program; the folder goes with the process.
class RealBdfFonts {
public:
    // Every third font keeps the run short while covering every family and size range; where the
    // corpus is sampled (corpusStride), every tenth.
    static std::size_t step() { return std::max<std::size_t>(3, corpusStride()); }
    static RealBdfFonts& instance() {
        static RealBdfFonts fonts;
        return fonts;
    }
    const std::vector<std::string>& paths() const { return paths_; }

private:
    RealBdfFonts() {
        std::vector<std::string> sources = realFontFiles({"misc", "75dpi"});
        for (std::size_t i = 0; i < sources.size(); i += step()) {
            std::string base = sources[i].substr(sources[i].rfind('/') + 1);
            std::string pcf = dir_.path(base + ".pcf");
            std::string bdf = dir_.path(base + ".bdf");
            if (gunzipFile(sources[i], pcf) && pcfToBdf(pcf, bdf)) paths_.push_back(bdf);
        }
    }
    TempDir dir_;
    std::vector<std::string> paths_;
};

// Pixel (x, y) of a loaded glyph with the requested layout undone.
class LogicalBitmap {
public:
    LogicalBitmap(const Glyph& glyph, const Layout& layout)
        : width_(glyph.metrics.rightBearing - glyph.metrics.leftBearing),
          height_(glyph.metrics.ascent + glyph.metrics.descent),
          rowBytes_(paddedRowBytes(width_, layout.glyphPad)) {
        std::size_t size = height_ > 0 && rowBytes_ > 0 ? static_cast<std::size_t>(height_) * rowBytes_ : 0;
        if (size == 0 || !glyph.bitmap) return;
        bytes_.assign(glyph.bitmap, glyph.bitmap + size);
        if (layout.bitOrder != layout.byteOrder) {
            if (layout.scanUnit == 2) swapTwoBytes(bytes_.data(), static_cast<std::int64_t>(size));
            if (layout.scanUnit == 4) swapFourBytes(bytes_.data(), static_cast<std::int64_t>(size));
        }
        if (layout.bitOrder == 0) invertBitOrder(bytes_.data(), static_cast<std::int64_t>(size));
    }
    bool pixel(int x, int y) const {
        return (bytes_[static_cast<std::size_t>(y) * rowBytes_ + x / 8] & (0x80 >> (x % 8))) != 0;
    }
    int setPixels() const {
        int n = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) n += pixel(x, y);
        return n;
    }
    bool empty() const { return bytes_.empty(); }
    // Padding bytes and bits past the width must stay clear in every layout.
    bool paddingClear() const {
        for (int y = 0; y < height_; ++y)
            for (int x = width_; x < rowBytes_ * 8; ++x)
                if (pixel(x, y)) return false;
        return true;
    }

private:
    int width_;
    int height_;
    int rowBytes_;
    std::vector<std::uint8_t> bytes_;
};

// Ink metrics are the box of the set pixels, whatever the layout they were measured in.
void expectInkOfPixels(const GlyphMetrics& ink, const OracleGlyph& og, const GlyphMetrics& m, const std::string& where) {
    int minX = og.width, maxX = -1, minY = og.rows, maxY = -1;
    for (int y = 0; y < og.rows; ++y)
        for (int x = 0; x < og.width; ++x)
            if (og.pixel(x, y)) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    EXPECT_EQ(ink.advance, m.advance) << where;
    if (maxX < 0) {
        EXPECT_EQ(ink.leftBearing, m.leftBearing) << where;
        EXPECT_EQ(ink.rightBearing, m.leftBearing) << where;
        EXPECT_EQ(ink.ascent, 0) << where;
        EXPECT_EQ(ink.descent, 0) << where;
        return;
    }
    EXPECT_EQ(ink.leftBearing, og.left + minX) << where;
    EXPECT_EQ(ink.rightBearing, og.left + maxX + 1) << where;
    EXPECT_EQ(ink.ascent, og.top - minY) << where;
    EXPECT_EQ(ink.descent, maxY + 1 - og.top) << where;
}

// Compares one loaded font with FreeType's reading; returns the number of glyphs compared.
int compareWithOracle(const std::string& path, const OracleFont& oracle, const Layout& layout) {
    Font font;
    FontStream* stream = openFontFile(path.c_str());
    EXPECT_NE(stream, nullptr) << path;
    if (!stream) return 0;
    int status = readBdfFont(&font, stream, layout.bitOrder, layout.byteOrder, layout.glyphPad, layout.scanUnit, nullptr);
    closeFontFile(stream);
    EXPECT_EQ(status, StatusOk) << path << " " << describe(layout);
    if (status != StatusOk) return 0;

    EXPECT_EQ(font.info.fontAscent, oracle.ascent) << path;
    EXPECT_EQ(font.info.fontDescent, oracle.descent) << path;
    bool padded = (font.info.flags & FlagTerminalCell) != 0;
    int compared = 0;
    std::size_t encodedCells = 0;
    for (const Glyph* g : font.bitmapFont->encoding) encodedCells += g != nullptr;
    std::size_t oracleCells = 0;

    for (const auto& [code, og] : oracle.glyphs) {
        if (code > 0xFFFF) continue;
        ++oracleCells;
        const Glyph* glyph = encodedGlyph(font, code >> 8, code & 0xFF);
        EXPECT_NE(glyph, nullptr) << path << " code " << code;
        if (!glyph) continue;
        const GlyphMetrics& m = glyph->metrics;
        std::string where = path + " code " + std::to_string(code) + " " + describe(layout);
        EXPECT_EQ(m.advance, og.advance) << where;
        bool sameBox = m.leftBearing == og.left && m.ascent == og.top && m.rightBearing - m.leftBearing == og.width &&
                       m.ascent + m.descent == og.rows;
        if (!sameBox) {
            // A font padded into terminal cells has every glyph in the common cell.
            EXPECT_TRUE(padded) << where;
            EXPECT_EQ(m.leftBearing, 0) << where;
            EXPECT_EQ(m.rightBearing, m.advance) << where;
            EXPECT_EQ(m.ascent, font.info.fontAscent) << where;
            EXPECT_EQ(m.descent, font.info.fontDescent) << where;
        }
        LogicalBitmap bitmap(*glyph, layout);
        EXPECT_TRUE(bitmap.paddingClear()) << where;
        // Same pixels relative to the origin; FreeType's set pixels all fall inside our box.
        int oracleSet = 0;
        for (int y = 0; y < og.rows; ++y) {
            for (int x = 0; x < og.width; ++x) {
                if (!og.pixel(x, y)) continue;
                ++oracleSet;
                int ourX = og.left + x - m.leftBearing;
                int ourY = m.ascent - og.top + y;
                bool inside = ourX >= 0 && ourX < m.rightBearing - m.leftBearing && ourY >= 0 &&
                              ourY < m.ascent + m.descent && !bitmap.empty();
                EXPECT_TRUE(inside && bitmap.pixel(ourX, ourY)) << where << " pixel " << x << "," << y;
            }
        }
        EXPECT_EQ(bitmap.empty() ? 0 : bitmap.setPixels(), oracleSet) << where;
        if (font.bitmapFont->inkMetrics) {
            auto index = static_cast<std::size_t>(glyph - font.bitmapFont->glyphs.data());
            expectInkOfPixels((*font.bitmapFont->inkMetrics)[index], og, m, where);
        }
        ++compared;
        if (::testing::Test::HasFailure()) break;  // one broken glyph says enough
    }
    EXPECT_EQ(encodedCells, oracleCells) << path;
    return compared;
}

TEST(BdfOracle, RealFontsMatchFreeTypeInTheDefaultLayout) {
    REQUIRE_INSTALLED("pcf2bdf", XfontsBase, Xfonts75dpi);
    const auto& paths = RealBdfFonts::instance().paths();
    const std::size_t atLeast = 300 / RealBdfFonts::step();
    ASSERT_GE(paths.size(), atLeast);
    int fonts = 0;
    long glyphs = 0;
    for (const auto& path : paths) {
        OracleFont oracle = loadWithFreeType(path);
        ASSERT_TRUE(oracle.error.empty()) << path << ": " << oracle.error;
        int compared = compareWithOracle(path, oracle, Layout{1, 1, 2, 1});
        if (compared > 0) ++fonts;
        glyphs += compared;
        if (HasFailure()) break;
    }
    EXPECT_GE(fonts, static_cast<int>(atLeast));
    RecordProperty("fonts", fonts);
    RecordProperty("glyphs", static_cast<int>(glyphs));
}

TEST(BdfOracle, RealFontsMatchFreeTypeInEveryLayout) {
    REQUIRE_INSTALLED("pcf2bdf", XfontsBase, Xfonts75dpi);
    const auto& paths = RealBdfFonts::instance().paths();
    ASSERT_FALSE(paths.empty());
    // A spread of fonts: different widths (pad and swap cases differ above 8, 16 and 32 pixels).
    std::vector<std::string> subset;
    for (std::size_t i = 0; i < paths.size(); i += paths.size() / 8 + 1) subset.push_back(paths[i]);
    for (const auto& path : subset) {
        OracleFont oracle = loadWithFreeType(path);
        ASSERT_TRUE(oracle.error.empty()) << path;
        for (const Layout& layout : everyLayout()) {
            EXPECT_GT(compareWithOracle(path, oracle, layout), 0) << path << " " << describe(layout);
            if (HasFailure()) return;
        }
    }
}
}  // namespace
