#!/usr/bin/env python3
"""Compares two corpus sweeps (tests/sweep/corpus_sweep.sh outputs) field by field.

    tests/sweep/compare_fon.py OLD NEW [--show N]

Every run's exit status and message must agree, and each output present in both its bytes. A file
that differs has every differing part named: a header field of a font resource or of its
font-directory copy (dfAscent, dfBreakChar, ...), the character table's widths or offsets, the
bitmaps, the "SNF" resource, or the container (the resource table's places and lengths apart).
One line per distinct set of changed parts, with its count and a few file names. Exit status 0 when nothing differs, 1 otherwise.
"""
import os
import re
import struct
import sys
from collections import defaultdict

# The raster font header's fields in file order, with their sizes; FIELD_AT names each byte.
FIELD_AT = []
_fields = ("dfVersion 2 dfSize 4 dfCopyright 60 dfType 2 dfPoints 2 dfVertRes 2 dfHorizRes 2 dfAscent 2 "
           "dfInternalLeading 2 dfExternalLeading 2 dfItalic 1 dfUnderline 1 dfStrikeOut 1 dfWeight 2 "
           "dfCharSet 1 dfPixWidth 2 dfPixHeight 2 dfPitchAndFamily 1 dfAvgWidth 2 dfMaxWidth 2 "
           "dfFirstChar 1 dfLastChar 1 dfDefaultChar 1 dfBreakChar 1 dfWidthBytes 2 dfDevice 4 dfFace 4 "
           "dfBitsPointer 4 dfBitsOffset 4 dfReserved 1 dfFlags 4 dfAspace 2 dfBspace 2 dfCspace 2 "
           "dfColorPointer 4 dfReserved1 16").split()
for _name, _size in zip(_fields[::2], _fields[1::2]):
    FIELD_AT += [_name] * int(_size)


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def resources(data):
    """(type, start, length, table entry) of every resource; none when the file is no NE module."""
    if len(data) < 64 or data[:2] != b"MZ":
        return
    ne = struct.unpack_from("<I", data, 60)[0]
    if ne + 64 > len(data) or data[ne:ne + 2] != b"NE":
        return
    table = ne + u16(data, ne + 36)
    shift, pos = u16(data, table), table + 2
    while pos + 2 <= len(data) and u16(data, pos):
        type_id, count = u16(data, pos), u16(data, pos + 2)
        for k in range(count):
            entry = pos + 8 + 12 * k
            yield type_id, u16(data, entry) << shift, u16(data, entry + 2) << shift, entry
        pos += 8 + 12 * count


def parts(data):
    """Each part of the file by name: the header fields of every font resource and of its
    font-directory copy, its character table's widths and offsets, face name and bitmaps, the "SNF"
    resources, and the container, whose resource table's places and lengths count apart. Files of
    different sizes are told apart field by field this way too."""
    named, container = defaultdict(bytes), bytearray(data)
    for type_id, start, length, entry in resources(data):
        end = min(start + length, len(data))
        res = data[start:end]
        container[start:end] = bytes(end - start)
        named["container: resource places and lengths"] += data[entry:entry + 4]
        container[entry:entry + 4] = bytes(4)
        if type_id == 0x8008 and len(res) >= 118:
            version3 = u16(res, 0) == 0x300
            header, entry_size = (148, 6) if version3 else (118, 4)
            for rel in range(min(header, len(res))):
                named["FNT " + FIELD_AT[rel]] += res[rel:rel + 1]
            face, bits = struct.unpack_from("<I", res, 105)[0], struct.unpack_from("<I", res, 113)[0]
            table = res[header:face]
            for at in range(0, len(table) - entry_size + 1, entry_size):
                named["FNT cell widths"] += table[at:at + 2]
                named["FNT cell offsets"] += table[at + 2:at + entry_size]
            named["FNT face name"] += res[face:bits]
            named["FNT bitmaps"] += res[bits:]
        elif type_id == 0x8007:  # the font directory: a count, then entries of 2 + 113 + 1 + name
            at = 2
            while at + 115 < len(res):
                for rel in range(113):
                    named["FONTDIR " + FIELD_AT[rel]] += res[at + 2 + rel:at + 3 + rel]
                stop = res.find(b"\0", at + 116)
                at = (stop if stop >= 0 else len(res)) + 1
        else:
            named["SNF"] += res
    named["container"] = bytes(container)
    return named


def changed_places(old, new):
    old_parts, new_parts = parts(old), parts(new)
    return tuple(sorted(k for k in set(old_parts) | set(new_parts) if old_parts.get(k) != new_parts.get(k)))


def statuses(folder):
    # A record is "NAME STATUS MESSAGE"; a message's own line breaks continue the record. Messages
    # name the sweep's own files, under whatever path it was given: that prefix is not compared.
    result, name = {}, None
    own = re.compile(r"(?:\S*/)?" + re.escape(os.path.basename(os.path.abspath(folder))) + "/")
    with open(os.path.join(folder, "status.txt"), encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            first, _, rest = line.partition(" ")
            if name is not None and rest.partition(" ")[0] not in ("0", "1"):
                result[name] += "\n" + line
            else:
                name, result[first] = first, rest
    return {k: own.sub("SWEEP/", v) for k, v in result.items()}


def main():
    args, show = sys.argv[1:], 3
    if "--show" in args:
        k = args.index("--show")
        show = int(args[k + 1])
        del args[k:k + 2]
    if len(args) != 2:
        sys.exit(__doc__)
    old_dir, new_dir = args
    old_status, new_status = statuses(old_dir), statuses(new_dir)
    status_changes = sorted(n for n in set(old_status) | set(new_status) if old_status.get(n) != new_status.get(n))
    old_files, new_files = (set(os.listdir(os.path.join(d, "fon"))) for d in args)
    groups, same = defaultdict(list), 0
    for name in sorted(old_files & new_files):
        old, new = (open(os.path.join(d, "fon", name), "rb").read() for d in args)
        if old == new:
            same += 1
        else:
            groups[changed_places(old, new)].append(name)
    compared = len(old_files & new_files)
    print("%d runs; %d outputs compared: %d identical, %d differ" % (len(new_status), compared, same, compared - same))
    for only, label in ((old_files - new_files, old_dir), (new_files - old_files, new_dir)):
        if only:
            print("%d outputs only in %s: %s" % (len(only), label, " ".join(sorted(only)[:show])))
    for name in status_changes[:show]:
        print("status changed: %s: %r -> %r" % (name, old_status.get(name), new_status.get(name)))
    if status_changes:
        print("%d runs changed status or message" % len(status_changes))
    for key, names in sorted(groups.items(), key=lambda kv: -len(kv[1])):
        print("%5d differ in %s  (e.g. %s)" % (len(names), ", ".join(key), " ".join(names[:show])))
    sys.exit(1 if groups or status_changes or old_files != new_files else 0)


if __name__ == "__main__":
    main()
