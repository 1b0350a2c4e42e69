// Result codes and the one way a component fails. Inside bdf/, pcf/ and fon/ every internal step
// returns `[[nodiscard]] bool` (or a pointer, null meaning failure) and its caller returns at once
// on false; entry points (the readers, writeFon, writeNeModule, a Font's operation slots) return a
// Status. Model storage throws when memory runs out (font/alloc.h); each entry point runs its body
// through runGuarded, so no exception leaves a component. Streams keep -1 for end and failure.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <new>
#include <stdexcept>

enum Status : int {
    StatusOk = 85,
    StatusFail = 80,       // allocation failure, unreadable input, a face past MaxFaceBytes
    StatusBadFormat = 88,  // codes in more than one row
};

// Why a reader refused its input, in one line for the user: where (a BDF line, a PCF table) and
// what was found there. A reader notes it at the fault and the front end shows it under its
// message. Fixed storage: noting never allocates, since running out of memory is one of the
// reasons, and a refusal can never fail for want of room to say why.
struct ReadReason {
    static constexpr std::size_t Size = 192;
    char text[Size] = {};
    [[nodiscard]] bool empty() const { return text[0] == '\0'; }
};

// Formats the reason printf-style into `reason` (null: nowhere) unless it holds one already: the
// first note, made where the fault was found, stands over the steps that fail through it. A text
// past the storage is cut.
void noteReason(ReadReason* reason, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
// noteReason for a reader's own refusal helper: `where` (such as "line 12: ") and then the text
// that `format` makes of `args`.
void noteReasonAt(ReadReason* reason, const char* where, const char* format, std::va_list args);
// Replaces whatever `reason` holds: for a finding that explains the reader's own, such as damage
// a decompressing filter found beneath it.
void replaceReason(ReadReason* reason, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Runs `body` (returning a status) and gives its status, or `failed` when storage could not be had:
// bad_alloc from the allocation seam, length_error from a size past what a vector can hold.
template <class Body, class Result = int>
[[nodiscard]] Result runGuarded(Body&& body, Result failed = StatusFail) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return failed;
    } catch (const std::length_error&) {
        return failed;
    }
}
