#!/bin/sh
# make bench: builds the Release programs and micro-benchmarks, makes the benchmark fonts, and
# times whole runs of varnel and corvane side by side with FreeType, FontForge, compress -dc and
# the start-up floors (true, cat) in one hyperfine run per input; then peak memory, growth with
# glyph count and area, TrueType output against FontForge and the floor, and the micro-benchmarks. The report goes to $BUILD/bench-report.md.
#
# Settings (environment): BENCH_BUILD (build-bench), BENCH_RUNS (20 timed runs per command),
# BENCH_QUICK=1 (two typical fonts, fewer runs, no growth series: for a quick look).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
runs=${BENCH_RUNS:-20}
quick=${BENCH_QUICK:-0}
[ "$quick" = 1 ] && runs=${BENCH_RUNS:-10}

missing=""
for tool in hyperfine bdftopcf pcf2bdf compress python3 pkg-config cc gzip; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
[ -x /usr/bin/time ] || missing="$missing time(/usr/bin/time)"
if [ -n "$missing" ]; then
    echo "bench: missing:$missing (Debian: hyperfine xfonts-utils pcf2bdf ncompress python3 pkg-config" \
         "libfreetype-dev time; optional fontforge-nox)" >&2
    exit 1
fi
fontforge=$(command -v fontforge || true)

echo "== building (Release) in $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCOMPILE_FONTS_TESTS=OFF \
    -DCOMPILE_FONTS_BENCH=ON >/dev/null
cmake --build "$build" --target varnel corvane micro_bdf micro_pcf micro_fon bench_expand -j "${JOBS:-2}"
# shellcheck disable=SC2046
cc -O2 -o "$build/ft_load" "$root/bench/ft_load.c" $(pkg-config --cflags --libs freetype2)
cc -O2 -o "$build/byte_floor" "$root/bench/byte_floor.c"

