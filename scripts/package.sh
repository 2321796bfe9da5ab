#!/usr/bin/env bash
# Builds the Debian package build-package/tremora-electronic_VERSION_ARCH.deb with CPack:
# the program, the engine with its header, CMake package and pkg-config file, the tools,
# their man pages, the desktop entry, icons and metainfo, the system-wide settings and
# a demo base. The tree is built without tests and stripped when packed; with ccache its
# compiles are those of the main build (same flags, paths hashed relative to the checkout).
#
# Environment: LODEX_JOBS (default: number of processors).
# scripts/check-package.sh checks the result (lintian, install, purge).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=build-package
jobs=${LODEX_JOBS:-$(nproc)}

scripts/install-deps.sh

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths below the checkout are hashed relative to the build folder and the build
  # folder itself is left out of the hash, so the package build (scripts/package.sh)
  # reuses the main build's objects.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=true
fi
# Linked with immediate binding (full RELRO), as Debian links its packages; a link
# flag, so the compiles stay the main build's.
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DLODEX_BUILD_TESTS=OFF -DLODEX_BUILD_CATALOG=ON "${launcher[@]}" \
  -DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,now -DCMAKE_SHARED_LINKER_FLAGS=-Wl,-z,now >/dev/null
cmake --build "$out" -j"$jobs"
rm -f "$out"/tremora-electronic_*.deb
(cd "$out" && cpack -G DEB)
ls -l "$out"/tremora-electronic_*.deb
