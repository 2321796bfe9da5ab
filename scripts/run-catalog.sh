#!/usr/bin/env bash
# Builds everything, lays out the demo catalogue folder and starts the catalogue program
# on it:
#
#   build/demo/            the catalogue folder ("CDdrev"): KV.dat, Rabattkod *.txt
#   build/demo/bmp/        the images ("BMPS")
#   build/demo/base/       the demo base ("BASE"), built by lodex-demo and lodex-build
#   build/demo/temp/       ("TEMP")
#   build/demo/settings.ini
#
# Options: --no-start (only build and lay out the folder), --english (English texts).
# Environment: LODEX_BUILD_ROOT (default build), DEMO_PRODUCTS (default 50000),
# LODEX_JOBS (default: number of processors).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${LODEX_BUILD_ROOT:-build}
jobs=${LODEX_JOBS:-$(nproc)}
products=${DEMO_PRODUCTS:-50000}
start=1
texts=catalog/data/KV.dat
for arg in "$@"; do
  case "$arg" in
    --no-start) start=0 ;;
    --english) texts=catalog/data/en/KV.dat ;;
    *) echo "usage: $0 [--no-start] [--english]" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DLODEX_BUILD_CATALOG=ON >/dev/null
# What the demo needs: the program with its artwork, the engine and the base tools.
cmake --build "$build" -j"$jobs" --target TremoraElectronic catalog_artwork Lodex32 \
  lodex-demo lodex-build

demo="$build/demo"
mkdir -p "$demo/bmp" "$demo/temp"

# The base: built once; remove build/demo/base to build it again.
if [ ! -f "$demo/base/meta.dat" ]; then
  if [ -x "$build/builder/lodex-demo" ] && [ -x "$build/builder/lodex-build" ]; then
    echo "Building the demo base ($products products)"
    "$build/builder/lodex-demo" --count "$products" --out "$demo/source"
    "$build/builder/lodex-build" --schema "$demo/source/schema.json" --out "$demo/base" \
      "$demo/source/products.tsv"
  else
    echo "lodex-demo or lodex-build is missing: the demo folder has no base yet" >&2
  fi
fi

cp "$build"/catalog/images/* "$demo/bmp/"
cp "$texts" "$demo/KV.dat"
cp catalog/data/Rabattkod*.txt "$demo/"

abs_demo=$(cd "$demo" && pwd)
cat > "$demo/settings.ini" <<EOF
[Tremora Divuvera]
CDdrev="$abs_demo/"
BMPS="bmp/"
BASE="$abs_demo/base/"
TEMP="$abs_demo/temp/"
EOF
echo "Demo catalogue ready in $demo"

[ "$start" -eq 1 ] || exit 0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: start it later with $build/catalog/TremoraElectronic --settings $demo/settings.ini"
  exit 0
fi
cd "$root"
exec "$build/catalog/TremoraElectronic" --settings "$demo/settings.ini"
