// Line reading and line matching of the BDF reader: the split of long lines, skipped lines, the
// scanner's conventions, integers and hex pairs.
#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "tests/bdf/bdf_test_util.h"

namespace {
// Every line readBdfLine delivers for `text`.
std::vector<std::string> deliveredLines(const std::string& text) {
    TempDir dir;
    writeFile(dir.path("lines"), text);
    BdfInput input{openFontFile(dir.path("lines").c_str())};
    std::vector<std::string> lines;
    BdfLineBuffer buffer;
    while (const char* line = readBdfLine(input, buffer)) lines.emplace_back(line);
    closeFontFile(input.stream);
    return lines;
}

using Lines = std::vector<std::string>;

TEST(BdfLine, SkipsEmptyAndCommentLinesAndDropsCarriageReturns) {
    EXPECT_EQ(deliveredLines("a\n\nCOMMENT x\nCOMMENTARY\n COMMENT\nb\r\nc\rd\n   \n"),
              (Lines{"a", " COMMENT", "b", "cd", "   "}));
}

TEST(BdfLine, LastLineWithoutLineFeedReadsAsIfItHadOne) {
    EXPECT_EQ(deliveredLines("a\nENDFONT"), (Lines{"a", "ENDFONT"}));
    EXPECT_EQ(deliveredLines("a\nENDFONT\r"), (Lines{"a", "ENDFONT"}));
    EXPECT_EQ(deliveredLines("a\nCOMMENT x"), (Lines{"a"}));
}

TEST(BdfLine, LongLinesSplitAfter1023CharactersLosingOne) {
    std::string exact(1023, 'x');
    EXPECT_EQ(deliveredLines(exact + "\n"), (Lines{exact}));
    // The 1024th character ends the line and is lost; the rest is an empty line.
    EXPECT_EQ(deliveredLines(exact + "y\n"), (Lines{exact}));
    EXPECT_EQ(deliveredLines(exact + "yabc\n"), (Lines{exact, "abc"}));
    // A carriage return at the limit is still just dropped.
    EXPECT_EQ(deliveredLines(exact + "\r\nz\n"), (Lines{exact, "z"}));
}

TEST(BdfLine, NulEndsTheLineText) {
    EXPECT_EQ(deliveredLines(std::string("ab\0cd\n", 6)), (Lines{"ab"}));
    // Nothing before the NUL: an empty line, skipped.
    EXPECT_EQ(deliveredLines(std::string("\0STARTFONT 2.1\nx\n", 17)), (Lines{"x"}));
}

// The rules of line reading, byte by byte, as the format states them.
Lines expectedLines(const std::string& text) {
    Lines lines;
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n' || line.size() == 1023) {
            std::string shown = line.substr(0, line.find('\0'));
            if (!shown.empty() && shown.rfind("COMMENT", 0) != 0) lines.push_back(shown);
            line.clear();
            continue;
        }
        line += c;
    }
    std::string shown = line.substr(0, line.find('\0'));
    if (!shown.empty() && shown.rfind("COMMENT", 0) != 0) lines.push_back(shown);  // no line feed after it
    return lines;
}

TEST(BdfLine, LinesAcrossBufferBoundariesReadAsByteByByte) {
    // Lines are taken from the stream's buffer in runs; each of these puts a line feed, a CR, a
    // split CR LF, a NUL or a line longer than 1023 characters right at an 8192-byte boundary.
    for (std::size_t lead : {8190u, 8191u, 8192u, 8193u}) {
        for (const std::string& tail : {std::string("ab\r\ncd\n"), std::string("\r\nef\n"), std::string("\n\ngh\n"),
                                        std::string("x\0y\nz\n", 6), std::string(1030, 'q') + "\nend\n",
                                        std::string(2100, 'w') + "\r\n"}) {
            std::string text(lead, 'k');
            text[0] = 'A';
            text[lead / 2] = '\n';
            text += tail;
            EXPECT_EQ(deliveredLines(text), expectedLines(text)) << "lead " << lead;
        }
    }
    // Random text over the characters that matter, with runs that make long lines.
    std::mt19937 random(15);
    const std::string alphabet("ab\r\n\0 C", 7);
    std::string text;
    while (text.size() < 60000) {
        char c = alphabet[random() % alphabet.size()];
        text.append(random() % 50 == 0 ? 600 + random() % 900 : 1, c);
    }
    EXPECT_EQ(deliveredLines(text), expectedLines(text));
}

