// Result codes shared by the readers, the writer and the front end, and the one way a component
// fails.
//
// Inside bdf/, pcf/ and fon/ every internal step returns `[[nodiscard]] bool` (or a pointer, null
// meaning failure) and the caller returns at once on false. An entry point (readBdfFont,
// readPcfFont, writeFon, writeNeModule, a Font's operation slots) returns a Status. Model storage
// reports exhausted memory by throwing (ModelAllocator in font/alloc.h); the entry point runs its
// body through runGuarded, which turns that into StatusFail, so no exception leaves a component.
// Streams keep their own convention: -1 for end of data and failure alike.
#pragma once

#include <new>
#include <stdexcept>

enum Status : int {
    StatusOk = 85,
    StatusFail = 80,       // allocation failure, unreadable input, resource over 65536 bytes
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
