// Formatting of a reader's reason into its fixed storage.
#include "font/status.h"

#include <cstdarg>
#include <cstdio>

namespace {
void formatReason(ReadReason& reason, const char* format, std::va_list args) {
    // vsnprintf cuts at the storage and always terminates.
    std::vsnprintf(reason.text, ReadReason::Size, format, args);
}
}  // namespace

void noteReason(ReadReason* reason, const char* format, ...) {
    if (!reason || !reason->empty()) return;
    std::va_list args;
    va_start(args, format);
    formatReason(*reason, format, args);
    va_end(args);
}

void noteReasonAt(ReadReason* reason, const char* where, const char* format, std::va_list args) {
    if (!reason || !reason->empty()) return;
    char why[ReadReason::Size];
    std::vsnprintf(why, sizeof why, format, args);
    noteReason(reason, "%s%s", where, why);
}

void replaceReason(ReadReason* reason, const char* format, ...) {
    if (!reason) return;
    std::va_list args;
    va_start(args, format);
    formatReason(*reason, format, args);
    va_end(args);
}
