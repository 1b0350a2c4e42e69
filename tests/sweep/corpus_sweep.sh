#!/bin/sh
# Converts every installed X font (misc, 75dpi, 100dpi) with the given programs and writes each
# output and each run's exit status and message under OUT, so that two builds can be compared byte
# for byte with `diff -r OUT1 OUT2`. Forms: corvane on the .pcf.gz as installed, on the plain PCF
# and on its compress'ed .Z; varnel on pcf2bdf's BDF of it, its .Z and its .gz; and both in three
# non-default layouts. Extra options (for example -c1252)
# may follow the folder and apply to every run.
#   tests/sweep/corpus_sweep.sh BIN_DIR OUT [option...]
set -eu
bin=$1; out=$2; shift 2
mkdir -p "$out/fon" "$out/bdf" "$out/src"
status="$out/status.txt"; : > "$status"
run() {  # name program input option...
    name=$1; prog=$2; input=$3; shift 3
    msg=$("$bin/$prog" "$@" -o "$out/fon/$name.fon" "$input" 2>&1) && rc=0 || rc=$?
    printf '%s %s %s\n' "$name" "$rc" "$msg" >> "$status"
}
for dir in misc 75dpi 100dpi; do
    for f in /usr/share/fonts/X11/$dir/*.pcf.gz; do
        base=$(basename "$f" .pcf.gz)
        key="$dir-$base"
        bdf="$out/bdf/$key.bdf"
        [ -s "$bdf" ] || pcf2bdf -o "$bdf" "$f" 2>/dev/null || true
        src="$out/src/$key"
        gzip -dc "$f" > "$src.pcf"
        compress -c "$src.pcf" > "$src.pcf.Z"
        compress -c "$bdf" > "$src.bdf.Z"
        gzip -9c "$bdf" > "$src.bdf.gz"
        run "$key.pcf" corvane "$f" "$@"
        run "$key.bdf" varnel "$bdf" "$@"
        run "$key.pcf-plain" corvane "$src.pcf" "$@"
        run "$key.pcf-Z" corvane "$src.pcf.Z" "$@"
        run "$key.bdf-Z" varnel "$src.bdf.Z" "$@"
        run "$key.bdf-gz" varnel "$src.bdf.gz" "$@"
        rm -f "$src.pcf" "$src.pcf.Z" "$src.bdf.Z" "$src.bdf.gz"
        run "$key.pcf-p1l" corvane "$f" -p1 -l "$@"
        run "$key.bdf-p4u2L" varnel "$bdf" -p4 -u2 -L "$@"
        run "$key.pcf-p8u4" corvane "$f" -p8 -u4 "$@"
    done
done
rm -rf "$out/bdf" "$out/src"
echo "$(wc -l < "$status") runs, $(grep -c ' 0 $' "$status" || true) converted; outputs in $out"
