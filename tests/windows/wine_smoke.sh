#!/bin/bash
# Runs the Windows programs under wine and holds them to the POSIX build. The GUI programs
# (varnelw.exe, corvanew.exe): the same fonts must give byte-identical FON files, and failures must
# exit 1, leave no output and show the right message box. The console programs (varnel.exe,
# corvane.exe): over one table of runs, the same exit status, standard output, standard error and
# files as the POSIX programs; and cmd.exe gets their exit status.
#
#   wine_smoke.sh --source DIR --posix-bin DIR --mingw-build DIR [--cross-build] [--programs DIR]
#
# --posix-bin holds the POSIX varnel and corvane. --mingw-build holds the four Windows programs;
# with --cross-build (or when it lacks one) they are cross-built there first. --programs runs those
# of another folder instead (the Windows zip's). Everything the run makes, the private WINEPREFIX
# included, lives under --mingw-build. Without wine or the cross compiler it reports a
# skip with exit status 77, or fails in CI (CI=true).
set -u
# Nothing here reads standard input: a program or wine's console reading it from a terminal (or
# from ctest's) would wait there until the timeout, so every child gets an empty one.
exec </dev/null

source_dir= posix_bin= mingw_build= cross_build= programs=
while [ $# -gt 0 ]; do
  case $1 in
    --source) source_dir=$2; shift 2 ;;
    --posix-bin) posix_bin=$2; shift 2 ;;
    --mingw-build) mingw_build=$2; shift 2 ;;
    --cross-build) cross_build=1; shift ;;
    --programs) programs=$2; shift 2 ;;
    *) echo "wine_smoke.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$source_dir" ] || [ -z "$posix_bin" ] || [ -z "$mingw_build" ]; then
  echo "usage: wine_smoke.sh --source DIR --posix-bin DIR --mingw-build DIR [--cross-build]" >&2
  exit 2
fi
source_dir=$(cd "$source_dir" && pwd) || exit 2
posix_bin=$(cd "$posix_bin" && pwd) || exit 2
mkdir -p "$mingw_build" && mingw_build=$(cd "$mingw_build" && pwd) || exit 2
programs=$(cd "${programs:-$mingw_build}" && pwd) || exit 2

# Debian's wine package puts `wine` in PATH; wine64 alone leaves its loader in /usr/lib/wine.
wine=$(command -v wine || command -v wine64 || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; })
wineserver=$(command -v wineserver || { [ -x /usr/lib/wine/wineserver64 ] && echo /usr/lib/wine/wineserver64; })
missing() {
  if [ "${CI:-}" = true ]; then echo "FAIL: $* is not installed (required in CI)"; exit 1; fi
  echo "SKIPPED: $* is not installed"
  exit 77
}
[ -n "$wine" ] && [ -n "$wineserver" ] || missing "wine (apt-get install wine64 wine)"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(seconds)" 'BEGIN { printf "%.1f", b - a }'; }

built() { for p in varnel corvane varnelw corvanew; do [ -x "$mingw_build/$p.exe" ] || return 1; done; }
if [ -n "$cross_build" ] || ! built; then
  command -v x86_64-w64-mingw32-g++ >/dev/null ||
    missing "the cross compiler (apt-get install g++-mingw-w64-x86-64 libz-mingw-w64-dev)"
  start=$(seconds)
  cmake -S "$source_dir" -B "$mingw_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCOMPILE_FONTS_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" >"$mingw_build/configure.log" 2>&1 &&
    cmake --build "$mingw_build" -j 2 >"$mingw_build/build.log" 2>&1 ||
    { cat "$mingw_build/configure.log" "$mingw_build/build.log" 2>/dev/null | tail -40; echo "FAIL: cross build"; exit 1; }
  echo "cross build: $(elapsed "$start") s"
fi

