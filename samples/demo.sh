#!/bin/sh
# make demo: converts the bundled sample font with the programs of a build tree and says what it
# wrote. Usage: sh samples/demo.sh [build-dir]   (default: build)
set -e

build=${1:-build}
samples=$(cd "$(dirname "$0")" && pwd)
out="$build/demo"

for program in varnel corvane; do
    if [ ! -x "$build/$program" ]; then
        echo "demo: $build/$program is missing; build first (make build)" >&2
        exit 1
    fi
done

mkdir -p "$out/bdf" "$out/pcf"
out=$(cd "$out" && pwd)

# Both outputs are named seven.fon, since the file name is also the Windows face name.
# With its glyph sheet, which the README shows (samples/seven.png is a copy).
"$build/varnel" --preview "$out/seven.png" -o "$out/bdf/seven.fon" "$samples/seven.bdf"
echo "varnel:  $samples/seven.bdf -> $out/bdf/seven.fon ($(wc -c < "$out/bdf/seven.fon") bytes), picture $out/seven.png"

if command -v bdftopcf >/dev/null 2>&1; then
    bdftopcf -o "$out/pcf/seven.pcf" "$samples/seven.bdf"
    "$build/corvane" -o "$out/pcf/seven.fon" "$out/pcf/seven.pcf"
    echo "corvane: $out/pcf/seven.pcf -> $out/pcf/seven.fon ($(wc -c < "$out/pcf/seven.fon") bytes)"
else
    echo "corvane: skipped; bdftopcf (xfonts-utils), which makes the PCF form of the sample, is not installed"
fi
# A Unicode font in code page 1251: misc-fixed 6x13 (ISO10646-1) from xfonts-base, with its
# glyph sheet, the README's other picture (samples/6x13-cp1251.png).
fixed=/usr/share/fonts/X11/misc/6x13.pcf.gz
if [ -f "$fixed" ]; then
    "$build/corvane" -c1251 --preview "$out/6x13-cp1251.png" -o "$out/6x13.fon" "$fixed"
    echo "corvane: $fixed -> $out/6x13.fon (code page 1251), picture $out/6x13-cp1251.png"
else
    echo "corvane: code page 1251 skipped; $fixed (xfonts-base) is not installed"
fi
echo "demo: the outputs are in $out"
