#!/usr/bin/env bash
# Times lodex-build on the demo catalogue: wall time, CPU time and peak memory of the
# build, the base's size, and the record compression against gzip -6 of the table.
#   usage: builder/benchmark.sh BUILD_DIR [COUNT (default 1000000)] [WORK_DIR]
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
count=${2:-1000000}
work=${3:-$(mktemp -d)}
"$build/builder/lodex-demo" --count "$count" --out "$work/demo" >/dev/null
table="$work/demo/products.tsv"
/usr/bin/time -v "$build/builder/lodex-build" --no-progress --schema "$work/demo/schema.json" \
    --out "$work/base" "$table" > "$work/summary.txt" 2> "$work/time.txt"
cat "$work/summary.txt"
grep -E "Elapsed|Maximum resident|User time|System time" "$work/time.txt"
table_bytes=$(stat -c %s "$table")
gzip_bytes=$(gzip -6 -c "$table" | wc -c)
base_bytes=$(du -cb "$work/base"/*.dat | tail -1 | cut -f1)
data_bytes=$(stat -c %s "$work/base/data.dat")
echo "table $table_bytes bytes; gzip -6 $gzip_bytes bytes ($(awk "BEGIN{printf \"%.3f\", $gzip_bytes/$table_bytes}"))"
echo "base $base_bytes bytes; data.dat $data_bytes bytes ($(awk "BEGIN{printf \"%.3f\", $data_bytes/$gzip_bytes}") of gzip -6)"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