data=$build/bench-data
mkdir -p "$data/json"
# Made again whenever the generator or this script (which picks the real fonts) changes.
stamp=$data/.made-by
cat "$root/bench/gen_fonts.py" "$root/bench/run.sh" > "$stamp.new"
if [ ! -f "$stamp" ] || ! cmp -s "$stamp" "$stamp.new"; then
    echo "== making the benchmark fonts in $data"
    rm -f "$data"/*.bdf "$data"/*.pcf "$data"/*.Z
    python3 "$root/bench/gen_fonts.py" "$data"
    # Real single-row fonts of the corpus: two misc (terminal-style) fonts, two proportional ones
    # and a monospaced one.
    for real in misc/6x13 misc/10x20 75dpi/helvR12 100dpi/timR24 100dpi/courB24; do
        src=/usr/share/fonts/X11/$real-ISO8859-1.pcf.gz
        [ -f "$src" ] || continue
        name=real-$(basename "$real")
        gzip -dc "$src" > "$data/$name.pcf"
        pcf2bdf -o "$data/$name.bdf" "$data/$name.pcf"
    done
    for bdf in "$data"/*.bdf; do
        base=${bdf%.bdf}
        [ -f "$base.pcf" ] || bdftopcf -o "$base.pcf" "$bdf"
        compress -c "$bdf" > "$bdf.Z"
        compress -c "$base.pcf" > "$base.pcf.Z"
    done
    mv "$stamp.new" "$stamp"
fi

# Outputs go to memory when it can be had: ext4 flushes a truncated-and-rewritten file when it is
# closed, which would time the disk (for every program alike) rather than the conversion.
out=$(mktemp -d /dev/shm/bench-out.XXXXXX 2>/dev/null || mktemp -d "$build/bench-out.XXXXXX")
trap 'rm -rf "$out"' EXIT INT TERM

typical="six13 term16x32 prop24 big32x60 real-6x13 real-10x20 real-helvR12 real-timR24 real-courB24"
if [ "$quick" = 1 ]; then fonts="six13 term16x32"; else fonts="$typical huge256 many16"; fi

# One hyperfine run per input file, every command side by side.
compare() {  # compare NAME FORM
    name=$1 form=$2
    file=$data/$name.$form
    case $form in
    bdf | bdf.Z) program=$build/varnel ;;
    *) program=$build/corvane ;;
    esac
    set -- -N --warmup 2 --runs "$runs" -i --style none --export-json "$data/json/$name.$form.json" \
        -n true true -n cat "cat $file" -n ours "$program -o $out/$name.fon $file"
    case $form in
    bdf.Z) ;;  # FreeType's BDF driver does not expand compressed files
    *) set -- "$@" -n freetype "$build/ft_load $file" ;;
    esac
    case $form in
    *.Z) set -- "$@" -n compress "compress -dc $file" ;;
    esac
    if [ "$form" = bdf ] && [ -n "$fontforge" ]; then
        set -- "$@" -n fontforge \
            "$fontforge -quiet -lang=ff -c 'Open(\$1); Generate(\$2, \"fon\")' $file $out/ff-$name.fon"
    fi
    echo "== $name.$form"
    hyperfine "$@" >/dev/null 2>"$data/json/$name.$form.log" || {
        cat "$data/json/$name.$form.log" >&2
        return 1
    }
}

rm -f "$data"/json/*.json "$data"/json/*.log "$data"/growth-*.json
for name in $fonts; do
    for form in bdf pcf bdf.Z pcf.Z; do
        [ -f "$data/$name.$form" ] && compare "$name" "$form"
    done
done

# Growth: the same programs on fonts whose glyph count, then glyph area, doubles step by step.
if [ "$quick" != 1 ]; then
    for form in bdf pcf; do
        program=$build/varnel
        [ "$form" = pcf ] && program=$build/corvane
        echo "== growth ($form)"
        hyperfine -N --warmup 2 --runs "$runs" -i --style none --export-json "$data/growth-$form.json" \
            -n true true \
            -n "n1" "$program -o $out/g.fon $data/grow_n1.$form" \
            -n "n2" "$program -o $out/g.fon $data/grow_n2.$form" \
            -n "n4" "$program -o $out/g.fon $data/many16.$form" \
            -n "a2" "$program -o $out/g.fon $data/grow_a2.$form" \
            -n "a4" "$program -o $out/g.fon $data/grow_a4.$form" >/dev/null 2>&1
    done
fi

# Peak resident size of each program on each input (GNU time's maximum RSS, in KiB).
echo "== peak memory"
memory=$data/memory.txt
: > "$memory"
for name in $fonts; do
    for form in bdf pcf bdf.Z pcf.Z; do
        file=$data/$name.$form
        [ -f "$file" ] || continue
        case $form in
        bdf | bdf.Z) program=$build/varnel plain=$data/$name.bdf ;;
        *) program=$build/corvane plain=$data/$name.pcf ;;
        esac
        rss=$(/usr/bin/time -f %M "$program" -o "$out/m.fon" "$file" 2>&1 >/dev/null | tail -n 1)
        echo "$name.$form $(wc -c < "$plain") $rss" >> "$memory"
    done
done

# Code pages: unifont (Debian's xfonts-unifont, about 57000 glyphs) into cp1252, and into a family
# of four pages from one read, against the floor of reading the same file a byte at a time through
# an 8192-byte buffer; the full read (refused, as the font spans many rows) beside it.
rm -f "$data"/json/codepage-*.json "$data/codepage-memory.txt"
unifont=/usr/share/fonts/X11/misc/unifont.pcf.gz
if [ -f "$unifont" ]; then
    [ -s "$data/unifont.pcf" ] || gzip -dc "$unifont" > "$data/unifont.pcf"
    [ -s "$data/unifont.bdf" ] || pcf2bdf -o "$data/unifont.bdf" "$data/unifont.pcf"
    for form in bdf pcf; do
        program=$build/varnel
        [ "$form" = pcf ] && program=$build/corvane
        file=$data/unifont.$form
        echo "== code page: unifont.$form"
        hyperfine -N --warmup 2 --runs "$runs" -i --style none --export-json "$data/json/codepage-$form.json" \
            -n floor "$build/byte_floor $file" \
            -n ours "$program -c1252 -o $out/u.fon $file" \
            -n pages "$program -c1252,1251,1250,1253 -o $out/u.fon $file" \
            -n full "$program -o $out/u.fon $file" >/dev/null 2>&1
        rss=$(/usr/bin/time -f %M "$program" -c1252 -o "$out/u.fon" "$file" 2>&1 >/dev/null | tail -n 1)
        echo "unifont.$form $(wc -c < "$file") $rss" >> "$data/codepage-memory.txt"
    done
else
    echo "== code page: skipped ($unifont missing; Debian: xfonts-unifont)"
fi

# TrueType: typical real fonts to .ttf against FontForge's Python module (Debian's
# python3-fontforge, through the system python3) writing a TrueType font, its bitmap strike
# embedded, from the same BDF; and unifont to .ttf against the byte-scan floor.
rm -f "$data/ttf-memory.txt"
ffpython=""
/usr/bin/python3 -c 'import fontforge' 2>/dev/null && ffpython=/usr/bin/python3
ttf_fonts="real-6x13 real-10x20 real-helvR12"
[ "$quick" = 1 ] && ttf_fonts="real-6x13"
for name in $ttf_fonts; do
    file=$data/$name.bdf
    [ -f "$file" ] || continue
    set -- -N --warmup 2 --runs "$runs" -i --style none --export-json "$data/json/ttf-$name.json" \
        -n true true -n ours "$build/varnel -o $out/$name.ttf $file" \
        -n pcf "$build/corvane -o $out/$name-p.ttf $data/$name.pcf"
    [ -n "$ffpython" ] && set -- "$@" -n fontforge \
        "$ffpython -c 'import fontforge, sys; fontforge.open(sys.argv[1]).generate(sys.argv[2], bitmap_type=\"ttf\")' $file $out/ff-$name.ttf"
    echo "== TrueType: $name"
    hyperfine "$@" >/dev/null 2>"$data/json/ttf-$name.log" || {
        cat "$data/json/ttf-$name.log" >&2
        exit 1
    }
done
if [ -s "$data/unifont.bdf" ]; then
    echo "== TrueType: unifont"
    hyperfine -N --warmup 2 --runs "$runs" -i --style none --export-json "$data/json/ttf-unifont.json" \
        -n floor "$build/byte_floor $data/unifont.bdf" \
        -n ours "$build/varnel -o $out/u.ttf $data/unifont.bdf" \
        -n pcf-floor "$build/byte_floor $data/unifont.pcf" \
        -n pcf "$build/corvane -o $out/u.ttf $data/unifont.pcf" >/dev/null 2>&1
    rss=$(/usr/bin/time -f %M "$build/varnel" -o "$out/u.ttf" "$data/unifont.bdf" 2>&1 >/dev/null | tail -n 1)
    echo "unifont.bdf $(wc -c < "$data/unifont.bdf") $rss $(wc -c < "$out/u.ttf")" > "$data/ttf-memory.txt"
fi

echo "== micro-benchmarks"
micro=$data/micro.txt
: > "$micro"
min_time=0.5
[ "$quick" = 1 ] && min_time=0.1
for bench in micro_bdf micro_pcf micro_fon; do
    "$build/bench/$bench" --benchmark_min_time=$min_time --benchmark_repetitions=3 \
        --benchmark_report_aggregates_only=true --benchmark_color=false 2>/dev/null | grep -v -e '_mean' -e '_stddev' -e '_cv' >> "$micro"
done
if [ "$quick" != 1 ]; then
    # The LZW and gzip filters against uncompress and gzip (their developer's benchmark).
    "$build/bench/bench_expand" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
        --benchmark_color=false 2>/dev/null | grep -v -e '_mean' -e '_stddev' -e '_cv' >> "$micro" ||
        echo "bench_expand failed" >> "$micro"
fi

python3 "$root/bench/summarize.py" "$data" "$fonts" > "$build/bench-report.md"
cat "$build/bench-report.md"
echo "(report: $build/bench-report.md)"
