#!/bin/sh
# Regenerates the seed corpora in fuzz/seeds/<target>/ from small fonts of our own, the sample
# fonts in samples/ and one small real font: BDF text, PCF in every layout bdftopcf can write,
# compress-made streams, and FON files written by the programs of the build tree $BUILD (default
# build). Needs bdftopcf, pcf2bdf, compress and python3. Files named crash-*, leak-*,
# timeout-* or oom-* are regression inputs kept by `make fuzz` and are left alone.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seeds=$here/seeds
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for target in bdf pcf lzw gzip convert fon ttf; do
    mkdir -p "$seeds/$target"
    find "$seeds/$target" -maxdepth 1 -type f ! -name 'crash-*' ! -name 'leak-*' ! -name 'timeout-*' \
        ! -name 'oom-*' -delete
done

# A proportional font with the features the readers handle specially: comments, a string
# COPYRIGHT, DEFAULT_CHAR, a negative left bearing, an unencoded glyph, ATTRIBUTES, an empty glyph.
cat > "$work/tiny.bdf" <<'BDF'
STARTFONT 2.1
COMMENT small proportional font for fuzzing
FONT -seed-tiny-medium-r-normal--8-80-75-75-p-50-iso8859-1
SIZE 8 75 75
FONTBOUNDINGBOX 7 9 -1 -2
STARTPROPERTIES 6
FONT_ASCENT 7
FONT_DESCENT 2
COPYRIGHT "Public domain seed"
DEFAULT_CHAR 63
POINT_SIZE 80
WEIGHT_NAME "Medium"
ENDPROPERTIES
CHARS 6
STARTCHAR space
ENCODING 32
SWIDTH 375 0
DWIDTH 3 0
BBX 0 0 0 0
BITMAP
ENDCHAR
STARTCHAR question
ENCODING 63
SWIDTH 500 0
DWIDTH 4 0
BBX 3 7 0 0
BITMAP
40
A0
20
40
40
00
40
ENDCHAR
STARTCHAR A
ENCODING 65
SWIDTH 667 0
DWIDTH 5 0
BBX 5 7 0 0
BITMAP
20
50
88
F8
88
88
88
ENDCHAR
STARTCHAR j
ENCODING 106
SWIDTH 375 0
DWIDTH 3 0
BBX 3 9 -1 -2
ATTRIBUTES 0001
BITMAP
20
00
60
20
20
20
20
20
C0
ENDCHAR
STARTCHAR W
ENCODING 87
SWIDTH 875 0
DWIDTH 7 0
BBX 7 7 0 0
BITMAP
82
82
92
92
AA
AA
44
ENDCHAR
STARTCHAR unencoded
ENCODING -1
SWIDTH 500 0
DWIDTH 4 0
BBX 2 2 1 3
BITMAP
C0
C0
ENDCHAR
ENDFONT
BDF

# A fixed-width font whose glyphs are smaller than the cell: the terminal-cell padding path.
cat > "$work/cell.bdf" <<'BDF'
STARTFONT 2.1
FONT cell6x8
SIZE 10 100 100
FONTBOUNDINGBOX 6 8 0 -1
STARTPROPERTIES 3
FONT_ASCENT 7
FONT_DESCENT 1
SPACING "C"
ENDPROPERTIES
CHARS 3
STARTCHAR zero
ENCODING 48
SWIDTH 600 0
DWIDTH 6 0
BBX 4 6 1 0
BITMAP
60
90
B0
D0
90
60
ENDCHAR
STARTCHAR one
ENCODING 49
SWIDTH 600 0
DWIDTH 6 0
BBX 3 6 1 0
BITMAP
40
C0
40
40
40
E0
ENDCHAR
STARTCHAR underscore
ENCODING 95
SWIDTH 600 0
DWIDTH 6 0
BBX 6 1 0 -1
BITMAP
FC
ENDCHAR
ENDFONT
BDF