TEST(BdfScan, GlyphLineScanAgreesWithTheFormatScanner) {
    const char* lines[] = {"ENCODING 65",  "ENCODING -1 200", "ENCODING",       "ENCODIN",          "ENCODINGX 5",
                           "ENCODING  \t7   8 9", "ENCODING 1x",   "ENCODING 99999999999", "ENCODING -", "",
                           "BBX 6 13 0 -2", "BBX 6 13 0",     "BBX +6 -13 0 -2 77", "BBX 6 13 0 -2147483649",
                           "SWIDTH 576 0", "SWIDTH 576",      "DWIDTH 6 0x",    "DWIDTH\t6\t0",   "DWIDTH6 0"};
    const struct {
        const char* keyword;
        const char* format;
        int count;
    } shapes[] = {{"ENCODING", "ENCODING %d %d", 2}, {"BBX", "BBX %d %d %d %d", 4},
                  {"SWIDTH", "SWIDTH %d %d", 2}, {"DWIDTH", "DWIDTH %d %d", 2}};
    for (const auto& shape : shapes) {
        for (const char* line : lines) {
            ScanValues general, keyword;
            int expected = scanLine(line, shape.format, general);
            EXPECT_EQ(scanKeywordIntegers(line, shape.keyword, shape.count, keyword), expected)
                << shape.format << " on \"" << line << '"';
            for (int i = 0; i < expected; ++i)
                EXPECT_EQ(keyword.integers[static_cast<std::size_t>(i)], general.integers[static_cast<std::size_t>(i)]);
        }
    }
}

TEST(BdfScan, KeywordLinesConvertLikeFormattedInput) {
    ScanValues v;
    EXPECT_EQ(scanLine("ENCODING 65", "ENCODING %d %d", v), 1);
    EXPECT_EQ(v.integers[0], 65);
    EXPECT_EQ(scanLine("ENCODING\t-1   +66 trailing", "ENCODING %d %d", v), 2);
    EXPECT_EQ(v.integers[0], -1);
    EXPECT_EQ(v.integers[1], 66);
    EXPECT_EQ(scanLine("ENCODING x", "ENCODING %d %d", v), 0);
    EXPECT_LT(scanLine("ENCODING", "ENCODING %d %d", v), 1);
    EXPECT_EQ(scanLine("ENCODINGS 5", "ENCODING %d %d", v), 0);
    // A blank in the format matches no white space as well.
    EXPECT_EQ(scanLine("BBX5 7 0 -2", "BBX %d %d %d %d", v), 4);
    EXPECT_EQ(v.integers[3], -2);
    EXPECT_EQ(scanLine("BBX 5 7 0 - 2", "BBX %d %d %d %d", v), 3);

    EXPECT_EQ(scanLine("STARTFONT 2.1 extra", "STARTFONT %s", v), 1);
    EXPECT_EQ(v.texts[0], "2.1");
    EXPECT_EQ(scanLine("FONT  -misc-fixed-  ", "FONT %[^\n]", v), 1);
    EXPECT_EQ(v.texts[0], "-misc-fixed-  ");
    EXPECT_LT(scanLine("FONT", "FONT %[^\n]", v), 1);
    EXPECT_EQ(scanLine("  NAME \"a b\" c", "%s%s%s", v), 3);
    EXPECT_EQ(v.texts[1], "\"a");
}

TEST(BdfScan, IntegersOutsideThirtyTwoBitsAreRefused) {
    ScanValues v;
    EXPECT_EQ(scanLine("CHARS 2147483647", "CHARS %d", v), 1);
    EXPECT_EQ(v.integers[0], 2147483647);
    EXPECT_EQ(scanLine("CHARS -2147483648", "CHARS %d", v), 1);
    EXPECT_EQ(v.integers[0], -2147483647 - 1);
    EXPECT_EQ(scanLine("CHARS 2147483648", "CHARS %d", v), ScanOverflow);
    EXPECT_EQ(scanLine("ENCODING 65 99999999999999999999", "ENCODING %d %d", v), ScanOverflow);
}

