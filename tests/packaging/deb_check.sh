#!/bin/sh
# The Debian package of a build tree, made with CPack, as a user gets it: lintian's verdict (owners,
# modes, stripping, gzip -9n, changelog, copyright), the name and fields, the files, and an install
# into a scratch root where the installed programs convert the sample, then a purge that must leave
# nothing behind. dpkg works in folders of its own under WORK, never on the system's database.
#
#   deb_check.sh SOURCE-DIR BUILD-DIR WORK-DIR VERSION STATIC(ON|OFF)
set -u
[ $# -eq 5 ] || { echo "usage: deb_check.sh SOURCE-DIR BUILD-DIR WORK-DIR VERSION ON|OFF" >&2; exit 2; }
source_dir=$1 build=$2 work=$3 version=$4 static=$5
command -v lintian >/dev/null 2>&1 || { echo "FAIL: lintian is not installed (apt-get install lintian)"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work" && work=$(cd "$work" && pwd) || exit 1

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb="$work/out/varnel_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $deb"; exit 1; }
echo "package: $(basename "$deb"), $(wc -c <"$deb") bytes"

lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian reports errors or warnings"
grep -v 'running with root privileges' "$work/lintian.log" | sed 's/^/lintian: /'

# Fields lintian cannot judge: the version is the project's, and only a static build has no Depends.
fields=$(dpkg-deb -f "$deb" Package Version Section Depends | tr '\n' ' ')
case $static in
  ON) depends='' overrides=share/lintian/overrides/varnel ;;
  *) depends='Depends: .*libc6.* ' overrides= ;;
esac
printf '%s\n' "$fields" | grep -Eqx "Package: varnel Version: $version Section: (fonts|utils) $depends" ||
  fail "fields: $fields"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' >"$work/files"
printf './usr/%s\n' bin/corvane bin/varnel share/doc/varnel/README.md share/doc/varnel/changelog.gz \
  share/doc/varnel/copyright $overrides share/man/man1/corvane.1.gz share/man/man1/varnel.1.gz |
  diff - "$work/files" >"$work/files.diff" || fail "files: $(cat "$work/files.diff")"

# Into a scratch root and out again.
root="$work/root" admin="$work/admin"
mkdir -p "$root" "$admin/info" "$admin/updates" "$admin/triggers" && : >"$admin/status" || exit 1
scratch_dpkg() {
  dpkg --instdir="$root" --admindir="$admin" --log="$work/dpkg.log" --force-not-root \
    --force-script-chrootless --force-depends "$@" >>"$work/dpkg.out" 2>&1 || { cat "$work/dpkg.out"; fail "dpkg $*"; }
}
scratch_dpkg --install "$deb"
for page in varnel corvane; do
  gzip -dc "$root/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH .*\"Compile Fonts $version\"" ||
    fail "$page.1: the header does not carry version $version"
done
# The installed programs convert the sample (and its PCF form) as the build's own do.
"$root/usr/bin/varnel" -o "$work/seven.fon" "$source_dir/samples/seven.bdf" &&
  "$build/varnel" -o "$work/seven.build.fon" "$source_dir/samples/seven.bdf" &&
  cmp "$work/seven.fon" "$work/seven.build.fon" || fail "installed varnel"
if command -v bdftopcf >/dev/null 2>&1; then
  bdftopcf -o "$work/seven.pcf" "$source_dir/samples/seven.bdf" &&
    "$root/usr/bin/corvane" -o "$work/seven-pcf.fon" "$work/seven.pcf" &&
    "$build/corvane" -o "$work/seven-pcf.build.fon" "$work/seven.pcf" &&
    cmp "$work/seven-pcf.fon" "$work/seven-pcf.build.fon" || fail "installed corvane"
fi
scratch_dpkg --purge varnel
left=$(find "$root" -mindepth 1)
[ -z "$left" ] || fail "left behind after the purge: $left"
dpkg-query --admindir="$admin" -W varnel >/dev/null 2>&1 && fail "dpkg still knows varnel after the purge"

[ $failures -eq 0 ] || { echo "Debian package check: $failures failure(s); files in $work"; exit 1; }
echo "Debian package check: passed"
