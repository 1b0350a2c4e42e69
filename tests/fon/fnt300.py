#!/usr/bin/env python3
"""Rewrites every raster font of a FON file in the Windows 3.0 layout (FNT version 0x0300), for the
reader's tests and fuzz seeds until the writer makes such files itself.

The 3.0 header is the 2.x one (118 bytes) followed by dfFlags (1 fixed pitch, 2 proportional),
dfAspace, dfBspace, dfCspace, dfColorPointer and 16 reserved bytes: 148 bytes. Each character entry
becomes a 16-bit width and a 32-bit offset. The rewritten fonts go to the end of the file and the
resource table and font directory are pointed at them.
    fnt300.py IN.fon OUT.fon
"""
import struct
import sys


def to300(fnt):
    size = struct.unpack_from("<I", fnt, 2)[0]
    fnt = fnt[:size]
    entries = fnt[96] - fnt[95] + 2  # positions and the sentinel
    delta = 30 + 2 * entries
    header = bytearray(fnt[:118])
    struct.pack_into("<HI", header, 0, 0x0300, size + delta)
    for field in (105, 113):  # dfFace, dfBitsOffset
        struct.pack_into("<I", header, field, struct.unpack_from("<I", header, field)[0] + delta)
    header += struct.pack("<IHHHI16x", 2 if fnt[90] & 1 else 1, 0, 0, 0, 0)
    for k in range(entries):
        width, offset = struct.unpack_from("<HH", fnt, 118 + 4 * k)
        header += struct.pack("<HI", width, offset + delta)
    return bytes(header) + fnt[118 + 4 * entries:]


def main(source, target):
    data = bytearray(open(source, "rb").read())
    ne = struct.unpack_from("<I", data, 60)[0]
    table = ne + struct.unpack_from("<H", data, ne + 36)[0]
    shift = struct.unpack_from("<H", data, table)[0]
    unit = 1 << shift
    fonts, directory, at = {}, None, table + 2
    while struct.unpack_from("<H", data, at)[0]:
        kind, count = struct.unpack_from("<HH", data, at)
        for block in range(at + 8, at + 8 + 12 * count, 12):
            offset, length, _, name = struct.unpack_from("<HHHH", data, block)
            if kind == 0x8007:
                directory = offset * unit
            if kind == 0x8008:
                fnt = to300(data[offset * unit:(offset + length) * unit])
                data += bytes(-len(data) % unit)
                struct.pack_into("<HH", data, block, len(data) // unit, -(-len(fnt) // unit))
                data += fnt + bytes(-len(fnt) % unit)
                fonts[name & 0x7FFF] = fnt
        at += 8 + 12 * count
    # Each directory entry repeats its font's first 113 header bytes.
    at = directory + 2
    for _ in range(struct.unpack_from("<H", data, directory)[0]):
        ordinal = struct.unpack_from("<H", data, at)[0]
        data[at + 2:at + 115] = fonts[ordinal][:113]
        at = data.index(0, data.index(0, at + 115) + 1) + 1
    open(target, "wb").write(data)


if __name__ == "__main__":
    main(*sys.argv[1:3])
