// The Windows GUI binding (varnelw.exe, corvanew.exe): no console is opened, and each message
// is a message box.
#include <cstdarg>
#include <string>

#include "front/messages.h"
#include "front/platform_win32.h"
#include "front/run.h"
#include "stream/file_calls.h"

namespace {
// No owner window: the programs never open one.
void showBox(const std::string& text, UINT style) {
    MessageBoxW(nullptr, utf16FromUtf8(text).c_str(), utf16FromUtf8(MessageCaption).c_str(), style);
}
}  // namespace

void reportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = formatMessage(format, args);
    va_end(args);
    showBox(message, MB_ICONWARNING | MB_OK);  // 0x30
}

// The text ends in a line feed, which a box would show as an empty last line.
void showInformation(const std::string& text) {
    showBox(text.substr(0, text.find_last_not_of('\n') + 1), MB_ICONINFORMATION | MB_OK);
}

extern "C" int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return runWindowsProgram(); }
