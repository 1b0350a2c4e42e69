// BDF line reading and the two ways a line is matched: the prefix test and a small scanner that
// follows the formatted-input conventions of the format's keyword lines. Owns no state.
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

#include "bdf/bdf_steps.h"

namespace {
constexpr int MaxLineCharacters = BdfLineSize - 1;

bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

const char* skipWhite(const char* in) {
    while (isWhite(*in)) ++in;
    return in;
}

// Formatted input reports an input failure (-1) only before the first conversion.
int endOfInput(int converted) { return converted > 0 ? converted : -1; }

// Converts the decimal digits from `p` (up to `end`, or the first non-digit) into a value of the
// given sign; returns where the digits stop and sets `overflow` when they leave the 32-bit range.
const char* convertDigits(const char* p, const char* end, bool negative, std::int32_t& value, bool& overflow) {
    // One past INT32_MAX is the magnitude of INT32_MIN.
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t magnitude = 0;
    overflow = false;
    for (; p != end && isDigit(*p); ++p) {
        if (!overflow) {
            magnitude = magnitude * 10 + (*p - '0');
            if (magnitude > limit) overflow = true;
        }
    }
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return p;
}

// Reads an optionally signed decimal integer at `in`. Returns false when no digit follows; sets
// `overflow` when the digits leave the 32-bit range.
bool scanInteger(const char*& in, std::int32_t& value, bool& overflow) {
    const char* p = in;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!isDigit(*p)) return false;
    // No end: the line's terminating NUL stops the digits.
    in = convertDigits(p, nullptr, negative, value, overflow);
    return true;
}

char lowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool isHexDigit(char c) { return isDigit(c) || (lowerCase(c) >= 'a' && lowerCase(c) <= 'f'); }

// True when `in` begins with `word` (lower case), letters compared without case.
bool startsWithFolded(const char* in, std::string_view word) {
    for (char w : word)
        if (lowerCase(*in++) != w) return false;
    return true;
}

// Reads a real as the C library's %f conversion does. Its characters are taken by the rules of
// formatted input: an optional sign, then "nan", "inf" or "infinity" (any case; "inf" followed by
// an i must go on to "infinity"), or a mantissa of decimal digits, or of hex digits after 0x, with
// at most one point and an exponent (e or p) whose sign directly follows it. Every character taken
// is consumed, and the value is that of their longest prefix that forms a number, so "1e" reads 1
// and "0x." reads 0. Returns false when the characters hold no number; sets `overflow` when the
// value is finite in the text but does not fit a float.
bool scanReal(const char*& in, float& value, bool& overflow) {
    const char* p = in;
    overflow = false;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    float parsed = 0;
    if (startsWithFolded(p, "nan")) {
        parsed = std::numeric_limits<float>::quiet_NaN();
        p += 3;
    } else if (startsWithFolded(p, "inf")) {
        parsed = std::numeric_limits<float>::infinity();
        p += 3;
        if (lowerCase(*p) == 'i') {
            if (!startsWithFolded(p, "inity")) return false;
            p += 5;
        }
    } else if (lowerCase(*p) == 'n' || lowerCase(*p) == 'i') {
        return false;  // a word begun is a conversion failed
    } else {
        // from_chars takes neither a sign nor the 0x prefix: both are read here.
        bool hex = p[0] == '0' && lowerCase(p[1]) == 'x';
        const char* mantissa = hex ? p + 2 : p;
        const char exponentMark = hex ? 'p' : 'e';
        // A leading 0 of a decimal mantissa is a digit already; the 0 of 0x is not.
        bool digits = false, point = false, exponent = false;
        for (p = mantissa;; ++p) {
            char c = *p;
            if (isDigit(c) || (hex && !exponent && isHexDigit(c))) digits = true;
            else if (exponent && lowerCase(p[-1]) == exponentMark && (c == '+' || c == '-')) continue;
            else if (digits && !exponent && lowerCase(c) == exponentMark) exponent = point = true;
            else if (!point && c == '.') point = true;
            else break;
        }
        // Nothing taken after a sign or after 0x: no number.
        if (p == mantissa) return false;
        std::errc error =
            std::from_chars(mantissa, p, parsed, hex ? std::chars_format::hex : std::chars_format::general).ec;
        if (error == std::errc::invalid_argument) {
            if (!hex) return false;  // a point without digits
            parsed = 0;              // "0x." holds the number 0
        } else if (error != std::errc()) {
            overflow = true;
        }
    }
    value = negative ? -parsed : parsed;
    in = p;
    return true;
}
}  // namespace

const char* readBdfLine(BdfInput& input, BdfLineBuffer& buffer) {
    FontStream* const stream = input.stream;
    char* const first = buffer.data();
    char* const full = first + MaxLineCharacters;
    for (;;) {
        char* out = first;
        const std::int64_t number = input.linesEnded + 1;
        bool ended = false;
        while (!ended) {
            if (!fillBuffer(stream)) {
                if (out == first) return nullptr;
                // A last line without a line feed reads as if it had one.
                ++input.linesEnded;
                break;
            }
            // Straight from the buffered run, without getByte's bookkeeping on every byte: line
            // reading was most of a load. CR is dropped; the byte that overflows a full line ends
            // it and is lost (the rest of that file line follows as a line of the same number).
            const std::uint8_t* p = stream->cursor;
            const std::uint8_t* const end = p + stream->remaining;
            while (p != end) {
                std::uint8_t c = *p++;
                // Every character of a well-formed line lies above CR; only those below need a look.
                if (c > '\r' || (c != '\r' && c != '\n')) {
                    if (out == full) {
                        ended = true;
                        break;
                    }
                    *out++ = static_cast<char>(c);
                } else if (c == '\n') {
                    ++input.linesEnded;
                    ended = true;
                    break;
                }
            }
            stream->remaining -= static_cast<std::int32_t>(p - stream->cursor);
            stream->cursor = const_cast<std::uint8_t*>(p);
        }
        *out = '\0';
        // A NUL byte ends the text, so a line that starts with one is empty.
        if (first[0] == '\0' || hasPrefix(first, "COMMENT")) continue;
        input.lineNumber = number;
        return first;
    }
}

