// The face name of a run's fonts: the one chosen (--face, else the output's base name), kept as
// UTF-8 text for messages and for TrueType, and the bytes each font's header holds, which Windows
// reads in that font's character set.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "font/model.h"

struct Program;   // front/run.h
struct Settings;  // front/options.h

// Windows keeps this many characters of a face name (LOGFONT's 32, the terminator included).
constexpr std::size_t WindowsFaceNameLength = 31;

// The base name of an output path: after the last backslash, then after the last slash, cut at
// the first full stop. With `driveLetters` (on Windows) a leading drive ("Z:drive.fon") goes too.
#if defined(_WIN32)
constexpr bool PathsHaveDrives = true;
#else
constexpr bool PathsHaveDrives = false;
#endif
std::string fontBaseName(const char* outputPath, bool driveLetters = PathsHaveDrives);

// The name the fonts of a run are given: `faceOption` (--face) when set, else the output's base name.
std::string chooseFaceName(const std::optional<std::string>& faceOption, const char* outputPath);

// The face name `name` (UTF-8) as a font of `request` holds it: the bytes of a code page's
// characters, or for a font of no page or of symbol printable ASCII alone. On failure `bytes` is
// unspecified and the result names the first character that cannot be written (U+FFFD for text
// that is not UTF-8).
struct FaceNameBytes {
    bool ok = true;
    std::uint32_t refused = 0;  // the character that has no byte, when not ok
};
[[nodiscard]] FaceNameBytes encodeFaceName(std::string_view name, const CodePageRequest& request, std::string& bytes);

// The face name as the fonts of each page of `settings` hold it, one entry per page (one without
// -c); false after reporting the first page in which it cannot be written.
[[nodiscard]] bool faceNamesOfPages(const Program& program, const Settings& settings, const std::string& faceName,
                                    std::vector<std::string>& bytes);

// -v: the line saying that Windows cuts `faceName`; empty when the name fits.
std::string faceNameNote(const Program& program, const std::string& faceName);
