#!/usr/bin/env python3
"""Compares two corpus sweeps (tests/sweep/corpus_sweep.sh outputs) field by field.

    tests/sweep/compare_fon.py OLD NEW [--show N]

Every run's exit status and message must agree. Each output present in both is compared byte for
byte; a file that differs is parsed (NE resource table, font directory, each font resource) and
every differing byte is named by the place it lies in: a header field of a font resource or of its
font-directory copy (dfAscent, dfBreakChar, ...), the character table, the bitmaps, the "SNF"
resource, or the container itself. Prints one line per distinct set of changed places with its count
and a few file names, so that a deliberate correction shows up as exactly the fields it names.
Exit status 0 when nothing differs, 1 otherwise.
"""
import os
import struct
import sys
from collections import defaultdict

# Header fields of the raster font resource: (offset, size, name), in file order.
FNT_FIELDS = [
    (0, 2, "dfVersion"), (2, 4, "dfSize"), (6, 60, "dfCopyright"), (66, 2, "dfType"),
    (68, 2, "dfPoints"), (70, 2, "dfVertRes"), (72, 2, "dfHorizRes"), (74, 2, "dfAscent"),
    (76, 2, "dfInternalLeading"), (78, 2, "dfExternalLeading"), (80, 1, "dfItalic"),
    (81, 1, "dfUnderline"), (82, 1, "dfStrikeOut"), (83, 2, "dfWeight"), (85, 1, "dfCharSet"),
    (86, 2, "dfPixWidth"), (88, 2, "dfPixHeight"), (90, 1, "dfPitchAndFamily"),
    (91, 2, "dfAvgWidth"), (93, 2, "dfMaxWidth"), (95, 1, "dfFirstChar"), (96, 1, "dfLastChar"),
    (97, 1, "dfDefaultChar"), (98, 1, "dfBreakChar"), (99, 2, "dfWidthBytes"), (101, 4, "dfDevice"),
    (105, 4, "dfFace"), (109, 4, "dfBitsPointer"), (113, 4, "dfBitsOffset"), (117, 1, "dfReserved"),
    (118, 4, "dfFlags"), (122, 2, "dfAspace"), (124, 2, "dfBspace"), (126, 2, "dfCspace"),
    (128, 4, "dfColorPointer"), (132, 16, "dfReserved1"),
]


def header_field(offset, version):
    limit = 148 if version == 0x300 else 118
    for start, size, name in FNT_FIELDS:
        if start <= offset < start + size and start < limit:
            return name
    return None


def resources(data):
    """(type, ordinal, start, length) of every resource, or None when the file is no NE module."""
    if len(data) < 64 or data[:2] != b"MZ":
        return None
    ne = struct.unpack_from("<I", data, 60)[0]
    if ne + 64 > len(data) or data[ne:ne + 2] != b"NE":
        return None
    table = ne + struct.unpack_from("<H", data, ne + 36)[0]
    shift = struct.unpack_from("<H", data, table)[0]
    pos, found = table + 2, []
    while pos + 2 <= len(data):
        type_id = struct.unpack_from("<H", data, pos)[0]
        if type_id == 0:
            break
        count = struct.unpack_from("<H", data, pos + 2)[0]
        pos += 8
        for _ in range(count):
            offset, length, _flags, name = struct.unpack_from("<HHHH", data, pos)
            found.append((type_id, name, offset << shift, length << shift))
            pos += 12
    return found


def places(data):
    """A list giving, for each byte of the file, the name of the place it belongs to."""
    names = ["container"] * len(data)
    for type_id, name, start, length in resources(data) or []:
        end = min(start + length, len(data))
        if type_id == 0x8008:  # a font resource
            version = struct.unpack_from("<H", data, start)[0] if start + 2 <= end else 0
            header = 148 if version == 0x300 else 118
            face = struct.unpack_from("<I", data, start + 105)[0] if start + 109 <= end else 0
            bits = struct.unpack_from("<I", data, start + 113)[0] if start + 117 <= end else 0
            for at in range(start, end):
                rel = at - start
                if rel < header:
                    names[at] = "FNT " + (header_field(rel, version) or "header")
                elif rel < face:
                    names[at] = "FNT character table"
                elif rel < bits:
                    names[at] = "FNT face name"
                else:
                    names[at] = "FNT bitmaps"
        elif type_id == 0x8007:  # the font directory: a count, then entries of 2 + 113 + 1 + name
            at = start + 2
            while at + 115 < end:
                for rel in range(113):
                    names[at + 2 + rel] = "FONTDIR " + (header_field(rel, 0x200) or "header")
                stop = data.find(b"\0", at + 116, end)
                at = (stop if stop >= 0 else end) + 1
        else:
            for at in range(start, end):
                names[at] = "SNF"
    return names


def changed_places(old, new):
    if len(old) != len(new):
        return ("size %d -> %d" % (len(old), len(new)),)
    names = places(new)
    return tuple(sorted({names[k] for k in range(len(old)) if old[k] != new[k]}))


def statuses(folder):
    # A record is "NAME STATUS MESSAGE"; a message's own line breaks continue the record.
    result, name = {}, None
    with open(os.path.join(folder, "status.txt"), encoding="utf-8", errors="replace") as f:
        for line in f:
            first, _, rest = line.rstrip("\n").partition(" ")
            if name is not None and not rest[:2] in ("0 ", "1 ") and rest not in ("0", "1"):
                result[name] += "\n" + line.rstrip("\n")
            else:
                name = first
                result[name] = rest
    return result


def main():
    args = sys.argv[1:]
    show = 3
    if "--show" in args:
        k = args.index("--show")
        show = int(args[k + 1])
        del args[k:k + 2]
    if len(args) != 2:
        sys.exit(__doc__)
    old_dir, new_dir = args
    old_status, new_status = statuses(old_dir), statuses(new_dir)
    status_changes = sorted(n for n in set(old_status) | set(new_status)
                            if old_status.get(n) != new_status.get(n))
    groups = defaultdict(list)
    same = compared = 0
    old_files = set(os.listdir(os.path.join(old_dir, "fon")))
    new_files = set(os.listdir(os.path.join(new_dir, "fon")))
    for name in sorted(old_files & new_files):
        with open(os.path.join(old_dir, "fon", name), "rb") as f:
            old = f.read()
        with open(os.path.join(new_dir, "fon", name), "rb") as f:
            new = f.read()
        compared += 1
        if old == new:
            same += 1
        else:
            groups[changed_places(old, new)].append(name)
    print("%d runs; %d outputs compared: %d identical, %d differ" %
          (len(new_status), compared, same, compared - same))
    for only, label in ((old_files - new_files, "only in " + old_dir),
                        (new_files - old_files, "only in " + new_dir)):
        if only:
            print("%d outputs %s: %s" % (len(only), label, " ".join(sorted(only)[:show])))
    for name in status_changes[:show]:
        print("status changed: %s: %r -> %r" % (name, old_status.get(name), new_status.get(name)))
    if status_changes:
        print("%d runs changed status or message" % len(status_changes))
    for key, names in sorted(groups.items(), key=lambda kv: -len(kv[1])):
        print("%5d differ in %s  (e.g. %s)" % (len(names), ", ".join(key), " ".join(names[:show])))
    differs = groups or status_changes or old_files != new_files
    sys.exit(1 if differs else 0)


if __name__ == "__main__":
    main()
