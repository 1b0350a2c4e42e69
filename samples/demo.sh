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
"$build/varnel" -o "$out/bdf/seven.fon" "$samples/seven.bdf"
echo "varnel:  $samples/seven.bdf -> $out/bdf/seven.fon ($(wc -c < "$out/bdf/seven.fon") bytes)"

if command -v bdftopcf >/dev/null 2>&1; then
    bdftopcf -o "$out/pcf/seven.pcf" "$samples/seven.bdf"
    "$build/corvane" -o "$out/pcf/seven.fon" "$out/pcf/seven.pcf"
    echo "corvane: $out/pcf/seven.pcf -> $out/pcf/seven.fon ($(wc -c < "$out/pcf/seven.fon") bytes)"
else
    echo "corvane: skipped; bdftopcf (xfonts-utils), which makes the PCF form of the sample, is not installed"
fi
echo "demo: the outputs are in $out"
