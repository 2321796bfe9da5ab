#!/usr/bin/env bash
# Builds everything and runs every test: unit tests, the conformance suite, the Debian
# package's checks (lintian, install, purge: root or sudo), the engine built for Windows
# and tested under Wine, and the engine's tests again under AddressSanitizer +
# UndefinedBehaviorSanitizer and ThreadSanitizer. Installs missing Debian packages first.
#
# Environment (all optional):
#   LODEX_BUILD_ROOT   build directory prefix (default "build"; also <prefix>-asan, -tsan)
#   LODEX_CONFORMANCE  the conformance suite's folder (default ../shared/conformance)
#   LODEX_JOBS         parallel build and test jobs (default: number of processors)
#   LODEX_FUZZ_SECONDS how long each fuzz target runs (default 30; 0 skips fuzzing)
#   LODEX_WINDOWS      0 skips the Windows build under Wine (scripts/test-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${LODEX_JOBS:-$(nproc)}
out=${LODEX_BUILD_ROOT:-build}
shared=${LODEX_CONFORMANCE:-$root/../shared/conformance}

scripts/install-deps.sh

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths below the checkout are hashed relative to the build folder and the build
  # folder itself is left out of the hash, so the package build (scripts/package.sh)
  # reuses the main build's objects.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=true
fi

echo "== build"
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$out" -j"$jobs"

echo "== unit tests"
(cd "$out" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")

echo "== conformance suite"
exclude=(); [ -f tests/conformance-exclude.txt ] && exclude=(--exclude tests/conformance-exclude.txt)
families=$(grep -v '^#' tests/conformance-families.txt 2>/dev/null | tr -d ' \n' || true)
filter=(); [ -n "$families" ] && filter=(--filter "$families")
python3 "$shared/runner.py" --lib "$out/engine/libLodex32.so" --suite "$shared/suite" \
  --jobs "$jobs" "${filter[@]}" "${exclude[@]}"

echo "== Debian package"
scripts/package.sh
scripts/check-package.sh

# The engine for Windows, built with MinGW-w64 and tested under Wine, where the machine
# has (or may install) the cross compilers and Wine. LODEX_WINDOWS=0 skips it.
if [ "${LODEX_WINDOWS:-1}" != 0 ] && scripts/test-windows.sh --can-install; then
  LODEX_BUILD_ROOT="$out" LODEX_CONFORMANCE="$shared" LODEX_JOBS="$jobs" scripts/test-windows.sh
else
  echo "== Windows build skipped: cannot install MinGW-w64 and Wine here"
fi

echo "== engine tests under ASan + UBSan"
cmake -S . -B "$out-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLODEX_BUILD_CATALOG=OFF \
  -DLODEX_SANITIZE='address;undefined' "${launcher[@]}" >/dev/null
cmake --build "$out-asan" -j"$jobs" --target engine_tests
(cd "$out-asan" && ctest --output-on-failure -j"$jobs" -L engine)

echo "== engine tests under TSan"
cmake -S . -B "$out-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLODEX_BUILD_CATALOG=OFF \
  -DLODEX_SANITIZE=thread "${launcher[@]}" >/dev/null
cmake --build "$out-tsan" -j"$jobs" --target engine_tests
(cd "$out-tsan" && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j"$jobs" -L engine \
  -R 'Thread|Concurren')

fuzz_seconds=${LODEX_FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" -gt 0 ]; then
  echo "== fuzz targets, ${fuzz_seconds}s each"
  cmake -S . -B "$out-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLODEX_BUILD_CATALOG=OFF \
    -DLODEX_BUILD_TESTS=OFF -DLODEX_BUILD_FUZZ=ON -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
    -DLODEX_SANITIZE='address;undefined' "${launcher[@]}" >/dev/null
  cmake --build "$out-fuzz" -j"$jobs"
  fuzz_bin=$(cd "$out-fuzz/fuzz" && pwd)
  # Each target starts from its committed seeds in a scratch copy, so runs never grow
  # the committed corpus. The targets that open damaged bases run under a memory bound:
  # the undamaged base needs under 256 MB there (AddressSanitizer's quarantine included),
  # a damaged one may take 512 MB more and no single allocation above 512 MB; anything
  # beyond ends the run with an oom-* input, which fails it.
  for seeds in fuzz/corpus/*/; do
    target=$(basename "$seeds")
    [ -x "$fuzz_bin/$target" ] || continue
    memory=(-rss_limit_mb=2048)
    case "$target" in
      damaged_base_fuzzer|full_base_fuzzer) memory=(-rss_limit_mb=768 -malloc_limit_mb=512) ;;
    esac
    scratch=$(mktemp -d)
    cp -r "$seeds". "$scratch"
    (cd "$scratch" && ASAN_OPTIONS=detect_leaks=0 "$fuzz_bin/$target" \
      -max_total_time="$fuzz_seconds" "${memory[@]}" -print_final_stats=1 . 2>&1 |
      grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' || true)
    # libFuzzer leaves crash-* files on a finding.
    if ls "$scratch"/crash-* "$scratch"/oom-* "$scratch"/timeout-* >/dev/null 2>&1; then
      echo "fuzz target $target found a failing input: $(ls "$scratch"/crash-* "$scratch"/oom-* "$scratch"/timeout-* 2>/dev/null)"
      exit 1
    fi
    rm -rf "$scratch"
  done
fi

echo "== all tests passed"
