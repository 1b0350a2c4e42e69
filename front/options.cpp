// Option parsing for both programs: one table of options drives the parse and writes the help text,
// so the two cannot disagree.
#include "front/options.h"

#include <algorithm>
#include <string_view>

#include "fon/fon_writer.h"
#include "font/code_page.h"

namespace {
// What follows an option's name.
enum class Takes {
    Nothing,  // the word is the name alone
    Digit,    // one of the option's digits, attached and ending the word ("-p4")
    Value,    // the rest of the word ("-oout.fon", "--name=value"), else the next word whatever it is
};

struct Option {
    std::string_view name;  // "-m", "--help"
    Takes takes;
    std::string_view digits;  // Takes::Digit only
    // Applies the option's value; false when it is not one the option takes (a usage error). Null
    // for an option that only asks for a text.
    bool (*apply)(Settings& settings, const std::string& value);
    Request request;  // Help and Version end the parse; Run for the others
    const char* synopsis;  // the help text's left column
    const char* help;      // what it does, filled into lines under itself
};

// A page, or several separated by commas ("1252,1251"); a later -c replaces the whole list.
bool setCodePages(Settings& settings, const std::string& list) {
    settings.codePages.clear();
    settings.codePageNames.clear();
    for (std::size_t start = 0;;) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, comma - start);
        CodePageRequest request;
        if (name == "symbol") request.symbol = true;
        else if (!(request.page = findCodePage(name))) return false;
        settings.codePages.push_back(request);
        settings.codePageNames.push_back(name);
        if (comma == list.size()) return true;
        start = comma + 1;
    }
}

bool setPreviewScale(Settings& settings, const std::string& value) {
    if (value.size() != 1 || value[0] < '1' || value[0] > '8') return false;
    settings.previewScale = value[0] - '0';
    return true;
}

using S = Settings;
using V = const std::string&;
const Option options[] = {
    {"-o", Takes::Value, {}, [](S& s, V v) { s.outputPath = v; return true; }, Request::Run, "-o FILE",
     "the .FON file to write (required); its name up to a first full stop names the fonts unless --face does"},
    {"-p", Takes::Digit, "1248", [](S& s, V v) { s.glyphPad = v[0] - '0'; return true; }, Request::Run,
     "-p1 -p2 -p4 -p8", "pad every bitmap row to this many bytes (default 2)"},
    {"-u", Takes::Digit, "124", [](S& s, V v) { s.scanUnit = v[0] - '0'; return true; }, Request::Run,
     "-u1 -u2 -u4", "the scan unit within which -L swaps bytes (default 1)"},
    {"-m", Takes::Nothing, {}, [](S& s, V) { s.bitOrder = 1; return true; }, Request::Run, "-m",
     "the most significant bit is the leftmost pixel (default)"},
    {"-l", Takes::Nothing, {}, [](S& s, V) { s.bitOrder = 0; return true; }, Request::Run, "-l",
     "the least significant bit is the leftmost pixel"},
    {"-M", Takes::Nothing, {}, [](S& s, V) { s.byteOrder = 1; return true; }, Request::Run, "-M",
     "the most significant byte first in a scan unit (default)"},
    {"-L", Takes::Nothing, {}, [](S& s, V) { s.byteOrder = 0; return true; }, Request::Run, "-L",
     "the least significant byte first in a scan unit"},
    {"-t", Takes::Nothing, {}, [](S&, V) { return true; }, Request::Run, "-t, -i", "accepted; no effect"},
    {"-i", Takes::Nothing, {}, [](S&, V) { return true; }, Request::Run, nullptr, nullptr},
    {"-c", Takes::Value, {}, setCodePages, Request::Run, "-c PAGE[,PAGE]",
     "take the characters of a Windows code page from the font: 1250 to 1258 or 874 (ANSI), "
     "437, 737, 775, 850, 852, 855, 857, 860, 861, 862, 863, 865, 866 or 869 (OEM), "
     "or symbol (the font's own codes, in one row of 256); several pages separated by "
     "commas write each input once per page, one page at most per character set"},
    {"-v", Takes::Nothing, {}, [](S& s, V) { s.verbose = true; return true; }, Request::Run, "-v",
     "a line on standard error for each font written: positions filled, characters missing"},
    {"--face", Takes::Value, {}, [](S& s, V v) { s.faceName = v; return true; }, Request::Run, "--face NAME",
     "the face name Windows lists every font of the file under, written in each font's code page (printable "
     "ASCII without one); Windows keeps 31 characters, and -v tells when it is longer"},
    {"--preview", Takes::Value, {}, [](S& s, V v) { s.previewPath = v; return true; }, Request::Run,
     "--preview FILE.png", "after writing, read the file back and draw it into a PNG picture: each "
     "face's title, its 256 positions in 16 rows of 16, a line of sample text"},
    {"--preview-scale", Takes::Value, {}, setPreviewScale, Request::Run, "--preview-scale N",
     "enlarge the picture's pixels N times, 1 to 8 (default 1)"},
    {"--help", Takes::Nothing, {}, nullptr, Request::Help, "--help", "show this text"},
    {"--version", Takes::Nothing, {}, nullptr, Request::Version, "--version", "show the version"},
};

