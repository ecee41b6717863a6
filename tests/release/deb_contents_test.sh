#!/usr/bin/env bash
# The Debian package unpacked and checked: its fields, the files it installs (programs, demo
# world, font, flight, menu entry, icons, man pages, copyright), the menu entry through
# desktop-file-validate, dependencies without -dev packages, and the programs' version against
# the package's.   deb_contents_test.sh PACKAGE.deb VERSION
set -uo pipefail
deb=$1
version=$2
skip() {
  echo "skipped: $*"
  if [ "${QV_REQUIRE_DEB:-0}" = 1 ]; then exit 1; fi
  exit 77
}
[ -f "$deb" ] || skip "$deb is missing (scripts/release.sh makes it)"
for tool in dpkg-deb desktop-file-validate gzip; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/deps.sh release)"
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
ok() { echo "ok: $*"; }
bad() { echo "FAILED: $*"; failed=1; }
field() { dpkg-deb -f "$deb" "$1"; }

# Fields.
[ "$(field Package)" = quorvel ] && ok "Package: quorvel" || bad "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] && ok "Version: $version" || bad "Version is '$(field Version)', not $version"
arch=$(dpkg --print-architecture)
[ "$(field Architecture)" = "$arch" ] && ok "Architecture: $arch" || bad "Architecture is '$(field Architecture)'"
depends=$(field Depends)
echo "Depends: $depends"
[ -n "$depends" ] && ok "Depends is computed" || bad "no Depends"
for dep in $(echo "$depends" | tr ',|' '\n\n' | sed 's/(.*//; s/ //g'); do
  case "$dep" in *-dev) bad "Depends names the development package $dep" ;; esac
done
for lib in libsdl2 libgl1 libc6; do
  echo "$depends" | grep -q "$lib" && ok "Depends names $lib" || bad "Depends lacks $lib"
done

# Files, all owned by root.
dpkg-deb -x "$deb" "$tmp/root"
r=$tmp/root
if dpkg-deb -c "$deb" | awk '{print $2}' | grep -qv '^root/root$'; then bad "files not owned by root/root"; else ok "owned by root"; fi
for p in quorvel quorvel-world quorvel-capture; do
  [ -x "$r/usr/bin/$p" ] && ok "/usr/bin/$p" || bad "/usr/bin/$p missing"
  page=$r/usr/share/man/man1/$p.1.gz
  if [ -f "$page" ] && gzip -dc "$page" | grep -q "^\.TH \"*${p^^}"; then ok "man page $p.1.gz"; else bad "man page $p.1.gz missing or not a man page"; fi
  # The page is made from the program's own --help: its usage line is in it.
  gzip -dc "$page" 2>/dev/null | sed 's/\\-/-/g' | grep -q "usage: $p " && ok "$p.1 holds the usage" || bad "$p.1 lacks 'usage: $p'"
  out=$(env -u DISPLAY "$r/usr/bin/$p" --version 2>&1)
  [ "$out" = "$p $version" ] && ok "$p --version: $out" || bad "$p --version says '$out', the package is $version"
done
for f in demo.kbw demo.ktl font.kbf flight.txt; do
  [ -s "$r/usr/share/quorvel/$f" ] && ok "/usr/share/quorvel/$f" || bad "/usr/share/quorvel/$f missing"
done
head -c 6 "$r/usr/share/quorvel/demo.kbw" | grep -q BINWLD && ok "demo.kbw is a world" || bad "demo.kbw is not a world file"
n=$(find "$r/usr/share/quorvel/textures" -type f 2>/dev/null | wc -l)
[ "$n" -gt 0 ] && ok "$n textures" || bad "no textures"
[ -s "$r/usr/share/doc/quorvel/copyright" ] && ok copyright || bad "no copyright file"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$r/usr/share/doc/quorvel/copyright" \
  && ok "machine-readable copyright" || bad "copyright is not in the machine-readable format"

# The menu entry and its icons.
desktop=$r/usr/share/applications/quorvel.desktop
if [ -f "$desktop" ] && desktop-file-validate "$desktop"; then ok "quorvel.desktop validates"; else bad "quorvel.desktop missing or invalid"; fi
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$r/usr/bin/$exec_name" ] && ok "Exec=$exec_name is installed" || bad "Exec=$exec_name is not in /usr/bin"
icon=$(sed -n 's/^Icon=//p' "$desktop")
sizes=0
for png in "$r"/usr/share/icons/hicolor/*/apps/"$icon".png; do
  [ -f "$png" ] || continue
  dir=$(basename "$(dirname "$(dirname "$png")")")
  # The PNG's own width and height (IHDR, bytes 16-23) against its folder's name.
  w=$(od -An -tu1 -j16 -N4 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
  h=$(od -An -tu1 -j20 -N4 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
  if [ "${w}x${h}" = "$dir" ]; then sizes=$((sizes + 1)); else bad "$png is ${w}x${h}"; fi
done
[ "$sizes" -ge 3 ] && ok "icon '$icon' at $sizes sizes" || bad "icon '$icon' at only $sizes sizes"

[ "$failed" = 0 ] && echo "the package holds what it should" || exit 1
