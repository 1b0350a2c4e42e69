// The PNG file: signature, header chunk, the deflated rows in data chunks, end chunk.
#include "fon/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <string_view>

#include "fon/byte_writer.h"
#include "stream/zlib_memory.h"

namespace {

constexpr std::uint8_t Signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint32_t MaxDimension = 0x7FFFFFFF;
// Compressed bytes per data chunk.
constexpr std::uint32_t ChunkData = 1 << 15;

// One chunk: data length, type, data, and the CRC of type and data. StatusOk or -1.
int putChunk(FontStream* stream, std::string_view type, const std::uint8_t* data, std::uint32_t size) {
    ByteVector chunk;
    ByteWriter out(chunk, ByteOrder::BigEndian);
    out.u32(size);
    out.bytes(type);
    out.bytes(data, size);
    out.u32(static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, size + 4)));
    return writeBytes(stream, chunk.data(), static_cast<std::int32_t>(chunk.size())) < 0 ? -1 : StatusOk;
}

// Owns a deflate stream from a successful init to its end.
struct Deflater {
    z_stream z{};
    bool ready = false;
    ~Deflater() {
        if (ready) deflateEnd(&z);
    }
};

// Feeds `size` bytes (or, with `flush` Z_FINISH, the end) to the compressor, writing each full
// chunk of output. StatusOk, StatusFail, or -1.
int deflateInto(FontStream* stream, Deflater& d, ByteVector& out, const std::uint8_t* data, std::uint32_t size,
                int flush) {
    d.z.next_in = const_cast<Bytef*>(data);
    d.z.avail_in = size;
    for (;;) {
        const int result = deflate(&d.z, flush);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return StatusFail;
        const bool full = d.z.avail_out == 0;
        const bool done = flush == Z_FINISH ? result == Z_STREAM_END : d.z.avail_in == 0;
        if (full || (done && flush == Z_FINISH)) {
            const std::uint32_t produced = ChunkData - d.z.avail_out;
            if (produced != 0 && putChunk(stream, "IDAT", out.data(), produced) != StatusOk) return -1;
            d.z.next_out = out.data();
            d.z.avail_out = ChunkData;
        }
        if (done) return StatusOk;
    }
}

int writeChecked(FontStream* stream, const GreyImage& image, int scale) {
    if (!pngDescribable(image, scale) || image.pixels.size() != std::size_t{image.width} * image.height)
        return StatusFail;
    const auto factor = static_cast<std::uint32_t>(scale);
    const std::uint32_t width = image.width * factor, height = image.height * factor;

    Deflater d;
    useModelAllocator(d.z);
    if (deflateInit(&d.z, Z_DEFAULT_COMPRESSION) != Z_OK) return StatusFail;
    d.ready = true;
    ByteVector out(ChunkData);
    d.z.next_out = out.data();
    d.z.avail_out = ChunkData;
    // One enlarged row, after its filter byte 0 (none).
    ByteVector row(1 + std::size_t{width}, 0);

    if (writeBytes(stream, Signature, sizeof Signature) < 0) return -1;
    ByteVector header;
    ByteWriter h(header, ByteOrder::BigEndian);
    h.u32(width);
    h.u32(height);
    h.u8(8);  // bits per sample
    h.u8(0);  // greyscale
    h.u8(0);  // deflate
    h.u8(0);  // adaptive filtering, of which each row takes type 0
    h.u8(0);  // no interlace
    if (putChunk(stream, "IHDR", header.data(), static_cast<std::uint32_t>(header.size())) != StatusOk) return -1;

    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* source = image.pixels.data() + std::size_t{y} * image.width;
        for (std::uint32_t x = 0; x < image.width; ++x)
            std::fill_n(row.begin() + 1 + std::size_t{x} * factor, factor, source[x]);
        for (std::uint32_t copy = 0; copy < factor; ++copy)
            if (int status = deflateInto(stream, d, out, row.data(), static_cast<std::uint32_t>(row.size()), Z_NO_FLUSH);
                status != StatusOk)
                return status;
    }
    if (int status = deflateInto(stream, d, out, nullptr, 0, Z_FINISH); status != StatusOk) return status;
    return putChunk(stream, "IEND", nullptr, 0);
}

}  // namespace

bool pngDescribable(const GreyImage& image, int scale) {
    if (scale < 1 || scale > MaxPngScale || image.width == 0 || image.height == 0) return false;
    const std::uint64_t width = std::uint64_t{image.width} * scale, height = std::uint64_t{image.height} * scale;
    return width <= MaxDimension && height <= MaxDimension && width * height <= MaxPngPixels;
}

int writePng(FontStream* stream, const GreyImage& image, int scale) {
    if (!stream) return StatusFail;
    return runGuarded([&] { return writeChecked(stream, image, scale); });
}