// `line`, then the blank-separated words of `text` in lines that fit a terminal of 80 columns,
// each line after the first indented by `indent`. Ends in a line feed.
std::string filled(std::string line, std::string_view text, std::size_t indent) {
    constexpr std::size_t Width = 79;
    std::string lines;
    bool wordOnLine = false;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string_view word = text.substr(at, end - at);
        if (wordOnLine && line.size() + 1 + word.size() > Width) {
            lines += line + "\n";
            line.assign(indent, ' ');
            wordOnLine = false;
        }
        if (wordOnLine) line += ' ';
        line += word;
        wordOnLine = true;
        at = end + 1;
    }
    return lines + line + "\n";
}

// A usage error whose message gives `reason`, naming `subject`.
Request usageError(Settings& settings, MessageId reason, std::string subject) {
    settings.usageReason = reason;
    settings.usageSubject = std::move(subject);
    return Request::UsageError;
}

const Option* findOption(std::string_view name) {
    for (const Option& option : options)
        if (option.name == name) return &option;
    return nullptr;
}
}  // namespace

void defaultBitmapFormat(int* bitOrder, int* byteOrder, int* glyphPad, int* scanUnit) {
    *bitOrder = 1;
    *byteOrder = 1;
    *glyphPad = 2;
    *scanUnit = 1;
}

Request parseCommandLine(const std::vector<std::string>& words, Settings& settings) {
    defaultBitmapFormat(&settings.bitOrder, &settings.byteOrder, &settings.glyphPad, &settings.scanUnit);
    bool scaleGiven = false;
    for (std::size_t k = 0; k < words.size(); ++k) {
        const std::string& word = words[k];
        if (word.empty() || word[0] != '-') {
            settings.inputPaths.push_back(word);
            continue;
        }
        // A short option is its first two characters ("-" alone names none); a long one runs to
        // an equals sign, after which its value stands.
        const bool isLong = word.size() > 2 && word[1] == '-';
        const std::size_t nameEnd = isLong ? std::min(word.find('='), word.size()) : std::min<std::size_t>(word.size(), 2);
        const Option* option = findOption(std::string_view(word).substr(0, nameEnd));
        if (!option) return Request::UsageError;
        const bool attached = nameEnd < word.size();
        std::string value;
        switch (option->takes) {
        case Takes::Nothing:
            if (attached) return Request::UsageError;
            break;
        case Takes::Digit:
            if (word.size() != nameEnd + 1 || option->digits.find(word[nameEnd]) == std::string_view::npos)
                return Request::UsageError;
            value = word.substr(nameEnd);
            break;
        case Takes::Value:
            if (attached) value = word.substr(isLong ? nameEnd + 1 : nameEnd);
            else if (++k < words.size()) value = words[k];
            else return Request::UsageError;
            // An empty file, page list or name would fail only after the output is written.
            if (value.empty()) return usageError(settings, MessageWhyEmptyValue, std::string(option->name));
            break;
        }
        scaleGiven = scaleGiven || option->name == "--preview-scale";
        if (option->apply && !option->apply(settings, value)) return Request::UsageError;
        if (option->request != Request::Run) return option->request;
    }
    if (settings.inputPaths.empty() || !settings.outputPath) return Request::UsageError;
    if (scaleGiven && !settings.previewPath) return usageError(settings, MessageWhyScaleAlone, {});
    // The picture must not take the place of the font it shows or of a font it was made from.
    if (const std::optional<std::string>& preview = settings.previewPath) {
        if (*preview == *settings.outputPath) return usageError(settings, MessageWhyPreviewIsOutput, *preview);
        for (const std::string& input : settings.inputPaths)
            if (*preview == input) return usageError(settings, MessageWhyPreviewIsInput, *preview);
    }
    return Request::Run;
}

std::string usageMessage(const Settings& settings, const ProgramWords& words) {
    std::string reason;
    if (settings.usageReason) {
        // The subject is put in as it stands: a path may hold a per cent sign.
        reason = messageFormat(*settings.usageReason, words);
        if (const std::size_t at = reason.find("%s"); at != std::string::npos)
            reason.replace(at, 2, settings.usageSubject);
        reason += "\n";
    }
    return reason + messageFormat(MessageUsage, words);
}

std::string helpText(const ProgramWords& words) {
    constexpr std::size_t Column = 22;
    std::string text = messageFormat(MessageUsage, words) + "\n\n";
    for (const Option& option : options) {
        if (!option.synopsis) continue;  // described with the row above
        std::string line = "  " + std::string(option.synopsis);
        line.resize(std::max(line.size() + 1, Column), ' ');
        text += filled(std::move(line), option.help, Column);
    }
    return text + "\n" +
           filled({}, "Every other word is an input font. Several inputs make one file holding all of them (at most " +
                          std::to_string(MaxFamilyFonts) +
                          " fonts, one per input and page), as Windows ships the sizes of one face. Inputs named "
                          "*.Z or *.gz are expanded as they are read.",
                  0);
}

std::string versionText(const ProgramWords& words) {
    return std::string(words.program) + " " + COMPILE_FONTS_VERSION + "\n";
}
