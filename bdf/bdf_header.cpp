// BDF header (STARTFONT to FONTBOUNDINGBOX) and property block: special names taken out into font
// fields, remembered entries, and the properties appended when the file lacks them. Owns no state.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "bdf/bdf_steps.h"

namespace {
// Room reserved before the property lines arrive; a larger declared count grows the arrays line by
// line, so a short file declaring millions of properties costs nothing.
constexpr std::int32_t InitialPropertyRoom = 64;
// At most this many properties are appended after the file's own.
constexpr std::int32_t AppendedPropertyCount = 8;

// 1 / 72.27 as the double the resolution conversion has always used.
constexpr double PointsPerInchInverse = 0.013837000138370002;

Atom internText(std::string_view text) {
    return internAtom(text.data(), static_cast<std::int32_t>(text.size()), 1);
}

// Truncates toward zero; false when the result leaves the 32-bit range (or is not a number).
bool truncatedValue(double value, std::int32_t& result) {
    double t = std::trunc(value);
    if (!(t >= -2147483648.0 && t <= 2147483647.0)) return false;
    result = static_cast<std::int32_t>(t);
    return true;
}

void storeProperty(Font& font, Atom name, std::int32_t value, bool isString) {
    font.info.properties.push_back(FontProperty{name, value});
    font.info.propertyIsString.push_back(isString ? 1 : 0);
}

// Appends a property whose name is interned here; returns its index, or NoProperty on failure.
std::int32_t appendProperty(Font& font, const char* name, std::int32_t value, bool isString) {
    Atom atom = internText(name);
    if (atom == 0) return NoProperty;
    std::int32_t index = font.info.propertyCount();
    storeProperty(font, atom, value, isString);
    return index;
}

// True unless `text` holds a quoted value that the line ends inside (parseStringValue's one refusal
// besides memory).
bool closesQuote(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text != '"') return true;
    for (const char* p = text + 1; *p != '\0'; ++p) {
        if (*p != '"') continue;
        if (p[1] != '"') return true;
        ++p;  // a doubled quote stands for one
    }
    return false;
}

bool outOfMemory(const BdfInput& input) { return refuseLine(input, nullptr, "out of memory"); }

bool readPropertyLine(const BdfInput& input, const char* text, Font& font, BdfLoadState& state) {
    const char* line = text;
    while (*line == ' ' || *line == '\t' || *line == '\n' || *line == '\v' || *line == '\f' || *line == '\r')
        ++line;
    ScanValues words;
    int count = scanLine(line, "%s%s%s", words);
    bool quoted = count >= 2 && words.texts[1][0] == '"';
    std::string_view name = words.texts[0];
    FontProperty entry{};
    bool isString = false;
    if (count == 2 && !quoted) {
        if (!isIntegerText(words.texts[1])) return refuseLine(input, text, "an integer or a quoted value expected");
        if (!integerTextValue(words.texts[1], entry.value)) return refuseLine(input, text, "a value past 32 bits");
    } else if ((count == 2 || count == 3) && quoted) {
        // The name ended at white space, so one character past it is still inside the line.
        const char* value = name.data() + name.size() + 1;
        Atom atom = parseStringValue(value);
        if (atom == 0) {
            if (!closesQuote(value)) return refuseLine(input, text, "a quoted value without its closing quote");
            return outOfMemory(input);
        }
        entry.value = static_cast<std::int32_t>(atom);
        isString = true;
    } else {
        return refuseLine(input, text, "a property name and one value expected");
    }
    // The value was interned first: atom numbers follow the order the texts were met.
    entry.name = internText(name);
    if (entry.name == 0) return outOfMemory(input);
    if (noteSpecialProperty(font, entry, isString, font.info.propertyCount(), state)) return true;
    storeProperty(font, entry.name, entry.value, isString);
    return true;
}

