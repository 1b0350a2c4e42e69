#!/bin/sh
# Builds the Windows zip in the cross build and holds it to what a Windows user gets: its name, its
# files, the README with CRLF line ends, the manual as HTML with the version, and programs that
# pass the wine smoke test when run straight from the unpacked zip.
#
#   zip_check.sh --source DIR --posix-bin DIR --mingw-build DIR --work DIR --version VERSION
#
# --mingw-build is the wine smoke test's cross build: its programs and wine prefix are reused.
set -u

source_dir= posix_bin= mingw_build= work= version=
while [ $# -gt 0 ]; do
  case $1 in
    --source) source_dir=$2; shift 2 ;;
    --posix-bin) posix_bin=$2; shift 2 ;;
    --mingw-build) mingw_build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    *) echo "zip_check.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$source_dir" ] || [ -z "$posix_bin" ] || [ -z "$mingw_build" ] || [ -z "$work" ] || [ -z "$version" ]; then
  echo "usage: zip_check.sh --source DIR --posix-bin DIR --mingw-build DIR --work DIR --version VERSION" >&2
  exit 2
fi
for tool in groff unzip; do
  command -v $tool >/dev/null 2>&1 || { echo "FAIL: $tool is not installed (apt-get install $tool)"; exit 1; }
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work" && work=$(cd "$work" && pwd) || exit 1
source_dir=$(cd "$source_dir" && pwd) || exit 2

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

unzip -Z1 "$zip" | sort >"$work/contents"
printf '%s\n' "$name/README.txt" "$name/corvane.exe" "$name/corvane.html" "$name/varnel.exe" \
  "$name/varnel.html" >"$work/contents.expected"
diff "$work/contents.expected" "$work/contents" >"$work/contents.diff" ||
  fail "zip members differ from the expected ones: $(cat "$work/contents.diff")"

unzip -q "$zip" -d "$work/unzipped" || { echo "FAIL: unzip"; exit 1; }
dir="$work/unzipped/$name"
# Every line of README.txt ends in CR LF, and without the CRs it is the README.
[ "$(grep -c "$(printf '\r')\$" "$dir/README.txt")" = "$(wc -l <"$dir/README.txt")" ] ||
  fail "README.txt has lines without CR LF"
tr -d '\r' <"$dir/README.txt" | cmp -s - "$source_dir/README.md" || fail "README.txt is not the README"
for page in varnel corvane; do
  grep -q "<h1 .*>$(echo $page | tr a-z A-Z)</h1>" "$dir/$page.html" && grep -q "Compile Fonts $version" "$dir/$page.html" ||
    fail "$page.html: no title or no version $version"
  description=$(file -b "$dir/$page.exe")
  case $description in "PE32+ executable (GUI) x86-64"*) ;; *) fail "$page.exe: $description" ;; esac
done

bash "$source_dir/tests/windows/wine_smoke.sh" --source "$source_dir" --posix-bin "$posix_bin" \
  --mingw-build "$mingw_build" --programs "$dir" || fail "the zip's programs under wine"

if [ $failures -ne 0 ]; then
  echo "Windows zip check: $failures failure(s); files in $work"
  exit 1
fi
echo "Windows zip check: passed"
