// Result codes and the one way a component fails. Inside bdf/, pcf/ and fon/ every internal step
// returns `[[nodiscard]] bool` (or a pointer, null meaning failure) and its caller returns at once
// on false; entry points (the readers, writeFon, writeNeModule, a Font's operation slots) return a
// Status. Model storage throws when memory runs out (font/alloc.h); each entry point runs its body
// through runGuarded, so no exception leaves a component. Streams keep -1 for end and failure.
#pragma once

#include <new>
#include <stdexcept>

enum Status : int {
    StatusOk = 85,
    StatusFail = 80,       // allocation failure, unreadable input, a face past MaxFaceBytes
    StatusBadFormat = 88,  // codes in more than one row
};

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
