// The glyph store's look-ups and the release operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "font/alloc.h"
#include "font/model.h"
#include "tests/font/font_builder.h"

namespace {
// A one-row font with codes first..last, glyph k at code first + k, metrics advance = k + 1.
std::unique_ptr<Font> makeFont(unsigned first, unsigned last, std::vector<unsigned> missing = {}) {
    auto font = std::make_unique<Font>();
    font->bitmapFont = std::make_unique<BitmapFont>();
    BitmapFont& store = *font->bitmapFont;
    unsigned n = last - first + 1;
    store.glyphs.resize(n);
    for (unsigned k = 0; k < n; ++k) store.glyphs[k].metrics.advance = static_cast<std::int16_t>(k + 1);
    store.glyphCount = static_cast<std::int32_t>(n);
    store.encoding.resize(n);
    for (unsigned k = 0; k < n; ++k) store.encoding[k] = &store.glyphs[k];
    font->info.firstColumn = static_cast<std::uint16_t>(first);
    font->info.lastColumn = static_cast<std::uint16_t>(last);
    font->info.flags = FlagAllCodesPresent;
    for (unsigned code : missing) {
        store.encoding[code - first] = nullptr;
        font->info.flags &= ~FlagAllCodesPresent;
    }
    return font;
}

std::vector<Glyph*> lookUp(Font& font, std::vector<std::uint8_t> codes, int kind) {
    int per = kind >= CodesDoubleByteLinear ? 2 : 1;
    std::int32_t count = static_cast<std::int32_t>(codes.size()) / per;
    std::vector<Glyph*> out(static_cast<size_t>(count) + 1);
    std::int32_t written = -1;
    EXPECT_EQ(getGlyphs(&font, count, codes.data(), kind, &written, out.data()), StatusOk);
    out.resize(static_cast<size_t>(written));
    return out;
}

TEST(GetGlyphs, AllCodesWithDefaultGivesOnePointerPerCode) {
    auto font = makeFont(32, 126);
    Glyph* space = &font->bitmapFont->glyphs[0];
    font->bitmapFont->defaultGlyph = space;
    auto out = lookUp(*font, {31, 65, 127, 200}, CodesSingleByte);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], space);
    EXPECT_EQ(out[1], &font->bitmapFont->glyphs[65 - 32]);
    EXPECT_EQ(out[2], space);
    EXPECT_EQ(out[3], space);
}

TEST(GetGlyphs, WithoutDefaultMissingCodesAreDropped) {
    auto font = makeFont(32, 126, {65});
    auto out = lookUp(*font, {31, 65, 66, 127}, CodesSingleByteMatrix);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], &font->bitmapFont->glyphs[66 - 32]);
}

TEST(GetGlyphs, DoubleByteKinds) {
    auto font = makeFont(32, 126);
    auto linear = lookUp(*font, {0x00, 0x41, 0x01, 0x41}, CodesDoubleByteLinear);
    ASSERT_EQ(linear.size(), 1u);
    EXPECT_EQ(linear[0], &font->bitmapFont->glyphs[0x41 - 32]);
    font->info.firstRow = font->info.lastRow = 1;
    auto matrix = lookUp(*font, {0x00, 0x41, 0x01, 0x42}, CodesDoubleByteMatrix);
    ASSERT_EQ(matrix.size(), 1u);
    EXPECT_EQ(matrix[0], &font->bitmapFont->glyphs[0x42 - 32]);
    // One-byte codes on a font whose row is above 0 give nothing.
    EXPECT_TRUE(lookUp(*font, {0x41}, CodesSingleByte).empty());
    EXPECT_TRUE(lookUp(*font, {0x41, 0x41}, 7).empty());
}

TEST(GetMetrics, MissingCodeGivesZeroMetricsAndInkWhenPresent) {
    auto font = makeFont(32, 126, {65});
    BitmapFont& store = *font->bitmapFont;
    store.defaultGlyph = &store.glyphs[0];
    std::vector<std::uint8_t> codes{65, 66};
    std::vector<GlyphMetrics*> out(2);
    std::int32_t written = 0;
    EXPECT_EQ(getMetrics(font.get(), 2, codes.data(), CodesSingleByte, &written, out.data()), StatusOk);
    ASSERT_EQ(written, 2);
    EXPECT_EQ(out[0], &MissingGlyph.metrics);
    EXPECT_EQ(out[0]->advance, 0);
    EXPECT_EQ(out[1], &store.glyphs[66 - 32].metrics);
    EXPECT_EQ(store.defaultGlyph, &store.glyphs[0]);

    store.inkMetrics.emplace(store.glyphs.size());
    EXPECT_EQ(getMetrics(font.get(), 2, codes.data(), CodesSingleByte, &written, out.data()), StatusOk);
    EXPECT_EQ(out[0], &MissingGlyph.metrics);
    EXPECT_EQ(out[1], &(*store.inkMetrics)[66 - 32]);
}

