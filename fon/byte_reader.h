// The bounds-checked view through which the FON and TrueType readers take every field of a file:
// the reading counterpart of ByteWriter, its byte order chosen once (little-endian for FON,
// big-endian for TrueType). Owns nothing; the bytes belong to the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fon/byte_writer.h"

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes, ByteOrder order = ByteOrder::LittleEndian)
        : bytes_(bytes), bigEndian_(order == ByteOrder::BigEndian) {}

    std::uint64_t size() const { return bytes_.size(); }
    // Whether `count` bytes start at `at`; by subtraction, since at + count can wrap.
    bool has(std::uint64_t at, std::uint64_t count) const { return at <= size() && count <= size() - at; }

    // A field of `width` bytes (1, 2 or 4) at `at`; false, leaving `value` alone, past the end.
    [[nodiscard]] bool field(std::uint64_t at, std::uint32_t width, std::uint32_t* value) const {
        if (!has(at, width)) return false;
        std::uint32_t v = 0;
        for (std::uint32_t k = 0; k < width; ++k)
            v = v << 8 | bytes_[static_cast<std::size_t>(at + (bigEndian_ ? k : width - 1 - k))];
        *value = v;
        return true;
    }
    [[nodiscard]] bool u8(std::uint64_t at, std::uint32_t* value) const { return field(at, 1, value); }
    [[nodiscard]] bool u16(std::uint64_t at, std::uint32_t* value) const { return field(at, 2, value); }
    [[nodiscard]] bool u32(std::uint64_t at, std::uint32_t* value) const { return field(at, 4, value); }

    // The bytes [at, at + count), or an empty span when they are not all there.
    std::span<const std::uint8_t> bytes(std::uint64_t at, std::uint64_t count) const {
        if (!has(at, count)) return {};
        return bytes_.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(count));
    }
    // The zero-terminated text at `at`, without its terminator; false when no terminator comes
    // before `end` (or the end of the bytes).
    [[nodiscard]] bool text(std::uint64_t at, std::uint64_t end, std::span<const std::uint8_t>* value) const {
        if (end > size()) end = size();
        for (std::uint64_t k = at; k < end; ++k) {
            if (bytes_[static_cast<std::size_t>(k)] != 0) continue;
            *value = bytes_.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(k - at));
            return true;
        }
        return false;
    }

private:
    std::span<const std::uint8_t> bytes_;
    bool bigEndian_;
};
