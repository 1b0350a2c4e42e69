#!/bin/sh
# The Windows zip, made with CPack in the cross build, as a Windows user gets it: its name and files
# (the console and the GUI programs), the README with CRLF line ends, the manual as HTML with the
# version, and programs that pass the wine smoke test when run straight from the unpacked zip.
#
#   zip_check.sh SOURCE-DIR POSIX-BIN-DIR MINGW-BUILD-DIR WORK-DIR VERSION
#
# MINGW-BUILD-DIR is the wine smoke test's cross build: its programs and wine prefix are reused.
set -u
[ $# -eq 5 ] || { echo "usage: zip_check.sh SOURCE-DIR POSIX-BIN-DIR MINGW-BUILD-DIR WORK-DIR VERSION" >&2; exit 2; }
source_dir=$(cd "$1" && pwd) || exit 2
posix_bin=$2 mingw_build=$3 work=$4 version=$5
for tool in groff unzip; do
  command -v $tool >/dev/null 2>&1 || { echo "FAIL: $tool is not installed (apt-get install $tool)"; exit 1; }
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work" && work=$(cd "$work" && pwd) || exit 1

# Configured every time, so a groff installed since the last run is found.
cmake -S "$source_dir" -B "$mingw_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCOMPILE_FONTS_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" >"$work/build.log" 2>&1 &&
  cmake --build "$mingw_build" -j 2 >>"$work/build.log" 2>&1 &&
  cpack --config "$mingw_build/CPackConfig.cmake" -B "$work/out" >>"$work/build.log" 2>&1 ||
  { tail -40 "$work/build.log"; echo "FAIL: cross build or cpack"; exit 1; }
name="varnel-$version-win64"
zip="$work/out/$name.zip"
[ -f "$zip" ] || { ls "$work/out"; echo "FAIL: no $zip"; exit 1; }
echo "package: $name.zip, $(wc -c <"$zip") bytes"

unzip -Z1 "$zip" | sort >"$work/files"
printf "$name/%s\n" README.txt corvane.exe corvanew.exe corvane.html varnel.exe varnelw.exe varnel.html | sort |
  diff - "$work/files" >"$work/files.diff" || fail "files: $(cat "$work/files.diff")"
unzip -q "$zip" -d "$work/unzipped" || { echo "FAIL: unzip"; exit 1; }
dir="$work/unzipped/$name"
# Every line of README.txt ends in CR LF, and without the CRs it is the Windows users' README.
[ "$(grep -c "$(printf '\r')\$" "$dir/README.txt")" = "$(wc -l <"$dir/README.txt")" ] ||
  fail "README.txt has lines without CR LF"
tr -d '\r' <"$dir/README.txt" >"$work/readme" &&
  sed "s/@PROJECT_VERSION@/$version/g" "$source_dir/packaging/README-windows.txt" | cmp -s - "$work/readme" ||
  fail "README.txt is not packaging/README-windows.txt with the version"
# It is the Windows users' README: it names what they run and do, in the unpacked folder's name,
# and holds nothing that points nowhere outside the Markdown README (images, links, apt).
for says in "corvane.exe" "varnel.exe" "corvanew.exe" "-c 1252" "Double-click the .FON" "Settings, Personalization, Fonts" \
  ".ttf" "%ERRORLEVEL%" "C:\\$name>"; do
  grep -qF -- "$says" "$work/readme" || fail "README.txt does not say \"$says\""
done
grep -nE '\]\(|apt-get|ctest|lintian|@[A-Z_]+@' "$work/readme" && fail "README.txt has Linux or Markdown leftovers"
for page in VARNEL CORVANE; do
  html="$dir/$(echo $page | tr A-Z a-z).html"
  grep -q "<h1 .*>$page</h1>" "$html" && grep -q "Compile Fonts $version" "$html" ||
    fail "$html: no title or no version $version"
done

bash "$source_dir/tests/windows/wine_smoke.sh" --source "$source_dir" --posix-bin "$posix_bin" \
  --mingw-build "$mingw_build" --programs "$dir" || fail "the zip's programs under wine"

[ $failures -eq 0 ] || { echo "Windows zip check: $failures failure(s); files in $work"; exit 1; }
echo "Windows zip check: passed"
