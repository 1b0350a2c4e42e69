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

bool readPropertyLine(const char* line, Font& font, BdfLoadState& state) {
    while (*line == ' ' || *line == '\t' || *line == '\n' || *line == '\v' || *line == '\f' || *line == '\r')
        ++line;
    ScanValues words;
    int count = scanLine(line, "%s%s%s", words);
    bool quoted = count >= 2 && words.texts[1][0] == '"';
    std::string_view name = words.texts[0];
    FontProperty entry{};
    bool isString = false;
    if (count == 2 && !quoted) {
        if (!isIntegerText(words.texts[1])) return false;
        if (!integerTextValue(words.texts[1], entry.value)) return false;
    } else if ((count == 2 || count == 3) && quoted) {
        // The name ended at white space, so one character past it is still inside the line.
        Atom value = parseStringValue(name.data() + name.size() + 1);
        if (value == 0) return false;
        entry.value = static_cast<std::int32_t>(value);
        isString = true;
    } else {
        return false;
    }
    // The value was interned first: atom numbers follow the order the texts were met.
    entry.name = internText(name);
    if (entry.name == 0) return false;
    if (noteSpecialProperty(font, entry, isString, font.info.propertyCount(), state)) return true;
    storeProperty(font, entry.name, entry.value, isString);
    return true;
}

bool appendMissingProperties(Font& font, BdfLoadState& state) {
    std::int32_t value = 0;
    if (state.pointSizeProperty == NoProperty) {
        if (!truncatedValue(static_cast<double>(state.pointSize) * 10.0, value)) return false;
        if (appendProperty(font, "POINT_SIZE", value, false) == NoProperty) return false;
    }
    if (state.fontProperty == NoProperty) {
        Atom name = internText("FONT");
        Atom text = internText(state.fontLineText);
        if (name == 0 || text == 0) return false;
        storeProperty(font, name, static_cast<std::int32_t>(text), true);
    }
    if (state.weightProperty == NoProperty) {
        state.weightProperty = appendProperty(font, "WEIGHT", -1, false);
        if (state.weightProperty == NoProperty) return false;
    }
    if (state.resolutionProperty == NoProperty && state.xResolution == state.yResolution) {
        if (!truncatedValue(state.xResolution * 100.0 * PointsPerInchInverse, value)) return false;
        if (appendProperty(font, "RESOLUTION", value, false) == NoProperty) return false;
    }
    if (state.resolutionXProperty == NoProperty &&
        appendProperty(font, "RESOLUTION_X", state.xResolution, false) == NoProperty)
        return false;
    if (state.resolutionYProperty == NoProperty &&
        appendProperty(font, "RESOLUTION_Y", state.yResolution, false) == NoProperty)
        return false;
    if (state.xHeightProperty == NoProperty) {
        state.xHeightProperty = appendProperty(font, "X_HEIGHT", -1, false);
        if (state.xHeightProperty == NoProperty) return false;
    }
    if (state.quadWidthProperty == NoProperty) {
        state.quadWidthProperty = appendProperty(font, "QUAD_WIDTH", -1, false);
        if (state.quadWidthProperty == NoProperty) return false;
    }
    return true;
}

bool readPropertyBlock(FontStream* stream, Font& font, BdfLoadState& state, std::int32_t count) {
    std::size_t room = static_cast<std::size_t>(std::clamp(count, 0, InitialPropertyRoom)) + AppendedPropertyCount;
    font.info.properties.reserve(room);
    font.info.propertyIsString.reserve(room);

    BdfLineBuffer buffer;
    for (std::int32_t i = 0; i < count; ++i) {
        const char* line = readBdfLine(stream, buffer);
        // ENDPROPERTIES here means the file declared more properties than it holds.
        if (!line || hasPrefix(line, "ENDPROPERTIES")) return false;
        if (!readPropertyLine(line, font, state)) return false;
    }
    const char* line = readBdfLine(stream, buffer);
    if (!line || !hasPrefix(line, "ENDPROPERTIES")) return false;
    if (!state.ascentSeen || !state.descentSeen) return false;
    return appendMissingProperties(font, state);
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

bool readBdfHeader(FontStream* stream, BdfLoadState& state) {
    BdfLineBuffer buffer;
    ScanValues values;
    const char* line = readBdfLine(stream, buffer);
    if (!line || scanLine(line, "STARTFONT %s", values) != 1 || values.texts[0] != "2.1") return false;

    line = readBdfLine(stream, buffer);
    if (!line || scanLine(line, "FONT %[^\n]", values) != 1) return false;
    state.fontLineText.assign(values.texts[0]);

    line = readBdfLine(stream, buffer);
    if (!line || !hasPrefix(line, "SIZE") || scanLine(line, "SIZE %f%d%d", values) != 3) return false;
    state.pointSize = values.real;
    state.xResolution = values.integers[0];
    state.yResolution = values.integers[1];
    if (!(state.pointSize >= 1.0f) || state.xResolution < 1 || state.yResolution < 1) return false;

    // The box is recomputed from the glyphs; its numbers are not read.
    line = readBdfLine(stream, buffer);
    return line && hasPrefix(line, "FONTBOUNDINGBOX");
}

bool readBdfProperties(FontStream* stream, Font& font, BdfLoadState& state) {
    BdfLineBuffer buffer;
    ScanValues values;
    const char* line = readBdfLine(stream, buffer);
    if (!line || !hasPrefix(line, "STARTPROPERTIES") || scanLine(line, "STARTPROPERTIES %d", values) != 1)
        return false;
    ModelVector<FontProperty>().swap(font.info.properties);
    ByteVector().swap(font.info.propertyIsString);
    if (readPropertyBlock(stream, font, state, values.integers[0])) return true;
    ModelVector<FontProperty>().swap(font.info.properties);
    ByteVector().swap(font.info.propertyIsString);
    return false;
}