const char* expectBdfLine(BdfInput& input, BdfLineBuffer& buffer, const char* expected) {
    const char* line = readBdfLine(input, buffer);
    if (line) return line;
    const auto lines = static_cast<long long>(input.linesEnded);
    if (lines == 0) noteReason(input.reason, "the file is empty: %s expected", expected);
    else noteReason(input.reason, "the file ends after line %lld: %s expected", lines, expected);
    return nullptr;
}

bool refuseLine(const BdfInput& input, const char* line, const char* format, ...) {
    if (!input.reason || !input.reason->empty()) return false;
    // The start of the line, printable: a binary file's bytes must not reach a terminal.
    constexpr std::size_t Shown = 40;
    char excerpt[Shown + 4] = {};
    std::size_t n = 0;
    for (; line && n < Shown && line[n] != '\0'; ++n) excerpt[n] = line[n] >= ' ' && line[n] < 0x7F ? line[n] : '?';
    if (line && line[n] != '\0') std::strcpy(excerpt + n, "...");
    char where[Shown + 32];
    const auto number = static_cast<long long>(input.lineNumber);
    std::snprintf(where, sizeof where, line ? "line %lld: %s: " : "line %lld: %s", number, excerpt);
    std::va_list args;
    va_start(args, format);
    noteReasonAt(input.reason, where, format, args);
    va_end(args);
    return false;
}

int scanLine(const char* line, const char* format, ScanValues& values) {
    const char* in = line;
    int converted = 0;
    std::size_t integers = 0;
    std::size_t texts = 0;
    const char* f = format;
    while (*f) {
        if (*f == ' ') {
            in = skipWhite(in);
            ++f;
            continue;
        }
        if (*f != '%') {
            if (*in == '\0') return endOfInput(converted);
            if (*in != *f) return converted;
            ++in;
            ++f;
            continue;
        }
        ++f;
        if (*f == 'd') {
            in = skipWhite(in);
            if (*in == '\0') return endOfInput(converted);
            if (integers == values.integers.size()) return converted;
            bool overflow = false;
            if (!scanInteger(in, values.integers[integers], overflow)) return converted;
            if (overflow) return ScanOverflow;
            ++integers;
            ++f;
        } else if (*f == 'f') {
            in = skipWhite(in);
            if (*in == '\0') return endOfInput(converted);
            bool overflow = false;
            if (!scanReal(in, values.real, overflow)) return converted;
            if (overflow) return ScanOverflow;
            ++f;
        } else if (*f == 's') {
            in = skipWhite(in);
            if (*in == '\0') return endOfInput(converted);
            if (texts == values.texts.size()) return converted;
            const char* start = in;
            while (*in != '\0' && !isWhite(*in)) ++in;
            values.texts[texts++] = std::string_view(start, static_cast<std::size_t>(in - start));
            ++f;
        } else if (std::strncmp(f, "[^\n]", 4) == 0) {
            if (*in == '\0') return endOfInput(converted);
            if (texts == values.texts.size()) return converted;
            const char* start = in;
            while (*in != '\0' && *in != '\n') ++in;
            if (in == start) return converted;
            values.texts[texts++] = std::string_view(start, static_cast<std::size_t>(in - start));
            f += 4;
        } else {
            return converted;  // a conversion this scanner does not know
        }
        ++converted;
    }
    return converted;
}

int scanKeywordIntegers(const char* line, std::string_view keyword, int count, ScanValues& values) {
    const char* in = line;
    for (char k : keyword) {
        if (*in == '\0') return -1;
        if (*in != k) return 0;
        ++in;
    }
    int converted = 0;
    for (int i = 0; i < count && i < static_cast<int>(values.integers.size()); ++i) {
        // The blank of the format and the conversion's own skip are one skip.
        in = skipWhite(in);
        if (*in == '\0') return endOfInput(converted);
        bool overflow = false;
        if (!scanInteger(in, values.integers[static_cast<std::size_t>(i)], overflow)) return converted;
        if (overflow) return ScanOverflow;
        ++converted;
    }
    return converted;
}

bool isIntegerText(std::string_view text) {
    if (text.empty()) return false;
    if (!isDigit(text[0]) && text[0] != '+' && text[0] != '-') return false;
    for (std::size_t i = 1; i < text.size(); ++i)
        if (!isDigit(text[i])) return false;
    return true;
}

bool integerTextValue(std::string_view text, std::int32_t& value) {
    bool negative = !text.empty() && text[0] == '-';
    std::size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    bool overflow = false;
    convertDigits(text.data() + i, text.data() + text.size(), negative, value, overflow);
    return !overflow;
}
