// The pieces both Windows programs share (see platform_win32.h), and the sinks and file removal
// that the console and the GUI program do alike.
#include "front/platform_win32.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdarg>
#include <string_view>

#include "front/messages.h"
#include "front/run.h"
#include "stream/file_calls.h"

std::vector<std::string> commandLineWords() {
    std::vector<std::string> words;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) return words;
    for (int k = 1; k < count; ++k) words.push_back(utf8FromUtf16(arguments[k]));
    LocalFree(arguments);
    return words;
}

namespace {
// Whether a long name matches the pattern as written: * any run of characters, ? any one, letters
// without case. The search alone matches 8.3 short names too, so "*.bdf" takes "b.bdf~", whose
// short name ends in ".BDF"; each name it finds is held to the pattern again.
bool matchesPattern(std::wstring_view name, std::wstring_view pattern) {
    const auto same = [](wchar_t a, wchar_t b) { return CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL; };
    std::size_t n = 0, p = 0, afterStar = std::wstring_view::npos, starFrom = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            afterStar = ++p;
            starFrom = n;
        } else if (p < pattern.size() && (pattern[p] == L'?' || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (afterStar == std::wstring_view::npos) {
            return false;
        } else {  // the last star takes one character more
            p = afterStar;
            n = ++starFrom;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}
}  // namespace

std::vector<std::string> expandWildcards(const std::string& word) {
    if (word.find_first_of("*?") == std::string::npos) return {word};
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(utf16FromUtf8(word).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                     nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return {word};
    // The search gives bare names: each keeps the folder the pattern was written with (npos + 1
    // is 0, no folder).
    const std::size_t folderEnd = word.find_last_of("\\/:") + 1;
    const std::wstring pattern = utf16FromUtf8(word.substr(folderEnd));
    std::vector<std::wstring> names;
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && matchesPattern(found.cFileName, pattern))
            names.emplace_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    if (names.empty()) return {word};
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    const std::string folder = word.substr(0, folderEnd);
    std::vector<std::string> paths;
    for (const std::wstring& name : names) paths.push_back(folder + utf8FromUtf16(name));
    return paths;
}

void writeStandard(DWORD which, const std::string& text) {
    HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        // A console shows UTF-16; its bytes would be read in the console's code page.
        const std::wstring wide = utf16FromUtf8(text);
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    for (std::size_t done = 0; done < text.size(); done += written)
        if (!WriteFile(handle, text.data() + done, static_cast<DWORD>(text.size() - done), &written, nullptr) ||
            written == 0)
            return;
}

int runWindowsProgram() { return runConversion(thisProgram, commandLineWords(), expandWildcards); }

// Standard error: the console program's, or the GUI program's when it was redirected (else the
// note goes nowhere).
void reportNote(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeStandard(STD_ERROR_HANDLE, captionedLine(format, args));
    va_end(args);
}

// Its result is not examined: a file that cannot be removed has nobody left to report to.
void deleteOutputFile(const char* path) { DeleteFileW(utf16FromUtf8(path).c_str()); }
