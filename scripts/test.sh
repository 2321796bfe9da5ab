#!/usr/bin/env bash
# Builds everything and runs every test: unit tests, the conformance suite, and the
# engine's tests again under AddressSanitizer + UndefinedBehaviorSanitizer and
# ThreadSanitizer. Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

scripts/install-deps.sh

echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"

echo "== unit tests"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")

echo "== conformance suite"
shared="$root/../shared/conformance"
exclude=(); [ -f tests/conformance-exclude.txt ] && exclude=(--exclude tests/conformance-exclude.txt)
families=$(cat tests/conformance-families.txt 2>/dev/null | tr -d ' \n')
filter=(); [ -n "$families" ] && filter=(--filter "$families")
python3 "$shared/runner.py" --lib build/engine/libLodex32.so --suite "$shared/suite" \
  --jobs "$jobs" "${filter[@]}" "${exclude[@]}"

echo "== engine tests under ASan + UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLODEX_BUILD_CATALOG=OFF \
  -DLODEX_SANITIZE='address;undefined' >/dev/null
cmake --build build-asan -j"$jobs" --target engine_tests
(cd build-asan && ctest --output-on-failure -j"$jobs" -L engine)

echo "== engine tests under TSan"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLODEX_BUILD_CATALOG=OFF \
  -DLODEX_SANITIZE=thread >/dev/null
cmake --build build-tsan -j"$jobs" --target engine_tests
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j"$jobs" -L engine -R 'Thread|Concurren')