// Refuses the properties that the block's end adds (at its ENDPROPERTIES line) for want of memory
// or for a value that does not fit; false when one cannot be made.
bool appendMissingProperties(const BdfInput& input, Font& font, BdfLoadState& state) {
    std::int32_t value = 0;
    if (state.pointSizeProperty == NoProperty) {
        if (!truncatedValue(static_cast<double>(state.pointSize) * 10.0, value))
            return refuseLine(input, nullptr, "POINT_SIZE from the SIZE line's point size is past 32 bits");
        if (appendProperty(font, "POINT_SIZE", value, false) == NoProperty) return outOfMemory(input);
    }
    if (state.fontProperty == NoProperty) {
        Atom name = internText("FONT");
        Atom text = internText(state.fontLineText);
        if (name == 0 || text == 0) return outOfMemory(input);
        storeProperty(font, name, static_cast<std::int32_t>(text), true);
    }
    if (state.weightProperty == NoProperty) {
        state.weightProperty = appendProperty(font, "WEIGHT", -1, false);
        if (state.weightProperty == NoProperty) return outOfMemory(input);
    }
    if (state.resolutionProperty == NoProperty && state.xResolution == state.yResolution) {
        if (!truncatedValue(state.xResolution * 100.0 * PointsPerInchInverse, value))
            return refuseLine(input, nullptr, "RESOLUTION from the SIZE line's resolution is past 32 bits");
        if (appendProperty(font, "RESOLUTION", value, false) == NoProperty) return outOfMemory(input);
    }
    if (state.resolutionXProperty == NoProperty &&
        appendProperty(font, "RESOLUTION_X", state.xResolution, false) == NoProperty)
        return outOfMemory(input);
    if (state.resolutionYProperty == NoProperty &&
        appendProperty(font, "RESOLUTION_Y", state.yResolution, false) == NoProperty)
        return outOfMemory(input);
    if (state.xHeightProperty == NoProperty) {
        state.xHeightProperty = appendProperty(font, "X_HEIGHT", -1, false);
        if (state.xHeightProperty == NoProperty) return outOfMemory(input);
    }
    if (state.quadWidthProperty == NoProperty) {
        state.quadWidthProperty = appendProperty(font, "QUAD_WIDTH", -1, false);
        if (state.quadWidthProperty == NoProperty) return outOfMemory(input);
    }
    return true;
}

bool readPropertyBlock(BdfInput& input, Font& font, BdfLoadState& state, std::int32_t count) {
    std::size_t room = static_cast<std::size_t>(std::clamp(count, 0, InitialPropertyRoom)) + AppendedPropertyCount;
    font.info.properties.reserve(room);
    font.info.propertyIsString.reserve(room);

    BdfLineBuffer buffer;
    for (std::int32_t i = 0; i < count; ++i) {
        const char* line = expectBdfLine(input, buffer, "a property");
        if (!line) return false;
        // ENDPROPERTIES here means the file declared more properties than it holds.
        if (hasPrefix(line, "ENDPROPERTIES"))
            return refuseLine(input, line, "only %d of the %d properties declared", static_cast<int>(i),
                              static_cast<int>(count));
        if (!readPropertyLine(input, line, font, state)) return false;
    }
    const char* line = expectBdfLine(input, buffer, "ENDPROPERTIES");
    if (!line) return false;
    if (!hasPrefix(line, "ENDPROPERTIES"))
        return refuseLine(input, line, "ENDPROPERTIES expected after the %d properties declared",
                          static_cast<int>(count));
    if (!state.ascentSeen) return refuseLine(input, line, "no integer FONT_ASCENT among the properties");
    if (!state.descentSeen) return refuseLine(input, line, "no integer FONT_DESCENT among the properties");
    return appendMissingProperties(input, font, state);
}
}  // namespace

Atom parseStringValue(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '\0') return internText("");
    if (*text != '"') {
        const char* end = text;
        while (*end != '\0' && *end != ' ' && *end != '\t' && *end != '\r' && *end != '\n') ++end;
        return internText(std::string_view(text, static_cast<std::size_t>(end - text)));
    }
    ModelVector<char> copy;
    for (const char* p = text + 1;; ++p) {
        if (*p == '\0') return 0;  // no closing quote
        if (*p == '"') {
            if (p[1] != '"') break;
            ++p;  // a doubled quote stands for one
        }
        copy.push_back(*p);
    }
    // An empty vector may have no storage at all; the atom table wants a real pointer.
    if (copy.empty()) return internText("");
    return internText(std::string_view(copy.data(), copy.size()));
}

