// Bitmap layout conversion: row sizes, bit reversal, byte swaps, re-padding.
#include <gtest/gtest.h>

#include <random>

#include <vector>

#include "font/bitmap.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

TEST(PaddedRowBytes, FollowsThePadRule) {
    EXPECT_EQ(paddedRowBytes(9, 2), 2);
    EXPECT_EQ(paddedRowBytes(17, 2), 4);
    EXPECT_EQ(paddedRowBytes(1, 8), 8);
    EXPECT_EQ(paddedRowBytes(0, 4), 0);
    EXPECT_EQ(paddedRowBytes(10, 3), 0);
    EXPECT_EQ(paddedRowBytes(8, 1), 1);
    EXPECT_EQ(paddedRowBytes(9, 1), 2);
    EXPECT_EQ(paddedRowBytes(33, 4), 8);
    EXPECT_EQ(paddedRowBytes(65535, 8), 8192);
    EXPECT_EQ(paddedRowBytes(-5, 1), 0);
}

TEST(InvertBitOrder, ReversesEachByteAndTwiceRestores) {
    Bytes all(256);
    for (int k = 0; k < 256; ++k) all[k] = static_cast<std::uint8_t>(k);
    Bytes once = all;
    invertBitOrder(once.data(), 256);
    EXPECT_EQ(once[0x01], 0x80);
    EXPECT_EQ(once[0x02], 0x40);
    EXPECT_EQ(once[0x03], 0xC0);
    EXPECT_EQ(once[0x0F], 0xF0);
    EXPECT_EQ(once[0xFF], 0xFF);
    invertBitOrder(once.data(), 256);
    EXPECT_EQ(once, all);
    invertBitOrder(once.data(), 0);
    invertBitOrder(once.data(), -3);
    EXPECT_EQ(once, all);
}

TEST(Swaps, ExchangeUnitsAndLeaveAPartialLastUnit) {
    Bytes b{1, 2, 3, 4};
    swapTwoBytes(b.data(), 4);
    EXPECT_EQ(b, (Bytes{2, 1, 4, 3}));
    Bytes c{1, 2, 3, 4, 5, 6, 7, 8};
    swapFourBytes(c.data(), 8);
    EXPECT_EQ(c, (Bytes{4, 3, 2, 1, 8, 7, 6, 5}));
    // A partial unit at the end stays as it is: nothing beyond the count is touched.
    Bytes d{1, 2, 3, 0xEE};
    swapTwoBytes(d.data(), 3);
    EXPECT_EQ(d, (Bytes{2, 1, 3, 0xEE}));
    Bytes e{1, 2, 3, 4, 5, 6, 0xEE, 0xEE};
    swapFourBytes(e.data(), 6);
    EXPECT_EQ(e, (Bytes{4, 3, 2, 1, 5, 6, 0xEE, 0xEE}));
}

TEST(RepadBitmap, GrowsShrinksAndCopies) {
    // 9 pixels wide, 2 rows, pad 1: 2 bytes a row.
    Bytes source{0xAB, 0x80, 0xCD, 0x00};
    Bytes grown(8, 0xEE);
    EXPECT_EQ(repadBitmap(source.data(), grown.data(), 1, 4, 9, 2), 8);
    EXPECT_EQ(grown, (Bytes{0xAB, 0x80, 0, 0, 0xCD, 0x00, 0, 0}));
    Bytes shrunk(4, 0xEE);
    EXPECT_EQ(repadBitmap(grown.data(), shrunk.data(), 4, 1, 9, 2), 4);
    EXPECT_EQ(shrunk, source);
    Bytes same(4);
    EXPECT_EQ(repadBitmap(source.data(), same.data(), 1, 1, 9, 2), 4);
    EXPECT_EQ(same, source);
    Bytes untouched(4, 0xEE);
    EXPECT_EQ(repadBitmap(source.data(), untouched.data(), 1, 3, 9, 2), 0);
    EXPECT_EQ(untouched, Bytes(4, 0xEE));
    // No pixels: nothing is touched, not even blocks without an address (an empty font's).
    for (int newPad : {1, 2}) EXPECT_EQ(repadBitmap(nullptr, nullptr, 1, newPad, 0, 3), 0);
}

// Narrowing rows in place (the PCF reader's block), by repadBitmap and by the reader's inline
// mover, gives what a copy into a new block gives, for random and edge widths, every pad pair and
// the destination at or before the source.
TEST(RepadBitmap, InPlaceAgreesWithACopy) {
    std::mt19937 random(15);
    for (int trial = 0; trial < 400; ++trial) {
        const int pads[] = {1, 2, 4, 8};
        int oldPad = pads[random() % 4], newPad = pads[random() % 4];
        if (newPad > oldPad) std::swap(oldPad, newPad);
        // Edge widths: one pixel, a whole pad of each size, one past it; then random ones.
        const int edges[] = {1, 8, 9, 16, 32, 33, 64, 65};
        int width = trial < 8 ? edges[trial] : 1 + static_cast<int>(random() % 80);
        int rows = static_cast<int>(random() % 10);
        std::int64_t oldBytes = std::int64_t{rows} * paddedRowBytes(width, oldPad);
        std::size_t shift = random() % 9;  // the glyph's old offset past its new one
        Bytes block(shift + static_cast<std::size_t>(oldBytes));
        for (auto& b : block) b = static_cast<std::uint8_t>(random());
        Bytes copy(static_cast<std::size_t>(std::int64_t{rows} * paddedRowBytes(width, newPad)));
        Bytes inlineBlock = block;
        std::int64_t copied = repadBitmap(block.data() + shift, copy.data(), oldPad, newPad, width, rows);
        std::int64_t moved = repadBitmap(block.data() + shift, block.data(), oldPad, newPad, width, rows);
        std::int64_t movedInline = narrowRowsAtShifts(inlineBlock.data() + shift, inlineBlock.data(), padShift(oldPad),
                                                      padShift(newPad), width, rows);
        ASSERT_EQ(moved, copied);
        ASSERT_EQ(movedInline, copied);
        EXPECT_EQ(Bytes(block.begin(), block.begin() + moved), copy)
            << "width " << width << " rows " << rows << " pads " << oldPad << "->" << newPad;
        EXPECT_EQ(Bytes(inlineBlock.begin(), inlineBlock.begin() + movedInline), copy)
            << "inline: width " << width << " rows " << rows << " pads " << oldPad << "->" << newPad;
    }
}
}  // namespace