# A private prefix with no display: wine's MessageBoxW then returns at once instead of waiting.
export WINEPREFIX="$mingw_build/wineprefix"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# Only the server of this prefix is ended: it serves no process but ours.
trap '"$wineserver" -k >/dev/null 2>&1' EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  start=$(seconds)
  timeout 300 "$wine" wineboot --init >"$mingw_build/wineboot.log" 2>&1 ||
    { tail -20 "$mingw_build/wineboot.log"; echo "FAIL: wine could not set up $WINEPREFIX"; exit 1; }
  echo "wine prefix set up: $(elapsed "$start") s"
fi
# Trace only MessageBoxW, so each run's message box (owner, text, caption, style) can be checked.
if ! grep -q 'user32.MessageBoxW' "$WINEPREFIX/user.reg" 2>/dev/null; then
  # /f: a prefix made by an older build traces another function, and reg would ask on standard
  # input whether to overwrite it (at end of input it asks forever).
  timeout 120 "$wine" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d user32.MessageBoxW /f \
    </dev/null >>"$mingw_build/wineboot.log" 2>&1 || { echo "FAIL: wine reg"; exit 1; }
fi

work="$mingw_build/wine-smoke"
rm -rf "$work" && mkdir -p "$work/posix" "$work/win" "$work/in" || exit 1
cd "$work" || exit 1

