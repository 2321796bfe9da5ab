#!/usr/bin/env bash
# Runs the engine benchmark beside SQLite FTS5 and Xapian on the 1 000 000-product demo
# base and prints the table of medians and ratios to both peers (Markdown), with the
# machine it ran on.
#
#   scripts/bench.sh [BUILD_DIR (default build-bench)]
#
# Environment (all optional):
#   LODEX_BENCH_DIR    where the demo table, base and peer databases are kept and reused
#                      (default /tmp/lodex-bench); delete it to rebuild them
#   LODEX_BENCH_COUNT  products in the demo base (default 1000000)
#   LODEX_BENCH_REPS   repetitions per benchmark, whose median is shown (default 5)
#   LODEX_BENCH_ARGS   further Google Benchmark flags, e.g. --benchmark_filter=Fetch
#   LODEX_BENCH_CXXFLAGS  compiler flags for the build, e.g. -march=x86-64-v2 (use its own
#                      BUILD_DIR)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
work=${LODEX_BENCH_DIR:-/tmp/lodex-bench}
count=${LODEX_BENCH_COUNT:-1000000}
reps=${LODEX_BENCH_REPS:-5}

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLODEX_BUILD_CATALOG=OFF \
  -DLODEX_BUILD_TESTS=OFF -DLODEX_BUILD_BENCH=ON -DCMAKE_CXX_FLAGS="${LODEX_BENCH_CXXFLAGS:-}" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" --target engine_bench lodex-demo lodex-build >/dev/null

mkdir -p "$work"
if [ ! -f "$work/base/data.dat" ]; then
  echo "building the demo base of $count products in $work" >&2
  rm -rf "$work/demo" "$work/base" "$work"/*.db "$work"/*.xapian
  "$build/builder/lodex-demo" --count "$count" --out "$work/demo" >/dev/null
  "$build/builder/lodex-build" --no-progress --schema "$work/demo/schema.json" \
    --out "$work/base" "$work/demo/products.tsv" >/dev/null
fi
# Every open leaves its list file behind; start each run with an empty folder.
rm -rf "$work/temp"
mkdir -p "$work/temp"

"$build/bench/engine_bench" --base "$work/base" --products "$work/demo/products.tsv" \
  --db "$work/products.engine.db" --xapian "$work/products.xapian" --temp "$work/temp" \
  --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
  --benchmark_out="$work/bench-$(basename "$build").json" --benchmark_out_format=json ${LODEX_BENCH_ARGS:-} >&2

python3 - "$work/bench-$(basename "$build").json" "$count" "$reps" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))
medians = {}
for b in runs["benchmarks"]:
    if b.get("aggregate_name") == "median":
        medians[b["run_name"].split("/")[0]] = b
ctx = runs["context"]
print(f"{int(sys.argv[2]):,} products; median of {sys.argv[3]} runs per benchmark, time per "
      f"iteration (wall clock, and CPU time of the benchmark thread); load average at the "
      f"start {ctx.get('load_avg')}")
print()
print("| Class | Engine wall | FTS5 wall | Xapian wall | Engine CPU | FTS5 CPU | Xapian CPU "
      "| Ratio FTS5 wall / CPU | Ratio Xapian wall / CPU | Hits (engine / FTS5 / Xapian) |")
print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---|")
def ratio(peer, own):
    r = peer / own
    return f"{r:,.2f}" if r < 10 else f"{r:,.0f}"
def t(b, key):
    return f"{b[key]:,.1f} {b['time_unit']}" if b else ""
def ratios(peer, own):
    if peer is None:
        return ""
    return f"{ratio(peer['real_time'], own['real_time'])} / {ratio(peer['cpu_time'], own['cpu_time'])}"
def hits(b):
    return f"{b.get('hits'):.0f}" if b else "-"
for name, lodex in medians.items():
    if not name.startswith("BM_Lodex_"):
        continue
    c = name[len("BM_Lodex_"):]
    fts5 = medians.get("BM_Fts5_" + c)
    xapian = medians.get("BM_Xapian_" + c)
    counts = [hits(b) for b in (lodex, fts5, xapian)]
    agree = "" if len(set(x for x in counts if x != "-")) == 1 else " (differ)"
    print(f"| {c} | {t(lodex, 'real_time')} | {t(fts5, 'real_time')} | {t(xapian, 'real_time')} | "
          f"{t(lodex, 'cpu_time')} | {t(fts5, 'cpu_time')} | {t(xapian, 'cpu_time')} | "
          f"{ratios(fts5, lodex)} | {ratios(xapian, lodex)} | {' / '.join(counts)}{agree} |")
print()
print("Ratio: the peer's time divided by the engine's, wall clock / CPU (above 1: the engine "
      "is faster).")
PY
echo
echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) processors," \
  "$(awk '/MemTotal/ {printf "%.1f GiB", $2/1048576}' /proc/meminfo), $(. /etc/os-release && echo "$PRETTY_NAME")," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
