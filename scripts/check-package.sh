#!/usr/bin/env bash
# Checks the Debian package scripts/package.sh built:
#   1. lintian finds no error (its warnings are argued in docs/packaging.md);
#   2. desktop-file-validate and appstreamcli validate pass the desktop entry and the
#      metainfo;
#   3. dpkg -i installs it; the installed program, started offscreen with an empty HOME
#      (no user settings), opens the installed demo base through the system-wide
#      settings and its search window finds hits; lodex counts on the installed base;
#      a C program builds against the engine through pkg-config and through CMake's
#      find_package;
#   4. dpkg --purge leaves no file behind: the file lists of the system's folders
#      before the installation and after the purge are the same.
# Steps 3 and 4 need root (or sudo) and a system without the package installed.
#
# usage: scripts/check-package.sh [PACKAGE.deb]   (default: the one in build-package/)
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:-$(ls build-package/tremora-electronic_*.deb 2>/dev/null | head -n 1)}
[ -f "$deb" ] || { echo "no package found; run scripts/package.sh first" >&2; exit 2; }
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")
name=tremora-electronic
app_id=dk.tremora.TremoraElectronic
work=$(mktemp -d)
installed=0
sudo=()
# A failed check does not leave the package installed.
cleanup() {
  if [ "$installed" -eq 1 ] && dpkg-query -W "$name" >/dev/null 2>&1; then
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive dpkg --purge "$name" >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "-- package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
dpkg-deb --field "$deb" Package Version Architecture Installed-Size Depends Recommends
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/contents"
echo "files: $(grep -vc '/$' "$work/contents"); by folder:"
grep -v '/$' "$work/contents" | sed -E 's|/[^/]+$||; s|^(/[^/]+/[^/]+/[^/]+)/.*|\1|' |
  sort | uniq -c | awk '{ printf "  %-36s %3d\n", $2, $1 }'

echo "-- lintian"
# Exit status 0 unless a tag of severity error shows up.
lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1 | { grep -v "root privileges" || true; }
echo "lintian: no errors"

echo "-- desktop entry and AppStream metainfo"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/$app_id.metainfo.xml"

if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then sudo=(sudo); else
    echo "-- not root and no sudo: installation and purge checks skipped"; exit 0
  fi
fi
if dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "installed"; then
  echo "$name is installed already: remove it first (dpkg --purge $name)" >&2
  exit 1
fi

# The folders a package writes into. Caches that the system's triggers rebuild are
# listed too: a purge must leave them as the installation found them.
snapshot() {
  find /usr /etc /opt /var/lib/dpkg/info /var/lib/dpkg/alternatives -xdev 2>/dev/null |
    LC_ALL=C sort
}
snapshot > "$work/before"

echo "-- dpkg -i"
installed=1
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive dpkg -i "$deb"
base=/usr/share/$name/base

echo "-- the installed program, offscreen, with an empty HOME"
home="$work/home"
mkdir -p "$home"
mkdir -m 700 "$work/runtime"
hits=$(cd "$home" && env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$work/runtime" \
         QT_QPA_PLATFORM=offscreen timeout 120 TremoraElectronic --count 'kabel*')
echo "TremoraElectronic --count 'kabel*': $hits hits"
[ "$hits" -gt 0 ] 2>/dev/null || { echo "the installed program found no hits" >&2; exit 1; }
[ ! -e "$home/.config/Tremora" ] || { echo "the program wrote user settings" >&2; exit 1; }

echo "-- lodex on the installed base"
count=$(lodex "$base" count Varetekst 'kabel*')
echo "lodex $base count Varetekst 'kabel*': $count"
[ "$count" -gt 0 ] 2>/dev/null || { echo "lodex counted no records" >&2; exit 1; }
[ "$count" -eq "$hits" ] || { echo "lodex and the program disagree: $count, $hits" >&2; exit 1; }
# Minimal images keep dpkg from unpacking man pages (path-exclude); check them elsewhere.
if grep -qs 'path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/*; then
  echo "man pages: not unpacked on this system (dpkg path-exclude)"
else
  man -w TremoraElectronic lodex lodex-build lodex-demo >/dev/null
  echo "man pages: found for TremoraElectronic, lodex, lodex-build, lodex-demo"
fi

echo "-- a C program against the installed engine (pkg-config, CMake)"
cat > "$work/records.c" <<'EOF'
#include <lodex32.h>
#include <stdio.h>
int main(int argc, char** argv) {
  int base = APIOpenBaseEx(argv[1], "", "", 0);
  if (argc < 2 || base < 0) return 1;
  printf("%d\n", APIRecordCount(base));
  return APICloseBase(base) < 0;
}
EOF
# shellcheck disable=SC2046
cc -o "$work/records-pc" "$work/records.c" $(pkg-config --cflags --libs lodex32)
echo "pkg-config lodex32 $(pkg-config --modversion lodex32): $("$work/records-pc" "$base") records"
cat > "$work/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.20)
project(records C)
find_package(Lodex32 0.1 REQUIRED)
add_executable(records records.c)
target_link_libraries(records PRIVATE Lodex32::Lodex32)
EOF
cmake -S "$work" -B "$work/build" >/dev/null
cmake --build "$work/build" >/dev/null
echo "find_package(Lodex32): $("$work/build/records" "$base") records"

echo "-- dpkg --purge"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive dpkg --purge "$name"
snapshot > "$work/after"
if ! diff "$work/before" "$work/after" > "$work/diff"; then
  # Another package installed meanwhile (a shared machine) is not ours to answer for.
  left=$(grep '^[<>]' "$work/diff" | cut -c3- | while read -r path; do
           dpkg -S "$path" >/dev/null 2>&1 || echo "$path"; done)
  if [ -n "$left" ]; then
    echo "the purge left the file list changed:" >&2
    grep '^[<>]' "$work/diff" >&2
    exit 1
  fi
fi
echo "dpkg --purge: the file lists before the installation and after the purge agree" \
     "($(wc -l < "$work/after") paths)"