# Inputs: a real single-row font in both forms (PCF from xfonts-base, BDF through pcf2bdf), its
# BDF compressed with compress and with gzip, the PCF as installed (gzip), a proportional font,
# and the samples of the repository.
real=/usr/share/fonts/X11/misc/6x13-ISO8859-1.pcf.gz
prop=/usr/share/fonts/X11/75dpi/helvR12-ISO8859-1.pcf.gz
wide=/usr/share/fonts/X11/misc/6x13.pcf.gz
gzip -dc "$real" >in/real.pcf || fail "expand $real"
gzip -dc "$prop" >in/prop.pcf || fail "expand $prop"
pcf2bdf -o in/prop.bdf in/prop.pcf || fail "pcf2bdf"
gzip -dc "$wide" >in/wide.pcf || fail "expand $wide"
pcf2bdf -o in/real.bdf in/real.pcf || fail "pcf2bdf"
compress -c in/real.bdf >in/realz.bdf.Z || fail "compress"
gzip -9 -c in/real.bdf >in/realgz.bdf.gz || fail "gzip"
cp "$real" in/realgz.pcf.gz || fail "copy $real"
for f in "$source_dir"/samples/*.bdf "$source_dir"/samples/*.pcf; do
  [ -f "$f" ] && cp "$f" in/
done

# winrun NAME PROGRAM ARGS...: runs the .exe in $work, keeping its status in $status and the
# traced message box calls in NAME.box.
winrun() {
  local name=$1 program=$2
  shift 2
  WINEDEBUG=-all,+relay timeout 120 "$wine" "$programs/$program.exe" "$@" >"$name.log" 2>&1
  status=$?
  [ $status -eq 124 ] && fail "$name: timed out"
  grep -a 'Call user32.MessageBoxW(' "$name.log" >"$name.box"
}

# expect_box NAME TEXT [STYLE]: exactly one box, with no owner, this text, the caption and the style
# (0x30 unless given). The trace escapes CR LF as \r\n, quotes as \" and line feeds as \n, and
# shows a long text's first 300 characters or so, then "...: the text must begin with them.
trace_works=
expect_box() {
  local name=$1 text=$2 style=${3:-00000030}
  [ -n "$trace_works" ] || return 0
  local traced shown=$text end='",'
  traced=$(head -n 1 "$name.box") && traced=${traced#* L\"}
  [[ $traced == *'"...,'* ]] && shown=${traced%%\"...,*} end='"...,'
  if [ "$(wc -l <"$name.box")" -ne 1 ] || ! grep -qF 'MessageBoxW(00000000,' "$name.box" ||
    [[ $text != "$shown"* ]] || ! grep -qF -- " L\"$shown$end" "$name.box" ||
    ! grep -qF "L\"Compile Fonts\",$style)" "$name.box"; then
    fail "$name: expected one message box \"$text\" captioned \"Compile Fonts\", style $style, no owner;" \
      "got: $(cat "$name.box")"
  fi
}
expect_no_box() {
  [ -s "$1.box" ] && fail "$1: unexpected message box: $(cat "$1.box")"
  return 0
}

start=$(seconds)

# Usage error: nothing given. Also tells whether this wine traces the message boxes at all.
winrun usage varnelw
[ $status -eq 1 ] || fail "usage: exit status $status, expected 1"
if [ -s usage.box ]; then
  trace_works=1
else
  echo "note: this wine shows no MessageBoxW trace; message texts are not checked"
fi
usage_text() {  # program input
  printf '%s' "usage: $1 [-p#] [-u#] [-m] [-l] [-M] [-L] [-t] [-i] -o fon_file $2_file... where # for -p is 1, 2, 4, or 8 and # for -u is 1, 2, or 4"
  printf '%s' '\n       [-c codepage[,codepage...]] [-v] [--face name] [--preview png_file] [--preview-scale n] where codepage is 1250 to 1258, 874, 437, 737, 775, 850, 852, 855, 857, 860, 861, 862, 863, 865, 866, 869 or symbol and n is 1 to 8'
  printf '%s' "\\n       $1 --help | --version"
}
expect_box usage "$(usage_text varnel bdf)"
winrun usage2 corvanew -p3 -o x.fon in/real.pcf
[ $status -eq 1 ] || fail "usage2: exit status $status, expected 1"
[ -e x.fon ] && fail "usage2: output created"
expect_box usage2 "$(usage_text corvane pcf)"

# Conversions: each must succeed silently and match the POSIX build byte for byte. Options vary
# the bitmap layout; a backslash path checks the base name on the platform where it is native.
# convert NAME PROGRAM OUTPUT-FILE ARGS... (the output's folder is added per platform)
convert() {
  local name=$1 program=$2 output=$3
  shift 3
  "$posix_bin/$program" -o "posix/$output" "$@" 2>"$name.posix.err"
  local posix_status=$?
  winrun "$name" "${program}w" -o "win\\$output" "$@"
  if [ $posix_status -ne 0 ]; then
    fail "$name: the POSIX build failed ($(cat "$name.posix.err")); cannot compare"
    return
  fi
  [ $status -eq 0 ] || fail "$name: exit status $status, expected 0"
  expect_no_box "$name"
  cmp -s "posix/$output" "win/$output" || fail "$name: win/$output differs from the POSIX build's"
}
convert pcf corvane real.fon in/real.pcf
convert pcf-layout corvane real.l.fon -l -L -p4 -u2 -t -i in/real.pcf
convert bdf varnel realb.fon in/real.bdf
convert bdf-layout varnel realb.8.fon -p8 -u4 in/real.bdf
convert bdf-Z varnel realz.fon in/realz.bdf.Z
convert bdf-gz varnel realgzb.fon in/realgz.bdf.gz
convert pcf-gz corvane realgz.fon in/realgz.pcf.gz
convert prop-pcf corvane prop.fon in/prop.pcf
convert prop-bdf varnel propb.fon -m -M -p1 in/prop.bdf
for f in in/*; do
  case $f in
    in/real.* | in/realz.* | in/realgz.* | in/prop.* | in/wide.*) ;;
    *.bdf) convert "sample-$(basename "$f")" varnel "s-$(basename "$f" .bdf).fon" "$f" ;;
    *.pcf) convert "sample-$(basename "$f")" corvane "s-$(basename "$f" .pcf).fon" "$f" ;;
  esac
done

# Failures: exit 1, the message, and no output left behind.
printf 'STARTFONT 2.1\nFONT broken\nSIZE\n' >in/bad.bdf
head -c 300 in/real.pcf >in/bad.pcf
# A writer failure deletes the output (DeleteFileW), even one that existed before the run; an output
# that cannot be created is named as given (the trace doubles each backslash).
echo old >wide.fon
# name | program | output | input | the message box's text
for row in "bad-bdf|varnelw|bad1.fon|in/bad.bdf|bdf input, in/bad.bdf, corrupt\r\n(line 3: SIZE: SIZE with a point size and two resolutions expected)" \
  "bad-pcf|corvanew|bad2.fon|in/bad.pcf|pcf input, in/bad.pcf, corrupt\r\n(PCF_PROPERTIES table: the file ends at byte 300)" \
  "missing|corvanew|missing.fon|in/none.pcf|can't open pcf source file in/none.pcf" \
  "wide|corvanew|wide.fon|in/wide.pcf|Font wide not created:  too many characters.\r\n(Its codes pass 255: choose a code page with -c, or write TrueType with -o NAME.ttf.)" \
  "nofolder|corvanew|no\\such\\folder.fon|in/real.pcf|Can't create file no\\\\such\\\\folder.fon"; do
  IFS='|' read -r name program output input text <<<"$row"
  winrun "$name" "$program" -o "$output" "$input"
  [ $status -eq 1 ] || fail "$name: exit status $status, expected 1"
  [ -e "$output" ] && fail "$name: output left behind"
  expect_box "$name" "$text"
done

# The GUI programs show --help and --version in their box, with the information icon.
winrun gui-version varnelw --version
[ $status -eq 0 ] || fail "gui-version: exit status $status, expected 0"
expect_box gui-version "$("$posix_bin/varnel" --version)" 00000040
echo "GUI programs: $(elapsed "$start") s"

# The console programs against the POSIX ones over one table of runs. Both run in one folder with
# the same relative paths, so their messages must agree byte for byte; whatever a run leaves beside
# in/ is its output. The POSIX words go through the shell (which expands wildcards); the Windows
# program gets them unexpanded and expands them itself.
table_start=$(seconds)
table="$work/table"
mkdir -p "$table/in/my fonts" "$table/in/ter" "$work/results" || exit 1
cp in/real.pcf in/real.bdf in/bad.bdf in/bad.pcf in/wide.pcf in/realz.bdf.Z in/realgz.pcf.gz "$table/in/" || exit 1
cp in/real.pcf "$table/in/my fonts/a b.pcf" && cp in/real.bdf "$table/in/кириллица.bdf" || exit 1
# A backup beside a font: *.bdf matches it through its 8.3 short name (B....~1.BDF) unless the
# program holds the long name to the pattern.
mkdir -p "$table/in/w" && cp in/real.bdf "$table/in/w/a.bdf" && cp in/bad.bdf "$table/in/w/b.bdf~" || exit 1
for s in 12 14 16 20 24; do cp "/usr/share/fonts/X11/misc/ter-u${s}n_iso-8859-1.pcf.gz" "$table/in/ter/" || exit 1; done
gzip -dc /usr/share/fonts/X11/misc/12x24rk.pcf.gz >"$table/in/jis.pcf" &&
  gzip -dc /usr/share/fonts/X11/misc/arabic24.pcf.gz >"$table/in/arabic.pcf" &&
  cp /usr/share/fonts/X11/misc/6x13.pcf.gz "$table/in/unicode.pcf.gz" || exit 1
# A dot advancing 32760 pixels in cells 2100 rows tall: its cell and the sentinel's take 17 MB,
# more than the 16 MiB a font resource may take.
awk 'BEGIN { print "STARTFONT 2.1\nFONT big\nSIZE 8 75 75\nFONTBOUNDINGBOX 1 2100 0 0\nSTARTPROPERTIES 2"
  print "FONT_ASCENT 2100\nFONT_DESCENT 0\nENDPROPERTIES\nCHARS 2"
  print "STARTCHAR dot\nENCODING 65\nSWIDTH 500 0\nDWIDTH 32760 0\nBBX 1 1 0 0\nBITMAP\n80\nENDCHAR"
  print "STARTCHAR bar\nENCODING 66\nSWIDTH 500 0\nDWIDTH 1 0\nBBX 1 2100 0 0\nBITMAP"
  for (r = 0; r < 2100; r++) print "80"; print "ENDCHAR\nENDFONT" }' >"$table/in/big.bdf"
ter="in/ter/ter-u12n_iso-8859-1.pcf.gz in/ter/ter-u14n_iso-8859-1.pcf.gz in/ter/ter-u16n_iso-8859-1.pcf.gz"
ter="$ter in/ter/ter-u20n_iso-8859-1.pcf.gz in/ter/ter-u24n_iso-8859-1.pcf.gz"
# name | program | exit status | a piece of what it prints | words, as a shell reads them
runs=(
  "pcf         | corvane | 0 |  | -o out.fon in/real.pcf"
  "pcf-layout  | corvane | 0 |  | -l -L -p4 -u2 -t -i -oout.fon in/real.pcf"
  "pcf-gz      | corvane | 0 |  | -o out.fon in/realgz.pcf.gz"
  "bdf-Z       | varnel  | 0 |  | -p8 -o out.fon in/realz.bdf.Z"
  "codepage    | corvane | 0 | 0 characters missing. | -c 1252 -v -o out.fon in/unicode.pcf.gz"
  "blanks      | corvane | 0 |  | -o 'a b.fon' 'in/my fonts/a b.pcf'"
  "cyrillic    | varnel  | 0 |  | -c 1251 -o шрифт.fon in/кириллица.bdf"
  "cyr-name    | varnel  | 1 | Font name шрифт not written | -o шрифт.fon in/кириллица.bdf"
  "face        | varnel  | 0 |  | -c 1251 --face 'мой шрифт' -o out.fon in/кириллица.bdf"
  "face-ascii  | corvane | 0 |  | --face 'Fixed Sys' -o out.fon in/real.pcf"
  "cyrillic-no | varnel  | 1 | can't open bdf source file in/нет.bdf | -c 1251 -o шрифт.fon in/нет.bdf"
  "family      | corvane | 0 | ter-u24n | -v -o ter.fon $ter"
  "wildcard    | corvane | 0 | ter-u24n | -v -o ter.fon in/ter/ter-u*n_iso-8859-1.pcf.gz"
  "wildcard-83 | varnel  | 0 |  | -o w.fon in/w/*.bdf"
  "help        | varnel  | 0 | show the version | --help"
  "version     | corvane | 0 | corvane 1 | -p4 --version"
  "usage       | varnel  | 1 | usage: varnel | "
  "usage-p3    | corvane | 1 | usage: corvane | -p3 -o out.fon in/real.pcf"
  "usage-c     | corvane | 1 | usage: corvane | -c 9999 -o out.fon in/real.pcf"
  "no-input    | corvane | 1 | usage: corvane | -o out.fon"
  "missing     | corvane | 1 | can't open | -o out.fon in/none.pcf"
  "no-match    | corvane | 1 | can't open pcf source file in/none*.pcf | -o out.fon in/none*.pcf"
  "bad-bdf     | varnel  | 1 | corrupt | -o out.fon in/bad.bdf"
  "bad-pcf     | corvane | 1 | corrupt | -o out.fon in/bad.pcf"
  "no-folder   | corvane | 1 | Can't create | -o no/such/out.fon in/real.pcf"
  "too-many    | corvane | 1 | too many characters | -o out.fon in/wide.pcf"
  "too-large   | varnel  | 1 | Font big not created:  too large | -o big.fon in/big.bdf"
  "no-mapping  | corvane | 1 | has no mapping | -c1252 -o out.fon in/jis.pcf"
  "no-page     | corvane | 1 | none of its characters | -c1252 -o out.fon in/arabic.pcf"
  "twins       | corvane | 1 | not combined | -o out.fon in/real.pcf in/realgz.pcf.gz"
  "65-fonts    | corvane | 1 | more than 64 fonts | -o out.fon $(printf 'in/ter/*.pcf.gz %.0s' {1..13})"
  "folder      | varnel  | 1 | bdf input, in, corrupt | -o out.fon in"
  "preview     | corvane | 0 |  | --preview out.png -o out.fon in/real.pcf"
  "preview-fon | corvane | 1 | Can't create file ./out.fon | --preview ./out.fon -o out.fon in/real.pcf"
  "preview-out | corvane | 1 | names the output | --preview out.fon -o out.fon in/real.pcf"
)
# Wine reads its command line in the locale's character set: UTF-8 keeps the Cyrillic names.
export LC_ALL=C.UTF-8
collect() { find "$table" -mindepth 1 -maxdepth 1 ! -name in -exec mv -t "$1" {} +; }
for row in "${runs[@]}"; do
  IFS='|' read -r name program expected says words <<<"$row"
  name=${name// /} program=${program// /} expected=${expected// /} says=${says# } says=${says% }
  mkdir -p "$work/results/$name.posix" "$work/results/$name.win"
  (cd "$table" && eval "timeout 120 \"\$posix_bin/\$program\" $words" >"$work/results/$name.posix.out" 2>"$work/results/$name.posix.err")
  echo $? >"$work/results/$name.posix.status"
  collect "$work/results/$name.posix"
  set -f && eval "argv=($words)" && set +f
  (cd "$table" && timeout 120 "$wine" "$programs/$program.exe" "${argv[@]}" >"$work/results/$name.win.out" \
    2>"$work/results/$name.win.err")
  echo $? >"$work/results/$name.win.status"
  collect "$work/results/$name.win"
  [ "$(cat "$work/results/$name.posix.status")" = "$expected" ] &&
    { [ -z "$says" ] || cat "$work/results/$name.posix.out" "$work/results/$name.posix.err" | grep -qF -- "$says"; } ||
    fail "$name: the POSIX program did not exit $expected saying \"$says\""
  for part in status out err; do
    cmp -s "$work/results/$name.posix.$part" "$work/results/$name.win.$part" ||
      fail "$name: $part differs: POSIX $(head -c 300 "$work/results/$name.posix.$part"), Windows $(head -c 300 "$work/results/$name.win.$part")"
  done
  diff -r "$work/results/$name.posix" "$work/results/$name.win" >/dev/null || fail "$name: the files left differ"
done
cmp -s "$work/results/family.win/ter.fon" "$work/results/wildcard.win/ter.fon" ||
  fail "wildcard: the pattern's family differs from the one named one by one"

# A drive letter is no part of the face name: Z:drive.fon is drive.fon in the current folder of
# drive Z, which wine maps to /, and holds the font the POSIX program writes as drive.fon.
(cd "$table" && timeout 120 "$wine" "$programs/varnel.exe" -o Z:drive.fon in/real.bdf &&
  "$posix_bin/varnel" -o "$work/results/drive.fon" in/real.bdf) >/dev/null 2>&1 ||
  fail "drive: a conversion failed"
cmp -s "$table/drive.fon" "$work/results/drive.fon" || fail "drive: Z:drive.fon is not the font named drive"
rm -f "$table/drive.fon"

# cmd.exe waits for a console program and gets its exit status.
program_path=$(timeout 60 "$wine" winepath -w "$programs/corvane.exe" 2>/dev/null | tr -d '\r')
for expected in 0 1; do
  input=in/real.pcf && [ $expected -eq 1 ] && input=in/none.pcf
  got=$(cd "$table" && timeout 120 "$wine" cmd /v:on /c "$program_path -o out.fon $input & echo !ERRORLEVEL!" 2>/dev/null |
    tr -d '\r' | tail -n 1)
  [ "$got" = "$expected" ] || fail "cmd /c: exit status $got, expected $expected"
  rm -f "$table/out.fon"
done
echo "console table: ${#runs[@]} runs on both platforms, $(elapsed "$table_start") s"

# The file calls themselves (binary mode, pipes), when the cross build made the check.
if [ -x "$mingw_build/file_calls_check.exe" ]; then
  mkdir -p calls
  timeout 120 "$wine" "$mingw_build/file_calls_check.exe" calls >calls.log 2>&1
  calls_status=$?
  grep -a -E '^(FAIL|file calls)' calls.log
  [ $calls_status -eq 0 ] || fail "file_calls_check: exit status $calls_status"
fi

echo "wine runs: $(elapsed "$start") s"
if [ $failures -ne 0 ]; then
  echo "wine smoke test: $failures failure(s); logs in $work"
  exit 1
fi
echo "wine smoke test: passed"
