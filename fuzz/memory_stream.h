// In-memory streams for the fuzz targets: a reading FontStream that hands out a byte range in
// fills of a chosen size, and a writing FontStream that counts and drops what it is given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stream/font_stream.h"

// The bytes a memory stream reads. Owned by the caller and must outlive the stream.
struct MemorySource {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;
    // Bytes per fill, 1..StreamBufferSize: small fills move buffer boundaries into the middle of
    // every field the readers assemble.
    std::int32_t fillSize = StreamBufferSize;
};

// Null when the record cannot be allocated. Closing the stream leaves the source alone.
[[nodiscard]] FontStream* openMemoryStream(MemorySource* source);

// A writing stream whose flushes add to *written; never fails.
[[nodiscard]] FontStream* openDiscardStream(std::uint64_t* written);