bool noteSpecialProperty(Font& font, const FontProperty& entry, bool isString, std::int32_t entryIndex,
                         BdfLoadState& state) {
    const char* name = atomName(entry.name);
    if (!name) return false;
    std::string_view n(name);
    // These three become font fields; a text value for them is dropped without effect.
    if (n == "FONT_ASCENT" || n == "FONT_DESCENT" || n == "DEFAULT_CHAR") {
        if (isString) return true;
        if (n == "FONT_ASCENT") {
            font.info.fontAscent = static_cast<std::int16_t>(entry.value);
            state.ascentSeen = true;
        } else if (n == "FONT_DESCENT") {
            font.info.fontDescent = static_cast<std::int16_t>(entry.value);
            state.descentSeen = true;
        } else {
            font.info.defaultChar = static_cast<std::uint16_t>(entry.value);
            state.defaultCharSeen = true;
        }
        return true;
    }
    if (n == "POINT_SIZE") state.pointSizeProperty = entryIndex;
    else if (n == "RESOLUTION") state.resolutionProperty = entryIndex;
    else if (n == "X_HEIGHT") state.xHeightProperty = entryIndex;
    else if (n == "WEIGHT") state.weightProperty = entryIndex;
    else if (n == "QUAD_WIDTH") state.quadWidthProperty = entryIndex;
    else if (n == "FONT") state.fontProperty = entryIndex;
    else if (n == "RESOLUTION_X") state.resolutionXProperty = entryIndex;
    else if (n == "RESOLUTION_Y") state.resolutionYProperty = entryIndex;
    return false;
}

bool readBdfHeader(BdfInput& input, BdfLoadState& state) {
    BdfLineBuffer buffer;
    ScanValues values;
    const char* line = expectBdfLine(input, buffer, "STARTFONT 2.1");
    if (!line) return false;
    if (scanLine(line, "STARTFONT %s", values) != 1) return refuseLine(input, line, "STARTFONT 2.1 expected");
    if (values.texts[0] != "2.1") return refuseLine(input, line, "only version 2.1 is read");

    line = expectBdfLine(input, buffer, "FONT");
    if (!line) return false;
    if (scanLine(line, "FONT %[^\n]", values) != 1) return refuseLine(input, line, "FONT and a name expected");
    state.fontLineText.assign(values.texts[0]);

    line = expectBdfLine(input, buffer, "SIZE");
    if (!line) return false;
    int converted = hasPrefix(line, "SIZE") ? scanLine(line, "SIZE %f%d%d", values) : 0;
    if (converted == ScanOverflow) return refuseLine(input, line, "a number out of range");
    if (converted != 3) return refuseLine(input, line, "SIZE with a point size and two resolutions expected");
    state.pointSize = values.real;
    state.xResolution = values.integers[0];
    state.yResolution = values.integers[1];
    if (!(state.pointSize >= 1.0f)) return refuseLine(input, line, "a point size below 1");
    if (state.xResolution < 1 || state.yResolution < 1) return refuseLine(input, line, "a resolution below 1");

    // The box is recomputed from the glyphs; its numbers are not read.
    line = expectBdfLine(input, buffer, "FONTBOUNDINGBOX");
    if (!line) return false;
    return hasPrefix(line, "FONTBOUNDINGBOX") || refuseLine(input, line, "FONTBOUNDINGBOX expected");
}

bool readBdfProperties(BdfInput& input, Font& font, BdfLoadState& state) {
    BdfLineBuffer buffer;
    ScanValues values;
    const char* line = expectBdfLine(input, buffer, "STARTPROPERTIES");
    if (!line) return false;
    int converted = hasPrefix(line, "STARTPROPERTIES") ? scanLine(line, "STARTPROPERTIES %d", values) : 0;
    if (converted == ScanOverflow) return refuseLine(input, line, "a number out of range");
    if (converted != 1) return refuseLine(input, line, "STARTPROPERTIES and a count expected");
    ModelVector<FontProperty>().swap(font.info.properties);
    ByteVector().swap(font.info.propertyIsString);
    if (readPropertyBlock(input, font, state, values.integers[0])) return true;
    ModelVector<FontProperty>().swap(font.info.properties);
    ByteVector().swap(font.info.propertyIsString);
    return false;
}
