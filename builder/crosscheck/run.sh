#!/usr/bin/env bash
# Rebuilds every catalogue of the conformance suite that comes with its source
# (bases/NAME.source.json) with lodex-build, and runs that base's conformance cases
# against the rebuilt base. Each base is built a second time with the least memory and
# runs of a few KiB, so that every pass sorts in runs on disk; both must be the same.
#   usage: builder/crosscheck/run.sh BUILD_DIR [WORK_DIR [--listed-families] [runner options]]
# --listed-families runs only the families of tests/conformance-families.txt.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?build directory}" && pwd)
work=${2:-$(mktemp -d)}
suite=${LODEX_SUITE:-$here/../../../shared/conformance/suite}
runner=$(dirname "$suite")/runner.py
mkdir -p "$work/suite/bases" "$work/suite/cases" "$work/tables" "$work/least"
for source in "$suite"/bases/*.source.json; do
  name=$(basename "$source" .source.json)
  python3 "$here/source_to_table.py" "$source" "$work/tables/$name"
  "$build/builder/lodex-build" --quiet --schema "$work/tables/$name/schema.json" \
      --out "$work/suite/bases/$name" "$work/tables/$name/products.csv"
  LODEX_BUILD_RUN_BYTES=4096 "$build/builder/lodex-build" --quiet --memory 256 \
      --schema "$work/tables/$name/schema.json" --out "$work/least/$name" "$work/tables/$name/products.csv"
  for file in "$work/suite/bases/$name"/*; do
    cmp "$file" "$work/least/$name/$(basename "$file")" || {
      echo "$name: $(basename "$file") differs when built with the least memory" >&2; exit 1; }
  done
  cp "$suite/cases/$name.json" "$work/suite/cases/"
done
exclude=()
[ -f "$here/exclude.txt" ] && exclude=(--exclude "$here/exclude.txt")
args=("${@:3}")
if [ "${args[0]:-}" = "--listed-families" ]; then
  families=$(tr -d ' \n' < "$here/../../tests/conformance-families.txt")
  args=(--filter "$families" "${args[@]:1}")
fi
python3 "$runner" --lib "$build/engine/libLodex32.so" --suite "$work/suite" "${exclude[@]}" "${args[@]}"
