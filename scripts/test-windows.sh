#!/usr/bin/env bash
# Builds the engine for 32-bit and 64-bit Windows with MinGW-w64 and tests it under Wine:
# Lodex32.dll's export table against lodex32.h and Lodex32.def, the engine's unit tests
# on both architectures, and the conformance suite against the 32-bit DLL. Installs the
# cross compilers and Wine first when they are missing (32-bit Wine comes from Debian's
# i386 architecture, which this adds).
#
#   scripts/test-windows.sh               install, build, test
#   scripts/test-windows.sh --can-install exit 0 when the packages are here or can be installed
#
# Environment (all optional):
#   LODEX_BUILD_ROOT   build directory prefix (default "build"; this uses <prefix>-win32
#                      and <prefix>-win64, and keeps Wine's prefix in <prefix>-win32/wine)
#   LODEX_CONFORMANCE  the conformance suite's folder (default ../shared/conformance)
#   LODEX_JOBS         parallel build and test jobs (default: number of processors)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${LODEX_JOBS:-$(nproc)}
out=${LODEX_BUILD_ROOT:-build}
shared=${LODEX_CONFORMANCE:-$root/../shared/conformance}

packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 googletest python3
          cmake ninja-build)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
if [ "${1:-}" = "--can-install" ]; then
  [ ${#missing[@]} -eq 0 ] && exit 0
  [ "$(dpkg --print-architecture 2>/dev/null)" = amd64 ] || exit 1
  command -v apt-get >/dev/null || exit 1
  [ -z "$sudo" ] || sudo -n true 2>/dev/null || exit 1
  exit 0
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  # Recommends would bring fonts, sound and desktop integration that headless tests
  # never use.
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# Wine runs headless, quietly, in a prefix of its own under the build folder; no Mono or
# Gecko is offered, as nothing here needs .NET or HTML.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$out-win32"
WINEPREFIX=$(cd "$out-win32" && pwd)/wine  # LODEX_BUILD_ROOT may be relative or absolute
export WINEPREFIX

for arch in i686 x86_64; do
  dir=$out-win$([ $arch = i686 ] && echo 32 || echo 64)
  echo "== Windows $arch: build"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$arch.cmake \
    -DCMAKE_BUILD_TYPE=Release -DLODEX_BUILD_CATALOG=OFF "${launcher[@]}" >/dev/null
  targets=(Lodex32 engine_tests); [ $arch = i686 ] && targets+=(call_host)
  cmake --build "$dir" -j"$jobs" --target "${targets[@]}"
done

echo "== Windows: export table"
python3 tests/windows/check_exports.py --objdump i686-w64-mingw32-objdump \
  --header engine/include/lodex32.h --def engine/Lodex32.def "$out-win32/engine/Lodex32.dll"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== Windows: Wine prefix"
  wineboot --init >/dev/null 2>&1
fi

for arch in i686 x86_64; do
  dir=$out-win$([ $arch = i686 ] && echo 32 || echo 64)
  echo "== Windows $arch: engine tests under Wine"
  log=$dir/engine_tests.log
  if ! wine "$dir/engine/engine_tests.exe" --gtest_brief=1 >"$log" 2>&1; then
    cat "$log"
    echo "engine tests failed on $arch"
    exit 1
  fi
  echo "$arch: $(grep -E '^\[  (PASSED|FAILED)  \]' "$log" | head -1)"
done

echo "== Windows i686: conformance suite under Wine"
exclude=(); [ -f tests/conformance-exclude-windows.txt ] && exclude=(--exclude tests/conformance-exclude-windows.txt)
families=$(grep -v '^#' tests/conformance-families.txt 2>/dev/null | tr -d ' \n' || true)
filter=(); [ -n "$families" ] && filter=(--filter "$families")
python3 tests/windows/conformance_wine.py --host "$out-win32/tests/windows/call_host.exe" \
  --lib "$out-win32/engine/Lodex32.dll" --suite "$shared/suite" --jobs "$jobs" \
  "${filter[@]}" "${exclude[@]}"

wineserver -w
echo "== Windows tests passed in ${SECONDS} s"
