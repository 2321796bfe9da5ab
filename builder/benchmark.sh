#!/usr/bin/env bash
# Times lodex-build on the demo catalogue: wall time, CPU time and peak memory of the
# build, the time of each phase, the base's size, and the record compression against
# gzip -6 of the table.
#   usage: builder/benchmark.sh BUILD_DIR [COUNT (default 1000000)] [WORK_DIR] [-- BUILD_OPTIONS...]
# BUILD_OPTIONS go to lodex-build as they are, e.g. -- --memory 512.
# DEMO_DIR=DIR uses the table DIR/products.tsv and DIR/schema.json made earlier by
# lodex-demo instead of making one (COUNT is then ignored); NO_GZIP=1 skips gzip.
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
shift
count=1000000
work=
if [ $# -gt 0 ] && [ "$1" != "--" ]; then count=$1; shift; fi
if [ $# -gt 0 ] && [ "$1" != "--" ]; then work=$1; shift; fi
[ "${1:-}" = "--" ] && shift
work=${work:-$(mktemp -d)}
mkdir -p "$work"
if [ -n "${DEMO_DIR:-}" ]; then
  demo=$DEMO_DIR
else
  demo=$work/demo
  "$build/builder/lodex-demo" --count "$count" --out "$demo" >/dev/null
fi
table="$demo/products.tsv"
rm -rf "$work/base"
/usr/bin/time -v "$build/builder/lodex-build" --no-progress --schema "$demo/schema.json" \
    --out "$work/base" "$@" "$table" > "$work/summary.txt" 2> "$work/time.txt"
cat "$work/summary.txt"
echo "options: ${*:-(none)}"
# The summary's phases, one a line: wall time and processor time (all threads).
phases() {
  sed -n "s/^  $1 *//p" "$work/summary.txt" | tr ';' '\n' | sed -n 's/^ *\(.*[^ ]\) \([0-9.]*\) s$/\1\t\2/p'
}
printf "phase  %-22s %9s %9s\n" "" "wall" "cpu"
paste <(phases time) <(phases cpu | cut -f2) |
    awk -F'\t' '{printf "phase  %-22s %7.1f s %7.1f s\n", $1, $2, $3}'
grep -E "Elapsed|User time|System time" "$work/time.txt"
awk '/Maximum resident/ {printf "peak memory: %.0f MB\n", $NF / 1024}' "$work/time.txt"
table_bytes=$(stat -c %s "$table")
base_bytes=$(du -cb "$work/base"/*.dat | tail -1 | cut -f1)
data_bytes=$(stat -c %s "$work/base/data.dat")
if [ -z "${NO_GZIP:-}" ]; then
  gzip_bytes=$(gzip -6 -c "$table" | wc -c)
  echo "table $table_bytes bytes; gzip -6 $gzip_bytes bytes ($(awk "BEGIN{printf \"%.3f\", $gzip_bytes/$table_bytes}"))"
  echo "base $base_bytes bytes; data.dat $data_bytes bytes ($(awk "BEGIN{printf \"%.3f\", $data_bytes/$gzip_bytes}") of gzip -6)"
else
  echo "table $table_bytes bytes; base $base_bytes bytes; data.dat $data_bytes bytes"
fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
