// The command line both programs take: the settings of a run, the parse of the words the platform
// binding hands in (one UTF-8 word per argument, the program's own name not among them), and the
// --help and --version texts. To add an option: a field in Settings and a row in the option table
// of options.cpp, which also gives its line of the help text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "font/model.h"
#include "front/messages.h"

struct Settings {
    int bitOrder = 1, byteOrder = 1, glyphPad = 2, scanUnit = 1;  // -m/-l, -M/-L, -p, -u
    std::optional<std::string> outputPath;                        // -o
    std::vector<std::string> inputPaths;  // in command-line order; each becomes one font of the file
    // -c: the pages to write each input in, in the order given; empty without -c. The names are as
    // written on the command line, for the messages.
    std::vector<CodePageRequest> codePages;
    std::vector<std::string> codePageNames;
    bool verbose = false;                 // -v
    std::optional<std::string> previewPath;  // --preview
    int previewScale = 1;                    // --preview-scale
    std::optional<std::string> faceName;     // --face: every font's face name, UTF-8
    // Why the words are a usage error, when a reason can be given, and the word it names.
    std::optional<MessageId> usageReason;
    std::string usageSubject;
};

// What the command line asks for. The first word that is a usage error, --help or --version
// decides; words after it are not looked at.
enum class Request { Run, UsageError, Help, Version };

void defaultBitmapFormat(int* bitOrder, int* byteOrder, int* glyphPad, int* scanUnit);

// Fills `settings` (which starts at the defaults) from `words`.
[[nodiscard]] Request parseCommandLine(const std::vector<std::string>& words, Settings& settings);

// The usage error's message: its reason when it has one, then the usage lines.
std::string usageMessage(const Settings& settings, const ProgramWords& words);

// The usage lines, then one line for each option and what the inputs may be. Ends in a line feed.
std::string helpText(const ProgramWords& words);
// "varnel 1.0": the program and the project's version. Ends in a line feed.
std::string versionText(const ProgramWords& words);
