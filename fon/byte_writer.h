// The byte writer behind every output layout: little-endian for the FON file, big-endian for the
// PNG picture's chunks and the TrueType tables, the order chosen once when the writer is made. The
// only place that splits integers into bytes. Owns nothing: it appends to a vector its caller owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "font/alloc.h"

enum class ByteOrder { LittleEndian, BigEndian };

class ByteWriter {
public:
    explicit ByteWriter(ByteVector& out, ByteOrder order = ByteOrder::LittleEndian)
        : out_(out), bigEndian_(order == ByteOrder::BigEndian) {}

    // Fields narrower than their value keep the low bits: the file formats store offsets and
    // sizes modulo their width, and the callers check beforehand where that would lose data.
    void u8(std::uint32_t value) { out_.push_back(static_cast<std::uint8_t>(value & 0xFF)); }
    void u16(std::uint32_t value) {
        u8(bigEndian_ ? value >> 8 : value);
        u8(bigEndian_ ? value : value >> 8);
    }
    void u32(std::uint32_t value) {
        u16(bigEndian_ ? value >> 16 : value & 0xFFFF);
        u16(bigEndian_ ? value & 0xFFFF : value >> 16);
    }
    // Grown, then copied in one block: inserting a range constructs byte by byte through the
    // model's allocator.
    void bytes(const std::uint8_t* source, std::size_t count) {
        if (count == 0) return;
        const std::size_t at = out_.size();
        out_.resize(at + count);
        std::memcpy(out_.data() + at, source, count);
    }
    void bytes(std::string_view text) {
        bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    void zeros(std::size_t count) { out_.resize(out_.size() + count, 0); }

    std::size_t size() const { return out_.size(); }
    ByteVector& buffer() { return out_; }

private:
    ByteVector& out_;
    bool bigEndian_;
};

// A big-endian writer into bytes the caller has already made room for, for the tables written in
// bulk (glyph outlines): no growth check per byte. The caller sizes the room for all it stores.
class BigEndianCursor {
public:
    explicit BigEndianCursor(std::uint8_t* at) : at_(at) {}
    void u8(std::uint32_t value) { *at_++ = static_cast<std::uint8_t>(value & 0xFF); }
    void u16(std::uint32_t value) {
        at_[0] = static_cast<std::uint8_t>(value >> 8 & 0xFF);
        at_[1] = static_cast<std::uint8_t>(value & 0xFF);
        at_ += 2;
    }
    // Both bytes of a 16-bit value, of which only the first `keep` (0 to 2) stay: the next write
    // goes over the rest. For fields whose length follows their value, chosen without a branch.
    void u16Keeping(std::uint32_t value, std::size_t keep) {
        at_[0] = static_cast<std::uint8_t>(value >> 8 & 0xFF);
        at_[1] = static_cast<std::uint8_t>(value & 0xFF);
        at_ += keep;
    }
    void bytes(const std::uint8_t* source, std::size_t count) {
        if (count != 0) std::memcpy(at_, source, count);
        at_ += count;
    }
    std::uint8_t* position() const { return at_; }

private:
    std::uint8_t* at_;
};