// Texts in the shape of reals (sign, 0x, digits, point, exponent and its sign, the words) with
// stray characters among them, from a fixed seed.
std::vector<std::string> realLikeTexts(std::size_t count) {
    std::vector<std::string> texts = {"8",   "8.5",  "+12.",     ".5e2", "25E-1", "-3",     "0x10", "0X1.8p1",
                                      "inf", "INF",  "infinity", "infinit", "nan", "NaN(1)", "0x",  "0x.",
                                      "0xp", "1e",   "1e+",      ".",    "-.e5",  "1e39",   "1e-50", "0x1p-140"};
    const std::vector<std::string> pieces = {"", "+", "-", "0", "0x", "0X", "7", "12", "a", "F", ".", "e", "E",
                                             "p", "P", "+", "-", "3", "inf", "nan", "ity", "i", "(", "x", " "};
    std::uint32_t x = 2024;
    auto next = [&x](std::uint32_t n) {
        x = x * 1664525u + 1013904223u;
        return (x >> 8) % n;
    };
    while (texts.size() < count) {
        std::string text;
        for (std::uint32_t k = 1 + next(6); k > 0; --k) text += pieces[next(static_cast<std::uint32_t>(pieces.size()))];
        texts.push_back(text.substr(0, 9));  // the integers read after it stay within 32 bits
    }
    return texts;
}

TEST(BdfScan, RealsReadAsTheCLibraryPercentFDoes) {
    // The count converted, the value bit for bit, and where the real ended (the integers after it)
    // agree with sscanf, except that a text whose value lies outside float's range is refused.
    for (const std::string& text : realLikeTexts(5000)) {
        const std::string line = "SIZE " + text + " 7 9";
        float real = 0;
        int first = 0, second = 0;
        errno = 0;
        const int expected = std::sscanf(line.c_str(), "SIZE %f%d%d", &real, &first, &second);
        const bool outOfRange = errno == ERANGE;
        ScanValues v;
        const int got = scanLine(line.c_str(), "SIZE %f%d%d", v);
        if (got == ScanOverflow) {
            EXPECT_TRUE(outOfRange || (expected >= 1 && std::fabs(real) < FLT_MIN)) << line;
            continue;
        }
        EXPECT_FALSE(outOfRange && std::isinf(real)) << line;
        ASSERT_EQ(got, expected) << line;
        if (got >= 1 && std::isnan(real)) {
            EXPECT_TRUE(std::isnan(v.real) && std::signbit(v.real) == std::signbit(real)) << line;
        } else if (got >= 1) {
            EXPECT_EQ(std::memcmp(&v.real, &real, sizeof real), 0) << line << ": " << v.real << " vs " << real;
        }
        if (got >= 2) {
            EXPECT_EQ(v.integers[0], first) << line;
        }
        if (got >= 3) {
            EXPECT_EQ(v.integers[1], second) << line;
        }
    }
}

TEST(BdfText, IntegerTextAndHexPairs) {
    EXPECT_TRUE(isIntegerText("12"));
    EXPECT_TRUE(isIntegerText("+7"));
    EXPECT_TRUE(isIntegerText("-"));
    EXPECT_FALSE(isIntegerText("12a"));
    EXPECT_FALSE(isIntegerText("1-2"));
    EXPECT_FALSE(isIntegerText(""));
    std::int32_t value = 1;
    EXPECT_TRUE(integerTextValue("-", value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(integerTextValue("+42", value));
    EXPECT_EQ(value, 42);
    EXPECT_FALSE(integerTextValue("4294967296", value));

    EXPECT_EQ(hexPairValue("fF"), 0xFF);
    EXPECT_EQ(hexPairValue("1G"), 0x01);
    EXPECT_EQ(hexPairValue("G1"), 0x01);
    EXPECT_EQ(hexPairValue("zz"), 0x00);
    EXPECT_EQ(hexPairValue("7"), 0x07);  // NUL ends the pair
    EXPECT_EQ(hexPairValue(""), 0x00);
}
}  // namespace
