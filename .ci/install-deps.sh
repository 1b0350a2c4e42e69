#!/bin/sh
# Installs what the build and the tests need when it is missing: with apt-get when running as root,
# otherwise it names the packages to install and stops.
#   sh .ci/install-deps.sh [build | windows | wine | browser]    (no word: everything make check needs)
set -e
PACKAGES="make cmake ninja-build g++ pkg-config libgtest-dev libfreetype-dev zlib1g-dev gzip \
xfonts-utils pcf2bdf ncompress xfonts-base xfonts-75dpi xfonts-100dpi xfonts-terminus \
g++-mingw-w64-x86-64 libz-mingw-w64-dev wine64 wine"
# The package tests: lintian judges the .deb, groff renders the zip's manual, unzip unpacks it.
PACKAGES="$PACKAGES lintian groff unzip"
# The code page tests and make bench convert unifont (ISO10646-1, about 57000 glyphs); Python's
# codecs are their reference for every code page.
PACKAGES="$PACKAGES xfonts-unifont python3"
# FontForge's reader of FON files, through Debian's python3, judges the Windows 3.0 fonts.
PACKAGES="$PACKAGES python3-fontforge"
# OTS, the sanitizer browsers apply to web fonts, judges every TrueType file the tests write.
PACKAGES="$PACKAGES opentype-sanitizer"
case "${1:-}" in
  # The programs alone (the product needs only zlib); bdftopcf makes the demo's PCF input, and
  # xfonts-base has the Unicode font (misc-fixed 6x13) of its code-page picture.
  build) PACKAGES="make cmake ninja-build g++ zlib1g-dev xfonts-utils xfonts-base" ;;
  windows) PACKAGES="g++-mingw-w64-x86-64 libz-mingw-w64-dev" ;;
  wine) PACKAGES="wine64 wine" ;;
  # make check-browser: headless Chromium, and the fonts and tools it converts and reads back.
  browser) PACKAGES="chromium-headless-shell python3 gzip pcf2bdf xfonts-base xfonts-75dpi xfonts-100dpi xfonts-terminus" ;;
  windows-package) PACKAGES="g++-mingw-w64-x86-64 libz-mingw-w64-dev groff" ;;
esac
missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "Missing packages:$missing" >&2
  echo "Install them as root with: apt-get install$missing" >&2
  exit 1
fi
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing
