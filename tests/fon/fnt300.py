#!/usr/bin/env python3
"""Rewrites every raster font of a FON file in the Windows 3.0 layout (FNT version 0x0300) for the
reader's tests and fuzz seeds: the 2.x header (118 bytes), then dfFlags (1 fixed pitch, 2
proportional), dfAspace, dfBspace, dfCspace, dfColorPointer and 16 reserved bytes; each character
entry a 16-bit width and a 32-bit offset. The new fonts go to the end of the file, where the
resource table points. Usage: fnt300.py IN.fon OUT.fon"""
import struct
import sys


def to300(fnt):
    size = struct.unpack_from("<I", fnt, 2)[0]
    entries = fnt[96] - fnt[95] + 2  # the positions and the sentinel
    delta = 30 + 2 * entries
    header = bytearray(fnt[:118])
    struct.pack_into("<HI", header, 0, 0x0300, size + delta)
    for field in (105, 113):  # dfFace, dfBitsOffset
        struct.pack_into("<I", header, field, struct.unpack_from("<I", header, field)[0] + delta)
    header += struct.pack("<IHHHI16x", 2 if fnt[90] & 1 else 1, 0, 0, 0, 0)
    for k in range(entries):
        width, offset = struct.unpack_from("<HH", fnt, 118 + 4 * k)
        header += struct.pack("<HI", width, offset + delta)
    return bytes(header) + fnt[118 + 4 * entries:size]


data = bytearray(open(sys.argv[1], "rb").read())
ne = struct.unpack_from("<I", data, 60)[0]
table = ne + struct.unpack_from("<H", data, ne + 36)[0]
unit = 1 << struct.unpack_from("<H", data, table)[0]
at = table + 2
while struct.unpack_from("<H", data, at)[0]:
    kind, count = struct.unpack_from("<HH", data, at)
    for block in range(at + 8, at + 8 + 12 * count, 12):
        offset, length = struct.unpack_from("<HH", data, block)
        if kind == 0x8008:
            fnt = to300(data[offset * unit:(offset + length) * unit])
            data += bytes(-len(data) % unit)
            struct.pack_into("<HH", data, block, len(data) // unit, -(-len(fnt) // unit))
            data += fnt + bytes(-len(fnt) % unit)
    at += 8 + 12 * count
open(sys.argv[2], "wb").write(data)