TEST(ReleaseFont, BothKindsFreeEverything) {
    // Under LeakSanitizer a missed block fails the run; here we check the record is left usable.
    auto text = makeFont(0, 9);
    BitmapFont& store = *text->bitmapFont;
    store.ownedBitmaps.resize(10);
    for (int k = 0; k < 10; ++k) {
        store.ownedBitmaps[k].assign(16, 0xFF);
        store.glyphs[k].bitmap = store.ownedBitmaps[k].data();
    }
    store.extras = std::make_unique<FontExtras>();
    text->info.properties.push_back({1, 2});
    text->info.propertyIsString.push_back(0);
    releaseTextFontContents(text.get());
    EXPECT_EQ(text->bitmapFont, nullptr);
    EXPECT_TRUE(text->info.properties.empty());
    releaseTextFont(text.get());

    auto binary = makeFont(0, 9);
    binary->bitmapFont->bitmapBlock.assign(160, 1);
    releaseBinaryFont(binary.get());
    EXPECT_EQ(binary->bitmapFont, nullptr);
}

TEST(Allocation, ZeroBytesGiveABlockAndFailuresAreInjected) {
    void* block = allocate(0);
    EXPECT_NE(block, nullptr);
    release(block);
    release(nullptr);
    failAllocationAt(2);
    void* first = allocate(8);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(resize(first, 16), nullptr);
    void* third = allocate(8);  // only the 2nd call was asked to fail
    EXPECT_NE(third, nullptr);
    release(third);
    failAllocationAt(0);
    release(first);
    ModelVector<int> v;
    failAllocationAt(1);
    EXPECT_THROW(v.resize(10), std::bad_alloc);
    failAllocationAt(0);
}

// Small and large blocks (the large ones mapped apart) keep their bytes through resizing in
// either direction across the sizes where the kind of block changes, and free as either kind.
TEST(Allocation, BlocksKeepTheirBytesAcrossSizes) {
    constexpr std::size_t MiB = std::size_t{1} << 20;
    const std::size_t steps[] = {5 * MiB - 7, 4 * MiB, 2 * MiB, MiB - 1, 9 * MiB, 100};
    std::size_t size = 3 * MiB;
    auto* block = static_cast<unsigned char*>(allocate(size));
    std::memset(block, static_cast<int>(size % 251), size);
    for (std::size_t next : steps) {
        block = static_cast<unsigned char*>(resize(block, next));
        ASSERT_NE(block, nullptr) << next;
        for (std::size_t at : {std::size_t{0}, std::min(size, next) / 2, std::min(size, next) - 1})
            EXPECT_EQ(block[at], static_cast<unsigned char>(size % 251)) << size << " -> " << next;
        size = next;
        std::memset(block, static_cast<int>(size % 251), size);
    }
    release(block);
    release(allocate(6 * MiB));
}
}  // namespace

// Each invariant the readers establish, broken one at a time in an otherwise sound font.
TEST(CheckFontModel, FindsEachBrokenInvariant) {
    static Glyph stray{};
    struct Case {
        const char* broken;
        void (*breakIt)(Font&);
    } cases[] = {
        {"nothing", [](Font&) {}},
        {"no glyph store", [](Font& f) { f.bitmapFont.reset(); }},
        {"glyph count", [](Font& f) { f.bitmapFont->glyphCount = 2; }},
        {"encoding size", [](Font& f) { f.bitmapFont->encoding.pop_back(); }},
        {"encoding entry", [](Font& f) { f.bitmapFont->encoding[1] = &stray; }},
        {"default glyph", [](Font& f) { f.bitmapFont->defaultGlyph = &stray; }},
        {"ink count", [](Font& f) { f.bitmapFont->inkMetrics.emplace(1); }},
        {"short bitmap", [](Font& f) { f.bitmapFont->ownedBitmaps[1].pop_back(); }},
        {"another glyph's bitmap", [](Font& f) { f.bitmapFont->glyphs[1].bitmap = f.bitmapFont->ownedBitmaps[0].data(); }},
        {"pad", [](Font& f) { f.glyphPad = 4; }},
        {"shared block too short", [](Font& f) {
             BitmapFont& store = *f.bitmapFont;
             store.bitmapBlock.assign(2 + 4 * 2 - 1, 0);  // glyph 1 needs 4 rows of 2 bytes after glyph 0's 2
             store.glyphs[0].bitmap = store.bitmapBlock.data();
             store.glyphs[1].bitmap = store.bitmapBlock.data() + 2;
             store.ownedBitmaps.clear();
         }},
    };
    for (const Case& c : cases) {
        Font font;
        buildFont(font, {metrics(0, 8, 8, 1, 0), metrics(0, 3, 4, 3, 1), metrics(0, 0, 0, 0, 0)}, {0, 1, 2}, true, 2);
        c.breakIt(font);
        EXPECT_EQ(checkFontModel(font), c.broken == std::string("nothing")) << c.broken;
    }
}
