#!/bin/sh
# Runs every libFuzzer target of a COMPILE_FONTS_FUZZ build for a given number of seconds each,
# one at a time in a single process (one core). New coverage goes to <build>/fuzz-corpus/<target>; any crashing, leaking,
# slow or memory-hungry input is copied into fuzz/seeds/<target>/ so the replay tests keep it.
# Usage: run-fuzz.sh <build-dir> [seconds-per-target] [target...]
set -u

build=$1
seconds=${2:-60}
shift
[ $# -gt 0 ] && shift
targets=${*:-bdf pcf lzw gzip convert fon ttf}
here=$(cd "$(dirname "$0")" && pwd)
status=0

for target in $targets; do
    program=$build/fuzz/fuzz_$target
    corpus=$build/fuzz-corpus/$target
    artifacts=$build/fuzz-artifacts/$target
    mkdir -p "$corpus" "$artifacts"
    # The whole conversion reads BDF text too, so it shares the BDF keywords.
    dict=
    case $target in bdf | convert) dict=-dict=$here/bdf.dict ;; esac
    echo "fuzz_$target: $seconds s"
    # The first folder receives new inputs; the committed seeds stay as they are.
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 $dict \
        -artifact_prefix="$artifacts/" "$corpus" "$here/seeds/$target" 2>&1 | tail -n 12
    for found in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*; do
        [ -f "$found" ] || continue
        cp "$found" "$here/seeds/$target/"
        echo "fuzz_$target: kept $(basename "$found") as a regression seed"
        status=1
    done
done
exit $status
