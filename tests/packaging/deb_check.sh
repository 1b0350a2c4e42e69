#!/bin/sh
# Builds the Debian package of a build tree with CPack and holds it to what a user gets: its name,
# fields and files (owner, mode, stripped programs, static where the build links static, manual
# pages compressed as Debian does), lintian's verdict, and an install into a scratch root where the
# installed programs convert the sample, followed by a purge that leaves nothing behind.
#
#   deb_check.sh --source DIR --build DIR --work DIR --version VERSION --static ON|OFF
#
# dpkg runs with its own installation and administration folders under --work; the system's own
# package database and log are never touched.
set -u

source_dir= build= work= version= static=
while [ $# -gt 0 ]; do
  case $1 in
    --source) source_dir=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --static) static=$2; shift 2 ;;
    *) echo "deb_check.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$source_dir" ] || [ -z "$build" ] || [ -z "$work" ] || [ -z "$version" ] || [ -z "$static" ]; then
  echo "usage: deb_check.sh --source DIR --build DIR --work DIR --version VERSION --static ON|OFF" >&2
  exit 2
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work" && work=$(cd "$work" && pwd) || exit 1

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
arch=$(dpkg --print-architecture)
deb="$work/out/varnel_${version}_$arch.deb"
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $deb"; exit 1; }
echo "package: $(basename "$deb"), $(wc -c <"$deb") bytes"

# field NAME EXPECTED-PATTERN (an extended regular expression matched against the whole field)
field() {
  value=$(dpkg-deb -f "$deb" "$1")
  printf '%s\n' "$value" | tr '\n' ' ' | grep -Eqx "$2 ?" || fail "field $1 is \"$value\", expected /$2/"
}
field Package varnel
field Version "$(printf '%s' "$version" | sed 's/\./\\./g')"
field Architecture "$arch"
field Section 'fonts|utils'
field Maintainer '[^<>]+ <[^<>@ ]+@[^<>@ ]+>'
field Description '[a-z].{10,78} .*BDF.*PCF.*\.FON.*'
if [ "$static" = ON ]; then
  field Depends ''
else
  field Depends '.*libc6.*'
fi

# Every member with its owner and mode, in the order dpkg-deb lists them.
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' >"$work/contents"
cat >"$work/contents.expected" <<EOF
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/corvane
-rwxr-xr-x root/root ./usr/bin/varnel
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/varnel/
-rw-r--r-- root/root ./usr/share/doc/varnel/README.md
-rw-r--r-- root/root ./usr/share/doc/varnel/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/varnel/copyright
drwxr-xr-x root/root ./usr/share/lintian/
drwxr-xr-x root/root ./usr/share/lintian/overrides/
-rw-r--r-- root/root ./usr/share/lintian/overrides/varnel
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/corvane.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/varnel.1.gz
EOF
diff "$work/contents.expected" "$work/contents" >"$work/contents.diff" ||
  fail "package members differ from the expected ones: $(cat "$work/contents.diff")"
dpkg-deb --ctrl-tarfile "$deb" | tar -tvf - | awk '$6 != "./" { print $1, $2, $6 }' >"$work/control"
grep -qvx -e '-rw-r--r-- root/root ./control' -e '-rw-r--r-- root/root ./md5sums' "$work/control" &&
  fail "control members: $(cat "$work/control")"

if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
    fail "lintian reports errors or warnings"
  grep -v 'running with root privileges' "$work/lintian.log" | sed 's/^/lintian: /'
else
  echo "SKIPPED lintian: not installed (apt-get install lintian)"
fi

# Into a scratch root and out again.
root="$work/root" admin="$work/admin"
mkdir -p "$root" "$admin/info" "$admin/updates" "$admin/triggers" && : >"$admin/status" || exit 1
scratch_dpkg() {
  dpkg --instdir="$root" --admindir="$admin" --log="$work/dpkg.log" --force-not-root \
    --force-script-chrootless --force-depends "$@" >>"$work/dpkg.out" 2>&1
}
scratch_dpkg --install "$deb" || { cat "$work/dpkg.out"; fail "dpkg --install"; }

for program in varnel corvane; do
  description=$(file -b "$root/usr/bin/$program")
  case $description in *", stripped"*) ;; *) fail "$program is not stripped: $description" ;; esac
  if [ "$static" = ON ]; then
    case $description in *"statically linked"*) ;; *) fail "$program is not static: $description" ;; esac
  fi
done
# gzip -9n: no name and no time in the header (flags and time zero), maximum compression (XFL 2).
for gz in "$root/usr/share/man/man1/varnel.1.gz" "$root/usr/share/man/man1/corvane.1.gz" \
    "$root/usr/share/doc/varnel/changelog.gz"; do
  header=$(od -A n -t x1 -j 3 -N 6 "$gz" | tr -d ' ')
  [ "$header" = 000000000002 ] || fail "$gz: gzip header bytes 3-8 are $header, expected gzip -9n's 000000000002"
done
for page in varnel corvane; do
  gzip -dc "$root/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH .*\"Compile Fonts $version\"" ||
    fail "$page.1: the header does not carry version $version"
done
gzip -dc "$root/usr/share/doc/varnel/changelog.gz" | head -1 | grep -q "^varnel ($version) " ||
  fail "changelog: the first entry is not version $version"

# The installed programs convert the sample as the build's own do.
"$root/usr/bin/varnel" -o "$work/seven.fon" "$source_dir/samples/seven.bdf" || fail "installed varnel failed"
"$build/varnel" -o "$work/seven.build.fon" "$source_dir/samples/seven.bdf" || fail "built varnel failed"
cmp -s "$work/seven.fon" "$work/seven.build.fon" || fail "installed varnel wrote other bytes than the build's"
if command -v bdftopcf >/dev/null 2>&1; then
  bdftopcf -o "$work/seven.pcf" "$source_dir/samples/seven.bdf" &&
    "$root/usr/bin/corvane" -o "$work/seven-pcf.fon" "$work/seven.pcf" &&
    "$build/corvane" -o "$work/seven-pcf.build.fon" "$work/seven.pcf" &&
    cmp -s "$work/seven-pcf.fon" "$work/seven-pcf.build.fon" || fail "installed corvane"
fi

scratch_dpkg --purge varnel || { cat "$work/dpkg.out"; fail "dpkg --purge"; }
left=$(find "$root" -mindepth 1)
[ -z "$left" ] || fail "left behind after the purge: $left"
dpkg-query --admindir="$admin" -W varnel >/dev/null 2>&1 && fail "dpkg still knows varnel after the purge"

if [ $failures -ne 0 ]; then
  echo "Debian package check: $failures failure(s); files in $work"
  exit 1
fi
echo "Debian package check: passed"