# Codes in two rows: read fine, refused by the writer.
cat > "$work/tworows.bdf" <<'BDF'
STARTFONT 2.1
FONT tworows
SIZE 8 75 75
FONTBOUNDINGBOX 2 2 0 0
STARTPROPERTIES 2
FONT_ASCENT 2
FONT_DESCENT 0
ENDPROPERTIES
CHARS 2
STARTCHAR a
ENCODING 65
SWIDTH 500 0
DWIDTH 3 0
BBX 2 2 0 0
BITMAP
C0
40
ENDCHAR
STARTCHAR b
ENCODING 300
SWIDTH 500 0
DWIDTH 3 0
BBX 2 2 0 0
BITMAP
80
C0
ENDCHAR
ENDFONT
BDF

# Two dots advancing 2000 pixels in cells 140 rows tall: with the sentinel's, 105 KB of cells, a
# face past the 64 KiB of a Windows 2.x font, so the writer takes the Windows 3.0 layout.
cat > "$work/wide.bdf" <<'BDF'
STARTFONT 2.1
FONT wide
SIZE 8 75 75
FONTBOUNDINGBOX 1 140 0 0
STARTPROPERTIES 4
FONT_ASCENT 140
FONT_DESCENT 0
CHARSET_REGISTRY "ISO8859"
CHARSET_ENCODING "1"
ENDPROPERTIES
CHARS 2
STARTCHAR A
ENCODING 65
SWIDTH 500 0
DWIDTH 2000 0
BBX 1 1 0 0
BITMAP
80
ENDCHAR
STARTCHAR B
ENCODING 66
SWIDTH 500 0
DWIDTH 2000 0
BBX 1 1 0 139
BITMAP
80
ENDCHAR
ENDFONT
BDF

gzip -dc /usr/share/fonts/X11/misc/micro.pcf.gz > "$work/micro.pcf"
pcf2bdf -o "$work/micro.bdf" "$work/micro.pcf"

bdfs="tiny cell tworows micro"
for sample in "$root"/samples/*.bdf; do
    [ -f "$sample" ] || continue
    # Only small samples become seeds; libFuzzer works best on inputs of a few kilobytes.
    [ "$(wc -c < "$sample")" -le 16384 ] || continue
    name=sample-$(basename "$sample" .bdf)
    cp "$sample" "$work/$name.bdf"
    bdfs="$bdfs $name"
done

for name in $bdfs; do
    cp "$work/$name.bdf" "$seeds/bdf/$name.bdf"
done

# Every layout bdftopcf writes, for the tiny font; the default layout for the others.
for pad in 1 2 4 8; do
    for unit in 1 2 4; do
        for bit in m l; do
            for byte in M L; do
                bdftopcf -p$pad -u$unit -$bit -$byte -o "$seeds/pcf/tiny-p$pad-u$unit-$bit$byte.pcf" "$work/tiny.bdf"
            done
        done
    done
done
bdftopcf -t -o "$seeds/pcf/cell-terminal.pcf" "$work/cell.bdf"
bdftopcf -i -o "$seeds/pcf/tiny-noink.pcf" "$work/tiny.bdf"
for name in cell tworows; do
    bdftopcf -o "$seeds/pcf/$name.pcf" "$work/$name.bdf"
done
cp "$work/micro.pcf" "$seeds/pcf/micro.pcf"

# compress streams: every code width limit, the old format without block mode, a header with no
# codes, and incompressible data long enough to fill a 12-bit table and make compress clear it.
for bits in 12 13 14 15 16; do
    compress -c -b$bits < "$work/tiny.bdf" > "$seeds/lzw/tiny-b$bits.Z"
done
compress -c -C < "$work/micro.bdf" > "$seeds/lzw/micro-noblock.Z"
printf '\037\235\220' > "$seeds/lzw/header-only.Z"
awk 'BEGIN { x = 12345; for (i = 0; i < 30000; i++) { x = (x * 1103515245 + 12345) % 2147483648;
     printf "%c", 65 + int(x / 65536) % 16 } }' > "$work/noise.txt"
# compress exits 2 when the output would not be smaller; its output is still complete.
compress -c -b12 < "$work/noise.txt" > "$seeds/lzw/noise-b12.Z" || [ $? -eq 2 ]

# gzip streams: one member, two members one after the other, junk after a member, a header only.
gzip -9 -c < "$work/tiny.bdf" > "$seeds/gzip/tiny.gz"
cat "$seeds/gzip/tiny.gz" "$seeds/gzip/tiny.gz" > "$seeds/gzip/two-members.gz"
{ cat "$seeds/gzip/tiny.gz"; printf 'junk'; } > "$seeds/gzip/trailing-junk.gz"
gzip -1 -c < "$work/micro.bdf" > "$seeds/gzip/micro.gz"
head -c 10 "$seeds/gzip/tiny.gz" > "$seeds/gzip/header-only.gz"

# Whole conversions: two bytes of options and allocation failure in front of the font file
# (see fuzz_convert.cpp). 0x6E is the programs' default layout, 0x00 and 0x9A others.
seed() { # options-byte file name
    { printf "\\$(printf %03o "$1")\\000"; cat "$2"; } > "$seeds/convert/$3"
}
for options in 110 0 154; do
    seed $options "$work/tiny.bdf" "tiny-bdf-$options"
    seed $((options | 1)) "$seeds/pcf/tiny-p1-u1-lL.pcf" "tiny-pcf-$options"
done
seed 110 "$work/cell.bdf" cell-bdf
seed 111 "$seeds/pcf/cell-terminal.pcf" cell-pcf
seed 110 "$work/tworows.bdf" tworows-bdf
seed 111 "$seeds/pcf/micro.pcf" micro-pcf
seed 110 "$seeds/lzw/tiny-b16.Z" tiny-bdf-Z
compress -c < "$seeds/pcf/tiny-p4-u4-mM.pcf" > "$work/tiny.pcf.Z"
seed 111 "$work/tiny.pcf.Z" tiny-pcf-Z
# Mapped conversions: the last byte picks the code page (2 = 1252, 12 = 437, 1 = symbol). The wide
# font is written as a Windows 3.0 font with and without a page.
{ cat "$seeds/convert/tiny-bdf-110"; printf '\002'; } > "$seeds/convert/tiny-bdf-cp1252"
{ cat "$seeds/convert/tiny-pcf-110"; printf '\014'; } > "$seeds/convert/tiny-pcf-cp437"
{ cat "$seeds/convert/tworows-bdf"; printf '\001'; } > "$seeds/convert/tworows-bdf-symbol"
seed 110 "$work/wide.bdf" wide-bdf
{ cat "$seeds/convert/wide-bdf"; printf '\002'; } > "$seeds/convert/wide-bdf-cp1252"
# TrueType conversions: a last byte with bit 7 set (0x80) writes a TrueType font instead.
for name in tiny-bdf-110 tiny-pcf-110 cell-bdf tworows-bdf wide-bdf; do
    { cat "$seeds/convert/$name"; printf '\200'; } > "$seeds/convert/$name-ttf"
done

# FON files: a face, a family, a code page (with its name in the "SNF" resource), and each
# rewritten in the Windows 3.0 layout.
build=${BUILD:-$root/build}
"$build/varnel" -o "$seeds/fon/seven.fon" "$root/samples/seven.bdf"
"$build/varnel" -o "$seeds/fon/family.fon" "$work/tiny.bdf" "$work/cell.bdf"
"$build/varnel" -c1251 -o "$seeds/fon/cp1251.fon" "$root/samples/seven.bdf"
for name in seven family cp1251; do
    python3 "$root/tests/fon/fnt300.py" "$seeds/fon/$name.fon" "$seeds/fon/$name-300.fon"
done

# TrueType fonts: a face and a family of two sizes as the programs write them, and one FontForge
# writes (other index and image formats), for the strike reader.
"$build/varnel" -o "$seeds/ttf/seven.ttf" "$root/samples/seven.bdf"
sed 's/^FONT_ASCENT 7/FONT_ASCENT 9/' "$work/tiny.bdf" > "$work/tiny-11.bdf"
"$build/varnel" -o "$seeds/ttf/family.ttf" "$work/tiny.bdf" "$work/tiny-11.bdf"
/usr/bin/python3 -c "import fontforge, sys; fontforge.open(sys.argv[1]).generate(sys.argv[2], bitmap_type='ttf')" \
    "$work/tiny.bdf" "$seeds/ttf/tiny-fontforge.ttf" 2>/dev/null
